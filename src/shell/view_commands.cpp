// The view's commands that start long work: each checks the window's state, asks what only a
// window can ask (a file, a folder, a dialog), hands the command to the session on the worker
// and shows the result.
#include <QPushButton>
#include <QTreeView>
#include <cerrno>
#include <cstdio>
#include <memory>

#include "common/codepage.h"
#include "common/fs.h"
#include "common/paths.h"
#include "common/trace.h"
#include "common/workerflags.h"
#include "model/item.h"
#include "session/session.h"
#include "shell/dragcontrol.h"
#include "shell/filedialog.h"
#include "shell/listpane.h"
#include "shell/qthost.h"
#include "shell/qttext.h"
#include "shell/view.h"
#include "shell/viewmenus.h"
#include "shell/worker.h"

namespace dov {

namespace {
// After a load: how many entries it left out (names the program cannot hold).
void ReportLeftOut(QtHost* host, long long count) {
    // Called on the worker at the end of a load.
    if (count <= 0) return;
    char text[256];
    std::snprintf(text, sizeof text,
                  Sj("状態を読めないため読み込まなかったアイテムが%lld個あります。\n詳細は "
                     "DataTrace.txt に記されました。")
                      .c_str(),
                  count);
    host->Message(text, MsgKind::Ok, MsgIcon::Warning, {});
}
}  // namespace

void CKestrelView::OnStop() {
    if (Flags().busy && job_) {
        job_->Stop();
        TraceF(DefaultTracePath(), "！！！Stopボタンが押されました\n");
        // Said at once: a job may still write its log before it reports.
        emit progressText(U8("中止しています…"));
    } else {
        // Nothing runs: the button only shows its idle state.
        form_->Button(kIdStop)->setChecked(false);
    }
}

void CKestrelView::OnClose() {
    if (WorkerRunning()) {
        closeAfterWorker_ = true;
        return;
    }
    emit closeRequested();
}

// ---- Loads --------------------------------------------------------------------------------

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
    steps.onWorker = [this](const CJob& job) { ReportLeftOut(host_, job.Result().counts.leftOut); };
    // The status bar counts the entries read so far (its counters reset before the job
    // starts).
    StartProgressTimer();
    progressCountsEntries_ = true;
    RunJob(session_->LoadJob(folder, std::move(names), target), std::move(steps));
}

// ---- Files dropped from a file manager ------------------------------------------------------

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

void CKestrelView::LoadPaths(std::vector<std::string> paths) {
    if (WorkerRunning() || paths.empty()) return;
    JobSteps steps;
    steps.reportStop = true;
    steps.onWorker = [this](const CJob& job) { ReportLeftOut(host_, job.Result().counts.leftOut); };
    // Like a load from the dialog, the status bar counts the entries read so far.
    StartProgressTimer();
    progressCountsEntries_ = true;
    RunJob(session_->LoadPathsJob(std::move(paths)), std::move(steps));
}

void CKestrelView::SwitchAutoIndex(bool on) {
    if (WorkerRunning()) return;
    pane_->WriteSelectionToSession();
    JobSteps steps;
    steps.after = [this](const CJob&) { pane_->RefreshRowsKeepingSelection(); };
    RunJob(session_->AutoIndexJob(on), std::move(steps));
}

void CKestrelView::RunOperation(int id) {
    if (WorkerRunning() || Flags().transition || !session_->CurFolder()) return;
    if (!PrepareListCommand(this, *session_, id, menus_->Dialogs())) return;
    JobSteps steps;
    steps.reportStop = true;
    steps.after = [this, id](const CJob&) {
        pane_->RefreshRowsKeepingSelection();
        if (id == CMD_FIND) pane_->ShowSessionSelection();
    };
    RunJob(session_->OperationJob(id), std::move(steps));
}

// ---- Rename, copy, macros -----------------------------------------------------------------

void CKestrelView::OnRename() {
    if (WorkerRunning() || !pane_->RootItem()) return;
    if (pane_->RootItem()->m_dwNumInFolder == 0)
        return pane_->ShowMessage("改名するアイテムがありません。");
    std::shared_ptr<CJob> job = session_->RenameJob();
    if (!job->Confirm()) {
        // The user chose to undo an unfinished run first.
        if (session_->TakeUndoRequest()) OnUndo();
        return;
    }
    // Afterwards the rows show the items with their new paths.
    JobSteps steps;
    steps.confirmed = true;
    steps.after = [this](const CJob&) { pane_->RefreshRowsKeepingSelection(); };
    StartProgressTimer();  // its counters reset before the job starts
    RunJob(std::move(job), std::move(steps));
}

void CKestrelView::OnUndo() {
    if (WorkerRunning()) return;
    // The session resets the tree after the undo, freeing every item: the fields let go of
    // theirs now, and the rows are shown again from the new tree.
    pane_->DropItem(true);
    JobSteps steps;
    steps.after = [this](const CJob&) { pane_->RefreshRows(); };
    StartProgressTimer();
    RunJob(session_->UndoJob(), std::move(steps));
}

void CKestrelView::OnCopy() {
    CMyItem* root = pane_->RootItem();
    if (WorkerRunning() || !root || root->m_dwNumInFolder == 0) return;
    std::shared_ptr<CCopyJob> job = session_->CopyJob();
    if (!job->Confirm()) return;
    // A cancelled choice copies nothing and keeps the output folder of the settings.
    const QString chosen = choosers_.folder(ToQt(Prefs().writeFolder));
    if (chosen.isEmpty()) return;
    const auto folder = FromQt(chosen);
    if (!folder) return pane_->ShowMessage(kNotAName);
    if (!job->Prepare(*folder)) return;
    JobSteps steps;
    steps.confirmed = true;
    steps.after = [this](const CJob&) { pane_->RefreshRowsKeepingSelection(); };
    StartProgressTimer();  // its counters reset before the job starts
    if (!RunJob(std::move(job), std::move(steps)))
        return pane_->ShowMessage("スレッドの作成に失敗");
}

bool CKestrelView::CheckAndExeFuncKey(int fKey, Qt::KeyboardModifiers mods) {
    const int num = session_->MacroForKey(
        fKey, mods & Qt::AltModifier, mods & Qt::ShiftModifier, mods & Qt::ControlModifier,
        drags_->Dragging() || drags_->ListPending(), WorkerRunning() || Flags().transition);
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
        pane_->RefreshRowsKeepingSelection();
        pane_->ShowSessionSelection();
        if (missing && !pane_->Closing())
            host_->Ask(U8("マクロファイルがありません。\n%1\n"
                          "空のファイルを作りました。実行するマクロを書き込んでください。")
                           .arg(ToQt(file)),
                       MsgKind::Ok, MsgIcon::Warning);
    };
    return RunJob(session_->MacroJob(num), std::move(steps));
}

// ---- The save data file -------------------------------------------------------------------

void CKestrelView::OpenRecentFile(const QString& path) {
    if (WorkerRunning() || !session_->ConfirmDiscard()) return;
    OpenFile(path);
}

void CKestrelView::OpenFile(const QString& path) {
    if (WorkerRunning()) return;
    const auto cp = FromQt(path);
    if (!cp) {
        host_->Ask(U8("※　ファイルをオープンできません\n"), MsgKind::Ok);
        return;
    }
    pane_->DropItem();
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
    form_->Button(kIdStop)->setEnabled(false);  // reading a save data file is not interrupted
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
