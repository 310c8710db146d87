// What the view's buttons, keys, menus and drops do: each checks the window's state, asks
// what only a window can ask (a file, a folder, a dialog), hands the command to the session,
// on the worker when it may take long, and shows the result.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTreeView>
#include <QTreeWidget>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <unordered_map>

#include "common/codepage.h"
#include "common/fs.h"
#include "common/paths.h"
#include "common/trace.h"
#include "common/workerflags.h"
#include "model/item.h"
#include "session/session.h"
#include "shell/drag.h"
#include "shell/failurelist.h"
#include "shell/filedialog.h"
#include "shell/linelistdlg.h"
#include "shell/qthost.h"
#include "shell/qttext.h"
#include "shell/treepane.h"
#include "shell/view.h"
#include "shell/worker.h"

namespace dov {

namespace {
constexpr const char* kNotAName = "入力された文字にはファイル名として使えない文字が含まれています";
}

void CKestrelView::OnStop() {
    if (Flags().busy && job_) {
        job_->Stop();
        TraceF(DefaultTracePath(), "！！！Stopボタンが押されました\n");
        // Said at once: a job may still write its log before it reports.
        emit progressText(U8("中止しています…"));
    } else {
        // Nothing runs: the button only shows its idle state.
        Button(kIdStop)->setChecked(false);
    }
}

void CKestrelView::OnClose() {
    if (WorkerRunning()) {
        closeAfterWorker_ = true;
        return;
    }
    emit closeRequested();
}

// ---- The tree -----------------------------------------------------------------------------

bool CKestrelView::ResetTree() {
    Button(kIdStop)->setEnabled(false);
    curItem_ = nullptr;
    ClearFields();
    // The session drops the old root's node and adds the new one, then shows the new root.
    const bool ok = session_->Reset() == 1;
    if (ok && !treePane_->NodeOf(RootItem())) {
        host_->Ask(U8("ツリーのルートアイテム作成に失敗したので終了します。"), MsgKind::Ok);
        return false;
    }
    return ok;
}

void CKestrelView::ShowFolderNode(QTreeWidgetItem* node) {
    if (!node || Flags().busy || Flags().transition) return;
    CMyItem* folder = CTreePane::ItemOf(node);
    if (!folder) return;
    focusSide_ = 0;
    ClearFields();
    treePane_->SelectQuietly(node);
    if (folder != session_->CurFolder() || form_->listModel->Folder() != folder) {
        Flags().transition = true;
        session_->ShowFolder(folder);
        Flags().transition = false;
        curItem_ = folder;
    }
    CheckAndChangeTreeBtnState(false, true);
}

void CKestrelView::OpenFolderRow(int row) {
    if (Flags().busy || Flags().transition) return;
    const ListRow* r = form_->listModel->Row(row);
    if (!r || !r->isFolder) return;
    if (QTreeWidgetItem* n = treePane_->NodeOf(r->item)) {
        if (n->parent()) n->parent()->setExpanded(true);
        ShowFolderNode(n);
    }
}

void CKestrelView::OnMakeFolder() {
    if (WorkerRunning()) return;
    QTreeWidgetItem* sel = form_->tree->currentItem();
    CMyItem* parent = CTreePane::ItemOf(sel);
    CMyItem* item = session_->MakeFolder(parent);
    if (!item) return;
    if (!treePane_->NodeOf(item)) ShowMessage("ツリーアイテムへのデータセットに失敗");
    sel->setExpanded(true);
    if (session_->CurFolder() == parent) {
        RefreshRows();
        const int last = form_->listModel->rowCount() - 1;
        rowChosen_ = true;
        SelectListRow(last);
        ShowItem(last);
        focusSide_ = 1;
        form_->list->setFocus();
    }
}

void CKestrelView::OnDeleteFolder() {
    if (WorkerRunning()) return;
    CMyItem* item = treePane_->CurrentFolder();
    if (!item || item == RootItem()) return;
    if (curItem_ == item) curItem_ = nullptr;
    CMyItem* parent = session_->RemoveFolder(item);
    if (!parent) return;
    if (QTreeWidgetItem* n = treePane_->NodeOf(parent)) {
        form_->listModel->Clear();  // shows the parent even when the session already did
        ShowFolderNode(n);
    }
}

void CKestrelView::OnTextTree(CMyItem* folder) {
    if (!folder || WorkerRunning()) return;
    if (!treePane_->NodeOf(folder)) return;  // the node went since the menu opened
    session_->WriteTextTree(folder);
}

void CKestrelView::OnTreeLabelEdited(QTreeWidgetItem* node) {
    CMyItem* item = CTreePane::ItemOf(node);
    if (!item) return;
    auto restore = [&] { treePane_->SetLabel(item, ToQt(item->m_strNewName)); };
    const QString text = node->text(0);
    if (Flags().busy || item == RootItem() || text.isEmpty()) return restore();
    auto cp = FromQt(text);
    if (!cp) {
        restore();
        return ShowMessage(kNotAName);
    }
    // A refused name (its message shown) leaves the label as the item's name.
    if (session_->SetFolderName(item, *cp) != 1) restore();
    if (item == curItem_) ShowFields(item);
    UpdateConflicts();
}

// ---- The list -----------------------------------------------------------------------------

bool CKestrelView::TypeNewName(const QString& text) {
    if (Flags().busy || CurrentRow() < 0 || !curItem_ || !rowChosen_) return false;
    auto cp = FromQt(text);
    if (!cp) {
        ShowMessage(kNotAName);
        return false;
    }
    if (session_->SetNewName(CurrentRow(), *cp) != 1) return false;
    ShowFields(curItem_);
    form_->list->setFocus();
    UpdateConflicts();
    return true;
}

void CKestrelView::OnListLabelEdited(int row, const QString& text) {
    if (Flags().busy || !form_->listModel->Row(row)) return;
    auto cp = FromQt(text);
    if (!cp) return ShowMessage(kNotAName);
    // The label editor takes the same refusals as the field.
    session_->SetNewName(row, *cp);
    if (row == CurrentRow() && curItem_) ShowFields(curItem_);
    UpdateConflicts();
}

void CKestrelView::OnLoad() {
    if (WorkerRunning() || !session_->CurFolder()) return;
    fileDialog_->SetInitialFolder(Prefs().loadFolder);
    if (fileDialog_->exec() != QDialog::Accepted) return;
    Prefs().loadFolder = fileDialog_->CurrentFolder();
    LoadEntries(fileDialog_->CurrentFolder(), fileDialog_->Selected());
}

void CKestrelView::LoadEntries(const std::string& folder, std::vector<EntryInfo> picked) {
    CMyItem* target = session_->CurFolder();
    if (!target) return;
    // Entries whose names the program cannot hold are not loaded.
    std::vector<std::string> names;
    int unreadable = 0;
    for (const EntryInfo& e : picked) {
        if (e.nameOk && !e.name.empty())
            names.push_back(e.name);
        else
            ++unreadable;
    }
    if (unreadable > 0) {
        char text[160];
        std::snprintf(text, sizeof text, Sj("%d個のファイル情報の取得に失敗").c_str(), unreadable);
        host_->Message(text, MsgKind::Ok, MsgIcon::Warning, {});
    }
    if (names.empty()) return;
    JobSteps steps;
    steps.reportStop = true;
    steps.onWorker = [this](const CJob& job) { ReportLeftOut(job.Result().counts.leftOut); };
    // The status bar counts the entries read so far (its counters reset before the job
    // starts).
    StartProgressTimer();
    progressCountsEntries_ = true;
    RunJob(session_->LoadJob(folder, std::move(names), target), std::move(steps));
}

// ---- Files dropped from a file manager ------------------------------------------------------

void CKestrelView::dragEnterEvent(QDragEnterEvent* e) {
    if (!WorkerRunning() && HasLocalFiles(e->mimeData())) e->acceptProposedAction();
}

void CKestrelView::dragMoveEvent(QDragMoveEvent* e) {
    if (!WorkerRunning() && HasLocalFiles(e->mimeData())) e->acceptProposedAction();
}

void CKestrelView::dropEvent(QDropEvent* e) {
    if (WorkerRunning() || !HasLocalFiles(e->mimeData())) return;
    e->acceptProposedAction();
    LoadDroppedUrls(e->mimeData()->urls());
}

void CKestrelView::LoadDroppedUrls(const QList<QUrl>& urls) {
    if (WorkerRunning() || !session_->CurFolder()) return;
    DropReading r = ReadDroppedUrls(urls);
    if (r.refused > 0) {
        char text[160];
        std::snprintf(text, sizeof text, Sj("%d個のファイル情報の取得に失敗").c_str(), r.refused);
        host_->Message(text, MsgKind::Ok, MsgIcon::Warning, {});
    }
    // One folder's entries after the other, each loaded like picked entries.
    droppedFolders_ = std::move(r.folders);
    LoadNextDroppedFolder();
}

void CKestrelView::LoadNextDroppedFolder() {
    if (droppedFolders_.empty()) return;
    DroppedFolder next = std::move(droppedFolders_.front());
    droppedFolders_.erase(droppedFolders_.begin());
    LoadEntries(next.folder, std::move(next.picked));
    if (!WorkerRunning()) return LoadNextDroppedFolder();
    worker_->SetAfter([this, job = job_] {
        if (job->StopAsked() || Flags().quitReq || closeAfterWorker_)
            droppedFolders_.clear();
        else
            QMetaObject::invokeMethod(this, &CKestrelView::LoadNextDroppedFolder,
                                      Qt::QueuedConnection);
    });
}

void CKestrelView::ReportLeftOut(long long count) {
    // Called on the worker at the end of a load.
    if (count <= 0) return;
    char text[256];
    std::snprintf(text, sizeof text,
                  Sj("状態を読めないため読み込まなかったアイテムが%lld個あります。\n詳細は "
                     "DataTrace.txt に記されました。")
                      .c_str(),
                  count);
    host_->Message(text, MsgKind::Ok, MsgIcon::Warning, {});
}

void CKestrelView::LoadPaths(std::vector<std::string> paths) {
    if (WorkerRunning() || paths.empty()) return;
    JobSteps steps;
    steps.reportStop = true;
    steps.onWorker = [this](const CJob& job) { ReportLeftOut(job.Result().counts.leftOut); };
    // The status bar counts the entries read so far (its counters reset before the job
    // starts).
    StartProgressTimer();
    progressCountsEntries_ = true;
    RunJob(session_->LoadPathsJob(std::move(paths)), std::move(steps));
}

void CKestrelView::SortByColumn(int column) {
    CMyItem* folder = session_->CurFolder();
    if (WorkerRunning() || Flags().transition || !folder) return;
    JobSteps steps;
    steps.after = [this, column](const CJob&) {
        const int order = session_->SortedOrder(column);
        form_->list->header()->setSortIndicator(
            order == 0 ? -1 : column, order > 0 ? Qt::AscendingOrder : Qt::DescendingOrder);
    };
    RunJob(session_->SortColumnJob(column), std::move(steps));
}

void CKestrelView::OnDeleteItems() {
    if (WorkerRunning() || !session_->CurFolder()) return;
    const std::vector<int> rows = SelectedRows();
    if (rows.empty()) return;
    const RowsDeleted r = session_->DeleteRows(rows);
    const int keepRow = CurrentRow();
    RefreshRows();
    const int n = form_->listModel->rowCount();
    if (n > 0) {
        const int row = r.ok && r.hasCurrentItem ? r.currentRow : std::clamp(keepRow, 0, n - 1);
        rowChosen_ = true;
        SelectListRow(row);
        ShowItem(row);
    } else {
        curItem_ = nullptr;
        ClearFields();
    }
    form_->list->setFocus();
}

void CKestrelView::SwitchAutoIndex(bool on) {
    if (WorkerRunning()) return;
    WriteSelectionToSession();
    JobSteps steps;
    steps.after = [this](const CJob&) { RefreshRowsKeepingSelection(); };
    RunJob(session_->AutoIndexJob(on), std::move(steps));
}

void CKestrelView::OnListCommand(int id) {
    commands_->Run(id);
}

void CKestrelView::ShowInfo() {
    if (WorkerRunning() || Flags().transition || !session_->CurFolder()) return;
    host_->Ask(ToQt(session_->InfoText()), MsgKind::Ok, MsgIcon::Information);
}

void CKestrelView::EditNamesAsText() {
    if (WorkerRunning() || Flags().transition || !session_->CurFolder()) return;
    WriteSelectionToSession();
    PrepareListCommand(this, *session_, CMD_EDIT_NAMES_AS_TEXT, commandUi_);
    RefreshRowsKeepingSelection();
}

void CKestrelView::SortRows(int id) {
    if (WorkerRunning() || Flags().transition || !session_->CurFolder()) return;
    RunJob(session_->SortByJob(id == CMD_SORT_MODIFIED ? kSortModified : kSortNatural));
}

void CKestrelView::RunOperation(int id) {
    if (WorkerRunning() || Flags().transition || !session_->CurFolder()) return;
    if (!PrepareListCommand(this, *session_, id, commandUi_)) return;
    JobSteps steps;
    steps.reportStop = true;
    steps.after = [this, id](const CJob&) {
        RefreshRowsKeepingSelection();
        if (id == CMD_FIND) ShowSessionSelection();
    };
    RunJob(session_->OperationJob(id), std::move(steps));
}

// ---- Drops --------------------------------------------------------------------------------

bool CKestrelView::ListDropWithin(const std::vector<int>& rows, int dropRow) {
    if (!session_->CurFolder() || dropRow < 0) return false;
    auto moved = std::make_shared<int>(-1);
    const int count = static_cast<int>(rows.size());
    return StartWorker(
        [this, rows, dropRow, moved] { *moved = session_->MoveRows(rows, dropRow); },
        [this, moved, count] {
            RefreshRowsKeepingSelection();
            if (*moved < 0) return;
            // The moved block stays selected, its first row current.
            CItemListModel* m = form_->listModel;
            QItemSelection sel(m->index(*moved, 0),
                               m->index(*moved + count - 1, CItemListModel::kColumnCount - 1));
            QItemSelectionModel* s = form_->list->selectionModel();
            s->select(sel, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            s->setCurrentIndex(m->index(*moved, 0), QItemSelectionModel::NoUpdate);
            rowChosen_ = true;
            ShowItem(*moved);
        });
}

void CKestrelView::DropRowsOnFolder(CMyItem* target, std::vector<int> rows,
                                    std::vector<CMyItem*> items) {
    StartWorker([this, target, rows = std::move(rows),
                 items = std::move(items)] { session_->MoveRowsToFolder(target, rows, items); },
                [this] {
                    // The fields do not go on showing a row that moved away.
                    const int row = CurrentRow();
                    if (!curItem_ || row < 0 || session_->RowItem(row) != curItem_) {
                        curItem_ = nullptr;
                        ClearFields();
                    }
                });
}

void CKestrelView::DropFolderOnFolder(CMyItem* dragged, CMyItem* target) {
    CMyItem* selected = treePane_->CurrentFolder();
    if (StartWorker(
            [this, dragged, target, selected] { session_->MoveFolder(dragged, target, selected); },
            [this] {
                if (QTreeWidgetItem* n = form_->tree->currentItem()) form_->tree->scrollToItem(n);
            }))
        repaint();
}

// ---- Rename, copy, macros -----------------------------------------------------------------

void CKestrelView::OnRename() {
    if (WorkerRunning() || !RootItem()) return;
    if (RootItem()->m_dwNumInFolder == 0) return ShowMessage("改名するアイテムがありません。");
    std::shared_ptr<CJob> job = session_->RenameJob();
    if (!job->Confirm()) {
        // The user chose to undo an unfinished run first.
        if (session_->TakeUndoRequest()) OnUndo();
        return;
    }
    // Afterwards the rows show the items with their new paths.
    JobSteps steps;
    steps.confirmed = true;
    steps.after = [this](const CJob&) { RefreshRowsKeepingSelection(); };
    StartProgressTimer();  // its counters reset before the job starts
    RunJob(std::move(job), std::move(steps));
}

void CKestrelView::OnUndo() {
    if (WorkerRunning()) return;
    // The session resets the tree after the undo, freeing every item: the fields let go of
    // theirs now, and the rows are shown again from the new tree.
    curItem_ = nullptr;
    rowChosen_ = false;
    ClearFields();
    JobSteps steps;
    steps.after = [this](const CJob&) { RefreshRows(); };
    StartProgressTimer();
    RunJob(session_->UndoJob(), std::move(steps));
}

void CKestrelView::OfferUnfinishedRun() {
    const JournalInfo j = session_->LastJournal();
    if (!j.exists || j.finished || j.changes == 0) return;
    char text[512];
    std::snprintf(
        text, sizeof text,
        Sj("前回の%sは途中で終わりました（記録された変更[%u]個）。\n記録を表示しますか？").c_str(),
        (j.kind == "undo" ? Sj("元に戻す操作") : Sj("直接変更")).c_str(),
        static_cast<unsigned>(j.changes));
    if (host_->Message(text, MsgKind::YesNo, MsgIcon::Question, {}) == MsgAnswer::Yes) {
        const QString heading = U8("記録された変更");
        const QStringList lines = LinesOf(ToQt(session_->JournalText()));
        host_->ShowBox(heading + QLatin1Char('\n') + lines.join(QLatin1Char('\n')), [&] {
            CLineListDlg box(heading, lines, this);
            box.exec();
        });
    }
    OnUndo();
}

void CKestrelView::UpdateConflicts() {
    ApplyConflicts(session_->Check());
}

void CKestrelView::ApplyConflicts(const ConflictCheck& check) {
    std::unordered_map<const CMyItem*, QString> items;
    for (const Conflict& c : check.conflicts) items.emplace(c.item, FailureReasonText(c.reason));
    conflicts_ = check.conflicts;
    const ColorRef c = Prefs().colors[kConflictText];
    form_->listModel->SetConflicts(std::move(items), QColor(RedOf(c), GreenOf(c), BlueOf(c)));
    conflictCount_ = static_cast<int>(check.conflicts.size());
    emit conflictsChanged(conflictCount_);
}

void CKestrelView::ShowFailureList() {
    if (WorkerRunning() || Flags().transition || conflicts_.empty()) return;
    CFailureListDlg dlg(conflicts_, this);
    if (commandUi_.runDialog)
        commandUi_.runDialog(dlg);
    else
        dlg.exec();
    // The chosen item is looked up among the ones still listed as failing: the list is the
    // prediction of the tree as it is now, but the tree must not have changed meanwhile.
    CMyItem* item = dlg.Chosen();
    if (!item || WorkerRunning()) return;
    for (const Conflict& c : conflicts_)
        if (c.item == item) return GoToItem(item);
}

void CKestrelView::OnCopy() {
    CMyItem* root = RootItem();
    if (WorkerRunning() || !root || root->m_dwNumInFolder == 0) return;
    std::shared_ptr<CCopyJob> job = session_->CopyJob();
    if (!job->Confirm()) return;
    // A cancelled choice copies nothing and keeps the output folder of the settings.
    const QString chosen = choosers_.folder(ToQt(Prefs().writeFolder));
    if (chosen.isEmpty()) return;
    const auto folder = FromQt(chosen);
    if (!folder) return ShowMessage(kNotAName);
    if (!job->Prepare(*folder)) return;
    JobSteps steps;
    steps.confirmed = true;
    steps.after = [this](const CJob&) { RefreshRowsKeepingSelection(); };
    StartProgressTimer();
    if (!RunJob(std::move(job), std::move(steps))) return ShowMessage("スレッドの作成に失敗");
}

bool CKestrelView::CheckAndExeFuncKey(int fKey, Qt::KeyboardModifiers mods) {
    const int num = session_->MacroForKey(
        fKey, mods & Qt::AltModifier, mods & Qt::ShiftModifier, mods & Qt::ControlModifier,
        Dragging() || drag_->ListPending(), WorkerRunning() || Flags().transition);
    if (num <= 0) return false;
    form_->list->setFocus();
    if (!session_->MacroCanStart(num)) return false;
    // A missing macro file is made empty by the run, and the user is told where it is.
    const std::string file = session_->MacroFilePath(num);
    EntryInfo info;
    const bool missing = Fs().Stat(file, info) == ENOENT;
    JobSteps steps;
    steps.reportStop = true;
    steps.after = [this, missing, file](const CJob&) {
        RefreshRowsKeepingSelection();
        ShowSessionSelection();
        if (missing && !Closing())
            host_->Ask(U8("マクロファイルがありません。\n%1\n"
                          "空のファイルを作りました。実行するマクロを書き込んでください。")
                           .arg(ToQt(file)),
                       MsgKind::Ok, MsgIcon::Warning);
    };
    return RunJob(session_->MacroJob(num), std::move(steps));
}

// ---- The save data file -------------------------------------------------------------------

void CKestrelView::NewTree() {
    if (WorkerRunning()) return;
    std::shared_ptr<CJob> job = session_->NewJob();
    if (!job->Confirm()) return;
    curItem_ = nullptr;
    ClearFields();
    JobSteps steps;
    steps.confirmed = true;
    // Without a root the program cannot go on: it closes.
    steps.onWorker = [this](const CJob& j) {
        if (j.Result().outcome != Outcome::Done) Flags().quitReq = true;
    };
    if (RunJob(std::move(job), std::move(steps))) Button(kIdStop)->setEnabled(false);
}

void CKestrelView::OpenRecentFile(const QString& path) {
    if (WorkerRunning() || !session_->ConfirmDiscard()) return;
    OpenFile(path);
}

void CKestrelView::OnOpen() {
    if (WorkerRunning() || !session_->ConfirmDiscard()) return;
    const QString path = choosers_.openFile(ToQt(ProgramFolder()));
    if (path.isEmpty()) return;
    OpenFile(path);
}

void CKestrelView::OpenFile(const QString& path) {
    if (WorkerRunning()) return;
    const auto cp = FromQt(path);
    if (!cp) {
        host_->Ask(U8("※　ファイルをオープンできません\n"), MsgKind::Ok);
        return;
    }
    curItem_ = nullptr;
    ClearFields();
    readingSave_ = true;
    // A failed load leaves the program open with the tree the session leaves (a fresh root)
    // and no file in use.
    JobSteps steps;
    steps.reportStop = true;
    steps.after = [this](const CJob&) {
        readingSave_ = false;
        emit recentFilesChanged();
    };
    if (!RunJob(session_->OpenJob(*cp), std::move(steps))) {
        readingSave_ = false;
        return;
    }
    Button(kIdStop)->setEnabled(false);  // reading a save data file is not interrupted
}

void CKestrelView::OnSave() {
    if (WorkerRunning()) return;
    if (session_->saveFilePath.empty()) return OnSaveAs();
    host_->Ask(U8("次のファイルに保存します。\n[ %1 ]").arg(ToQt(session_->saveFilePath)),
               MsgKind::Ok);
    JobSteps steps;
    steps.reportStop = true;
    RunJob(session_->SaveJob(), std::move(steps));
}

void CKestrelView::OnSaveAs() {
    if (WorkerRunning()) return;
    const QString path = choosers_.saveFile(ToQt(ProgramFolder()));
    if (path.isEmpty()) return;
    const auto cp = FromQt(path);
    if (!cp) {
        host_->Ask(U8("※　ファイルをオープンできません\n"), MsgKind::Ok);
        return;
    }
    JobSteps steps;
    steps.reportStop = true;
    steps.after = [this](const CJob&) { emit recentFilesChanged(); };
    RunJob(session_->SaveAsJob(*cp), std::move(steps));
}

}  // namespace dov
