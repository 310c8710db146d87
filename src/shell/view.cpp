#include "shell/view.h"

#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <algorithm>
#include <cmath>

#include "common/codepage.h"
#include "common/paths.h"
#include "common/sizetext.h"
#include "common/trace.h"
#include "common/workerflags.h"
#include "macro/macro_runner.h"
#include "model/item.h"
#include "model/loader.h"
#include "model/parts_array.h"
#include "rename/copy_rename.h"
#include "rename/make_tree.h"
#include "rename/rename_engine.h"
#include "rename/tree_edit.h"
#include "session/session.h"
#include "shell/filedialog.h"
#include "shell/qthost.h"
#include "shell/qttext.h"

namespace dov {

namespace {

// Dialog units of the form to pixels of the start-up layout.
constexpr double kDluX = 1.75;
constexpr double kDluY = 1.75;

QRect Dlu(int x, int y, int w, int h) {
    return QRect(static_cast<int>(std::lround(x * kDluX)), static_cast<int>(std::lround(y * kDluY)),
                 static_cast<int>(std::lround(w * kDluX)),
                 static_cast<int>(std::lround(h * kDluY)));
}

QColor ToQColor(ColorRef c) {
    return QColor(RedOf(c), GreenOf(c), BlueOf(c));
}

void SetColors(QWidget* w, ColorRef text, ColorRef back) {
    QPalette p = w->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Base, ToQColor(back));
        p.setColor(group, QPalette::Window, ToQColor(back));
        p.setColor(group, QPalette::Text, ToQColor(text));
        p.setColor(group, QPalette::WindowText, ToQColor(text));
        p.setColor(group, QPalette::AlternateBase, ToQColor(back));
    }
    // Read-only fields keep their colours when disabled too.
    p.setColor(QPalette::Disabled, QPalette::Base, ToQColor(back));
    p.setColor(QPalette::Disabled, QPalette::Window, ToQColor(back));
    w->setPalette(p);
}

constexpr int kItemRole = Qt::UserRole + 1;

CMyItem* ItemOfNode(const QTreeWidgetItem* node) {
    return node ? static_cast<CMyItem*>(node->data(0, kItemRole).value<void*>()) : nullptr;
}

}  // namespace

// F1 to F12 of the view's window, looked at before shortcuts and the menu bar (F10) can take
// them. An application-wide filter of its own, so that the view's filters on its controls see
// each event once.
class CKestrelView::FunctionKeyFilter : public QObject {
  public:
    explicit FunctionKeyFilter(CKestrelView* view) : QObject(view), view_(view) {}

  protected:
    bool eventFilter(QObject* obj, QEvent* e) override {
        if (e->type() != QEvent::ShortcutOverride && e->type() != QEvent::KeyPress) return false;
        auto* k = static_cast<QKeyEvent*>(e);
        auto* w = qobject_cast<QWidget*>(obj);
        if (k->key() < Qt::Key_F1 || k->key() > Qt::Key_F12 || !w ||
            w->window() != view_->window() || QApplication::activeModalWidget())
            return false;
        if (e->type() == QEvent::ShortcutOverride) {
            e->accept();  // the key comes as a key press, not as a shortcut
            return false;
        }
        // A key that started a macro ends here; any other goes on to the controls (F2 edits a
        // label when the list is empty).
        return view_->CheckAndExeFuncKey(k->key() - Qt::Key_F1 + 1, k->modifiers());
    }

  private:
    CKestrelView* view_;
};

// ---- Construction -------------------------------------------------------------------------

CKestrelView::CKestrelView(QWidget* parent) : QWidget(parent) {
    setObjectName("view");
    host_ = new QtHost(this, nullptr, this);
    TraceReset(DefaultTracePath());
    SetTraceFailureHandler([this](const std::string& msg) {
        QMetaObject::invokeMethod(
            this, [this, msg] { host_->Ask(ToQt(msg), MsgKind::Ok); }, Qt::QueuedConnection);
    });

    BuildControls();
    PlaceAtReference();
    fileDialog_ = new CMyFileDialog(host_, this);

    connect(host_, &QtHost::treeFolderAdded, this,
            [this](CMyItem* folder, CMyItem* parent, const QString& label) {
                if (nodes_.contains(folder)) return;
                QTreeWidgetItem* parentNode = nodes_.value(parent, nullptr);
                AddNode(folder, parentNode, label);
                if (!parentNode) {
                    QSignalBlocker b(tree_);
                    tree_->setCurrentItem(nodes_.value(folder));
                }
            });
    connect(host_, &QtHost::treeFolderRemoved, this, &CKestrelView::RemoveNode);
    connect(host_, &QtHost::treeFolderChanged, this, [this](CMyItem* folder, const QString& l) {
        if (QTreeWidgetItem* n = nodes_.value(folder, nullptr)) {
            settingLabel_ = true;
            n->setText(0, l);
            settingLabel_ = false;
        }
    });
    connect(host_, &QtHost::listShowFolder, this,
            [this](CMyItem* folder, std::vector<ListRow> rows) {
                listModel_->SetRows(folder, std::move(rows));
                curFolder_ = folder;
                curRow_ = -1;
                curItem_ = nullptr;
                rowChosen_ = false;
                if (QTreeWidgetItem* n = nodes_.value(folder, nullptr);
                    n && tree_->currentItem() != n) {
                    QSignalBlocker b(tree_);
                    tree_->setCurrentItem(n);
                }
                emit currentFolderChanged();
            });
    connect(host_, &QtHost::listRowChanged, this,
            [this](int row, ListRow data) { listModel_->SetRow(row, std::move(data)); });

    // Start-up: an empty edit tree, then the settings.
    session_ = std::make_unique<CSession>(*host_);
    host_->SetFlags(&session_->flags);
    session_->settings.loadFolder = ProgramFolder();
    session_->settings.writeFolder = ProgramFolder();
    LoadSettings();
    Button(kIdStop)->setChecked(false);
    Button(kIdStop)->setEnabled(false);
    ApplyColors();
    CheckAndChangeTreeBtnState(false, true);

    // The context menus, built once.
    listMenu_ = BuildListContextMenu(this);
    listMenu_->setObjectName("listMenu");
    connect(listMenu_, &QMenu::triggered, this, [this](QAction* a) {
        if (const int id = CommandIdOf(a)) OnListCommand(id);
    });
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (Flags().busy || Flags().transition) return;
        const QModelIndex i = list_->indexAt(pos);
        if (!i.isValid()) return;  // no menu over empty list space
        focusSide_ = 1;
        rowChosen_ = true;
        ShowItem(i.row());
        listMenu_->popup(list_->viewport()->mapToGlobal(pos));
    });
    treeMenu_ = BuildTreeContextMenu(this);
    treeMenu_->setObjectName("treeMenu");
    connect(treeMenu_, &QMenu::triggered, this, [this](QAction* a) {
        if (CommandIdOf(a) == CMD_TEXT_TREE) OnTextTree(treeMenuTarget_);
    });
    tree_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tree_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        treeMenuTarget_ = ItemOfNode(tree_->itemAt(pos));
        if (!treeMenuTarget_) return;
        treeMenu_->popup(tree_->viewport()->mapToGlobal(pos));
    });

    // The command dialogs' refusals and notes are message boxes of the host.
    commandUi_.message = [this](const QString& text) { host_->Ask(text, MsgKind::Ok); };
    choosers_.folder = [this](const QString& start) {
        return QFileDialog::getExistingDirectory(this, U8("フォルダの選択"), start);
    };
    auto fileChooser = [this](bool save, const QString& start) {
        QFileDialog dlg(this, U8(save ? "Dovreth　データセーブ" : "Dovreth　データロード"), start,
                        U8("Save Files (*.dvt)"));
        dlg.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dlg.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        dlg.setDefaultSuffix(QStringLiteral("dvt"));
        if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return QString();
        return dlg.selectedFiles().front();
    };
    choosers_.openFile = [fileChooser](const QString& start) { return fileChooser(false, start); };
    choosers_.saveFile = [fileChooser](const QString& start) { return fileChooser(true, start); };

    // The progress timer of the rename and the copy.
    progressTimer_ = new QTimer(this);
    progressTimer_->setInterval(100);
    connect(host_, &QtHost::progress, this, [this](long long done, long long total) {
        progressDone_ = done;
        progressTotal_ = total;
    });
    connect(progressTimer_, &QTimer::timeout, this, [this] {
        if (!WorkerRunning()) {
            progressTimer_->stop();
            emit progressText(QString());
            update();
            return;
        }
        if (progressTotal_ > 0)
            emit progressText(QStringLiteral("%1 / %2").arg(progressDone_).arg(progressTotal_));
    });

    // Drags start on the list's and the tree's surfaces; F1 to F12 are looked at before any
    // widget or shortcut sees them.
    tree_->viewport()->installEventFilter(this);
    list_->setDragEnabled(true);  // a press on a selected row keeps the selection for a drag
    list_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    fkeyFilter_ = new FunctionKeyFilter(this);
    qApp->installEventFilter(fkeyFilter_);
}

CKestrelView::~CKestrelView() {
    qApp->removeEventFilter(fkeyFilter_);
    SetDragCursor(false);
    // A worker still running is stopped; questions it asks now get their default answer.
    session_->flags.stopReq = true;
    session_->flags.quitReq = true;
    host_->SetShuttingDown();
    if (worker_.joinable()) worker_.join();
    SetTraceFailureHandler(nullptr);
    SaveSettings();
    listModel_->Clear();
    session_.reset();
}

WorkerFlags& CKestrelView::Flags() const {
    return session_->flags;
}
Settings& CKestrelView::Prefs() {
    return session_->settings;
}
CMyItem* CKestrelView::RootItem() const {
    return session_ ? session_->Root() : nullptr;
}
bool CKestrelView::WorkerRunning() const {
    return Flags().busy.load() || worker_.joinable();
}

void CKestrelView::LoadSettings() {
    session_->LoadSettingsFile();
}

void CKestrelView::SaveSettings() {
    if (int e = session_->SaveSettingsFile())
        TraceF(DefaultTracePath(), "※　設定ファイルの保存に失敗 errno[%d]\n", e);
}

QPushButton* CKestrelView::Button(int id) const {
    return buttons_.value(id, nullptr);
}

QString CKestrelView::CurrentFolderText() const {
    if (!curFolder_) return {};
    // The folder's path in the edit tree, as the tree shows it.
    QStringList parts;
    for (QTreeWidgetItem* n = nodes_.value(curFolder_, nullptr); n; n = n->parent())
        parts.prepend(n->text(0));
    return parts.join(QLatin1Char('/'));
}

void CKestrelView::BuildControls() {
    setAutoFillBackground(true);

    tree_ = new QTreeWidget(this);
    tree_->setObjectName("tree");
    tree_->setHeaderHidden(true);
    tree_->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    tree_->setDragDropMode(QAbstractItemView::NoDragDrop);
    tree_->setIndentation(16);
    connect(tree_, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* n) { ShowFolderNode(n); });
    connect(tree_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* n) { ShowFolderNode(n); });
    connect(tree_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* n, int) {
        if (!settingLabel_) OnTreeLabelEdited(n);
    });
    tree_->installEventFilter(this);

    listModel_ = new CItemListModel(this);
    list_ = new QTreeView(this);
    list_->setObjectName("list");
    list_->setModel(listModel_);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setItemsExpandable(false);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    list_->header()->setSectionsClickable(true);
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionsMovable(false);
    list_->setColumnWidth(0, 175);
    list_->setColumnWidth(1, 40);
    list_->setColumnWidth(2, 153);
    list_->setColumnWidth(3, 90);
    list_->installEventFilter(this);
    list_->viewport()->installEventFilter(this);
    connect(listModel_, &CItemListModel::labelEdited, this, &CKestrelView::OnListLabelEdited);
    connect(list_, &QTreeView::clicked, this, [this](const QModelIndex& i) {
        if (Flags().busy || Flags().transition) return;
        focusSide_ = 1;
        rowChosen_ = true;
        ShowItem(i.row());
        CheckAndChangeTreeBtnState(false, true);
    });
    connect(list_, &QTreeView::doubleClicked, this,
            [this](const QModelIndex& i) { OpenFolderRow(i.row()); });
    connect(list_->header(), &QHeaderView::sectionClicked, this, &CKestrelView::SortByColumn);
    connect(list_->header(), &QHeaderView::sectionResized, this, [this] {
        if (!QApplication::mouseButtons().testFlag(Qt::NoButton)) RecordColumnFractions();
    });
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (Flags().busy) return;
        if (QPushButton* b = Button(kIdDeleteItems); b && focusSide_ == 1)
            b->setEnabled(list_->selectionModel()->hasSelection());
    });
    connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& cur) {
                if (Flags().busy || !cur.isValid()) return;
                const QModelIndexList sel = list_->selectionModel()->selectedRows();
                int first = cur.row();
                for (const QModelIndex& s : sel) first = std::min(first, s.row());
                ShowItem(sel.isEmpty() ? cur.row() : first);
                // A current row without a selection (the focus came to the list) deletes
                // nothing, so the button follows the selection.
                if (QPushButton* b = Button(kIdDeleteItems); b && focusSide_ == 1)
                    b->setEnabled(list_->selectionModel()->hasSelection());
            });

    auto field = [this](const char* name, bool readOnly, bool right) {
        auto* e = new QLineEdit(this);
        e->setObjectName(name);
        e->setReadOnly(readOnly);
        e->setFrame(true);
        if (right) e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return e;
    };
    fOrg_ = field("orgName", true, false);
    fEdit_ = field("editName", false, false);
    fWrite_ = field("writeName", true, false);
    fIndex_ = field("index", true, true);
    fSize_ = field("size", true, true);
    fDate_ = field("date", true, true);
    fEdit_->installEventFilter(this);

    auto caption = [this](const char* text) {
        auto* l = new QLabel(U8(text), this);
        l->setAlignment(Qt::AlignCenter);
        l->setAutoFillBackground(true);
        captions_.push_back(l);
        return l;
    };
    auto button = [this](int id, const char* text, const char* name) {
        auto* b = new QPushButton(U8(text), this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        buttons_.insert(id, b);
        return b;
    };

    QLabel* c1054 = caption("元ファイル名");
    QLabel* c1055 = caption("編集");
    QLabel* c1056 = caption("作成ファイル名");
    QLabel* c1057 = caption("Index");
    QLabel* c1058 = caption("Size");
    QLabel* c1059 = caption("Date");
    QPushButton* load = button(kIdLoad, "読み込み", "load");
    QPushButton* delItems = button(kIdDeleteItems, "アイテム削除", "deleteItems");
    QPushButton* rename = button(kIdRename, "直接変更", "rename");
    QPushButton* copy = button(kIdCopy, "コピーして実行", "copy");
    QPushButton* stop = button(kIdStop, "STOP", "stop");
    stop->setCheckable(true);
    QPushButton* close = button(kIdClose, "CLOSE", "close");
    QPushButton* makeFold = button(kIdMakeFolder, "フォルダ作成", "makeFolder");
    QPushButton* delFold = button(kIdDeleteFolder, "削除", "deleteFolder");
    QFont bold = stop->font();
    bold.setBold(true);
    stop->setFont(bold);
    stop->setStyleSheet(
        "QPushButton#stop:enabled { color: #b00000; }"
        "QPushButton#stop:checked { background-color: #d04040; color: white; }");

    connect(load, &QPushButton::clicked, this, &CKestrelView::OnLoad);
    connect(delItems, &QPushButton::clicked, this, &CKestrelView::OnDeleteItems);
    connect(stop, &QPushButton::clicked, this, &CKestrelView::OnStop);
    connect(close, &QPushButton::clicked, this, &CKestrelView::OnClose);
    connect(makeFold, &QPushButton::clicked, this, &CKestrelView::OnMakeFolder);
    connect(delFold, &QPushButton::clicked, this, &CKestrelView::OnDeleteFolder);
    connect(rename, &QPushButton::clicked, this, &CKestrelView::OnRename);
    connect(copy, &QPushButton::clicked, this, &CKestrelView::OnCopy);

    // The start-up layout of the form, in dialog units.
    placed_ = {
        {tree_, Dlu(0, 0, 86, 208)},     {list_, Dlu(87, 0, 264, 108)},
        {c1054, Dlu(95, 112, 57, 15)},   {fOrg_, Dlu(156, 111, 194, 16)},
        {c1055, Dlu(95, 130, 57, 15)},   {fEdit_, Dlu(156, 129, 194, 16)},
        {c1056, Dlu(95, 148, 57, 15)},   {fWrite_, Dlu(156, 148, 194, 16)},
        {c1057, Dlu(92, 170, 26, 15)},   {fIndex_, Dlu(119, 169, 35, 16)},
        {c1058, Dlu(161, 170, 26, 15)},  {fSize_, Dlu(188, 169, 55, 16)},
        {c1059, Dlu(250, 170, 26, 15)},  {fDate_, Dlu(277, 169, 73, 16)},
        {load, Dlu(95, 190, 50, 15)},    {delItems, Dlu(95, 208, 50, 15)},
        {rename, Dlu(149, 193, 50, 30)}, {copy, Dlu(201, 193, 60, 30)},
        {stop, Dlu(263, 191, 33, 32)},   {close, Dlu(298, 203, 50, 20)},
        {makeFold, Dlu(0, 209, 56, 14)}, {delFold, Dlu(59, 209, 27, 14)},
    };
    refSize_ = QSize(static_cast<int>(std::lround(352 * kDluX)),
                     static_cast<int>(std::lround(224 * kDluY)));
    setMinimumSize(0, 0);
}

// ---- Layout -------------------------------------------------------------------------------

void CKestrelView::PlaceAtReference() {
    for (const Placed& p : placed_) p.w->setGeometry(p.ref);
    RecordColumnFractions();
}

void CKestrelView::RecordColumnFractions() {
    const int w = std::max(1, list_->width() - 2 * list_->frameWidth());
    for (int c = 0; c < 4; ++c)
        colFractions_[static_cast<std::size_t>(c)] = list_->columnWidth(c) / double(w);
}

void CKestrelView::ApplyLayout(QSize size) {
    // Below the start-up size a dimension keeps its start-up layout.
    const double sx = std::max(size.width(), refSize_.width()) / double(refSize_.width());
    const double sy = std::max(size.height(), refSize_.height()) / double(refSize_.height());
    for (const Placed& p : placed_) {
        p.w->setGeometry(static_cast<int>(std::lround(p.ref.x() * sx)),
                         static_cast<int>(std::lround(p.ref.y() * sy)),
                         static_cast<int>(std::lround(p.ref.width() * sx)),
                         static_cast<int>(std::lround(p.ref.height() * sy)));
    }
    // The list's client width follows from its new size (the viewport is laid out later).
    const int w = list_->width() - 2 * list_->frameWidth();
    if (w > 1) {
        QSignalBlocker block(list_->header());
        for (int c = 0; c < 4; ++c)
            list_->setColumnWidth(c,
                                  static_cast<int>(w * colFractions_[static_cast<std::size_t>(c)]));
    }
}

void CKestrelView::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    ApplyLayout(size());
}

// ---- Colours ------------------------------------------------------------------------------

void CKestrelView::ApplyColors() {
    const auto& c = Prefs().colors;
    SetColors(tree_, c[kTreeText], c[kTreeBack]);
    SetColors(list_, c[kListText], c[kListBack]);
    SetColors(fOrg_, c[kOrgFileName], c[kOrgFileNameBack]);
    SetColors(fEdit_, c[kEditName], c[kEditNameBack]);
    SetColors(fWrite_, c[kMakeName], c[kMakeNameBack]);
    for (QLineEdit* f : {fIndex_, fSize_, fDate_}) SetColors(f, c[kFileInfoText], c[kFileInfoBack]);
    for (QLabel* l : captions_) SetColors(l, c[kTitleText], c[kTitleBack]);
    QPalette p = palette();
    p.setColor(QPalette::Window, ToQColor(Flags().busy ? c[kMainWork] : c[kMainBack]));
    setPalette(p);
    // The children keep their own colours.
    for (QWidget* w : findChildren<QPushButton*>()) w->setPalette(QApplication::palette(w));
    update();
}

// ---- Busy and idle ------------------------------------------------------------------------

void CKestrelView::SetBusyState(bool busy) {
    for (int id : {kIdClose, kIdCopy, kIdRename})
        if (QPushButton* b = Button(id)) b->setEnabled(!busy);
    if (busy) {
        for (int id : {kIdDeleteFolder, kIdDeleteItems, kIdMakeFolder, kIdLoad})
            if (QPushButton* b = Button(id)) b->setEnabled(false);
    } else {
        CheckAndChangeTreeBtnState(false, true);
    }
    Button(kIdStop)->setChecked(false);
    Button(kIdStop)->setEnabled(busy);
    listModel_->SetEditable(!busy);
    ApplyColors();
    emit busyChanged(busy);
}

void CKestrelView::CheckAndChangeTreeBtnState(bool setAll, bool state) {
    QPushButton* del = Button(kIdDeleteFolder);
    QPushButton* make = Button(kIdMakeFolder);
    QPushButton* load = Button(kIdLoad);
    QPushButton* delItems = Button(kIdDeleteItems);
    if (setAll) {
        del->setEnabled(state);
        make->setEnabled(state);
        load->setEnabled(state);
        return;
    }
    QTreeWidgetItem* sel = tree_->currentItem();
    if (focusSide_ == 1) {
        del->setEnabled(false);
        make->setEnabled(sel != nullptr);
        load->setEnabled(true);
        delItems->setEnabled(list_->selectionModel()->hasSelection());
    } else {
        const bool isRoot = sel && sel == nodes_.value(RootItem(), nullptr);
        del->setEnabled(sel && !isRoot);
        make->setEnabled(sel != nullptr);
        load->setEnabled(sel != nullptr);
        delItems->setEnabled(false);
    }
}

bool CKestrelView::StartWorker(std::function<void()> body) {
    if (Flags().busy || worker_.joinable()) return false;
    Flags().busy = true;
    SetBusyState(true);
    try {
        worker_ = std::thread([this, body = std::move(body)] {
            body();
            QMetaObject::invokeMethod(this, &CKestrelView::WorkerDone, Qt::QueuedConnection);
        });
    } catch (...) {
        Flags().busy = false;
        SetBusyState(false);
        return false;
    }
    return true;
}

void CKestrelView::WorkerDone() {
    Flags().transition = true;
    if (worker_.joinable()) worker_.join();
    Flags().busy = false;
    Flags().macroRunning = false;
    SetBusyState(false);
    if (afterWorker_) {
        auto after = std::move(afterWorker_);
        afterWorker_ = nullptr;
        after();
    }
    const bool quit = Flags().quitReq.load() || closeAfterWorker_;
    Flags().stopReq = false;
    Flags().transition = false;
    if (quit) emit closeRequested();
}

void CKestrelView::ReportStop() {
    // Called on the worker at its end.
    if (Flags().stopReq && !Flags().quitReq) {
        host_->Message(Sj("中止ボタンによって中止されました"), MsgKind::Ok, MsgIcon::None, {});
        if (readingSave_)
            host_->Message(Sj("読み込み中のデータはクリアされます"), MsgKind::Ok, MsgIcon::None,
                           {});
    }
}

void CKestrelView::OnStop() {
    if (Flags().busy) {
        Flags().stopReq = true;
        TraceF(DefaultTracePath(), "！！！Stopボタンが押されました\n");
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

// ---- The edit tree ------------------------------------------------------------------------

bool CKestrelView::ResetTree() {
    Button(kIdStop)->setEnabled(false);
    curItem_ = nullptr;
    curRow_ = -1;
    ClearFields();
    // The session drops the old root's node and adds the new one, then shows the new root.
    const bool ok = session_->Reset() == 1;
    if (ok && !nodes_.value(RootItem(), nullptr)) {
        host_->Ask(U8("ツリーのルートアイテム作成に失敗したので終了します。"), MsgKind::Ok);
        return false;
    }
    return ok;
}

QTreeWidgetItem* CKestrelView::AddNode(CMyItem* folder, QTreeWidgetItem* parentNode,
                                       const QString& label) {
    auto* n = parentNode ? new QTreeWidgetItem(parentNode) : new QTreeWidgetItem(tree_);
    settingLabel_ = true;
    n->setText(0, label);
    n->setData(0, kItemRole, QVariant::fromValue(static_cast<void*>(folder)));
    n->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
    n->setFlags(n->flags() | Qt::ItemIsEditable);
    settingLabel_ = false;
    nodes_.insert(folder, n);
    return n;
}

void CKestrelView::RemoveNode(CMyItem* folder) {
    QTreeWidgetItem* n = nodes_.value(folder, nullptr);
    if (!n) return;
    // The node and every node below it go; the items may already be gone, so only the node
    // data is looked at.
    std::vector<QTreeWidgetItem*> stack{n};
    while (!stack.empty()) {
        QTreeWidgetItem* t = stack.back();
        stack.pop_back();
        nodes_.remove(ItemOfNode(t));
        for (int i = 0; i < t->childCount(); ++i) stack.push_back(t->child(i));
    }
    QSignalBlocker b(tree_);
    delete n;
}

void CKestrelView::ShowFolderNode(QTreeWidgetItem* node) {
    if (!node || Flags().busy || Flags().transition) return;
    CMyItem* folder = ItemOfNode(node);
    if (!folder) return;
    focusSide_ = 0;
    ClearFields();
    if (tree_->currentItem() != node) {
        QSignalBlocker b(tree_);
        tree_->setCurrentItem(node);
    }
    if (folder != curFolder_ || listModel_->Folder() != folder) {
        Flags().transition = true;
        session_->ShowFolder(folder);
        Flags().transition = false;
        curItem_ = folder;
    }
    CheckAndChangeTreeBtnState(false, true);
}

void CKestrelView::OpenFolderRow(int row) {
    if (Flags().busy || Flags().transition) return;
    const ListRow* r = listModel_->Row(row);
    if (!r || !r->isFolder) return;
    if (QTreeWidgetItem* n = nodes_.value(r->item, nullptr)) {
        if (n->parent()) n->parent()->setExpanded(true);
        ShowFolderNode(n);
    }
}

// ---- Fields -------------------------------------------------------------------------------

void CKestrelView::ClearFields() {
    for (QLineEdit* f : {fOrg_, fEdit_, fWrite_, fIndex_, fSize_, fDate_}) f->clear();
}

void CKestrelView::ShowFields(CMyItem* item) {
    if (!item) {
        ClearFields();
        return;
    }
    item->UpdateWriteName();
    fOrg_->setText(ToQt(item->m_strOrgName));
    fEdit_->setText(ToQt(item->m_strNewName));
    fWrite_->setText(ToQt(item->m_strWriteName));
    fIndex_->setText(QString::number(item->m_iKindIndex));
    const std::uint64_t size = (static_cast<std::uint64_t>(item->m_findData.nFileSizeHigh) << 32) |
                               item->m_findData.nFileSizeLow;
    fSize_->setText(SizeText(size));
    fDate_->setText(ItemDateText(item->m_status.m_mtime));
    if (QTreeWidgetItem* n = nodes_.value(item, nullptr)) {
        settingLabel_ = true;
        n->setText(0, ToQt(item->m_strNewName));
        settingLabel_ = false;
    }
}

void CKestrelView::ShowItem(int row) {
    if (Flags().busy) return;
    const ListRow* r = listModel_->Row(row);
    if (!r) return;
    curRow_ = row;
    curItem_ = r->item;
    ShowFields(curItem_);
}

void CKestrelView::ShowMessage(const char* utf8) {
    host_->Ask(U8(utf8), MsgKind::Ok);
}

void CKestrelView::SetItemNewName(CMyItem* item, int row, const std::string& name) {
    if (row >= 0 && session_->RowItem(row) == item) {
        session_->SetNewName(row, name);
    } else {
        // A folder of the tree that the list does not show.
        item->m_strNewName = name;
        item->UpdateWriteName();
        session_->Host().TreeFolderChanged(item);
    }
    if (item == curItem_) ShowFields(item);
}

bool CKestrelView::TypeNewName(const QString& text) {
    if (Flags().busy || curRow_ < 0 || !curItem_ || !rowChosen_) return false;
    auto cp = FromQt(text);
    if (!cp) {
        ShowMessage("入力された文字にはファイル名として使えない文字が含まれています");
        return false;
    }
    if (session_->SetNewName(curRow_, *cp) != 1) return false;
    ShowFields(curItem_);
    list_->setFocus();
    return true;
}

void CKestrelView::OnListLabelEdited(int row, const QString& text) {
    if (Flags().busy || !listModel_->Row(row)) return;
    auto cp = FromQt(text);
    if (!cp) {
        ShowMessage("入力された文字にはファイル名として使えない文字が含まれています");
        return;
    }
    // The label editor takes the same refusals as the field.
    session_->SetNewName(row, *cp);
    if (row == curRow_ && curItem_) ShowFields(curItem_);
}

void CKestrelView::OnTreeLabelEdited(QTreeWidgetItem* node) {
    CMyItem* item = ItemOfNode(node);
    if (!item) return;
    auto restore = [&] {
        settingLabel_ = true;
        node->setText(0, ToQt(item->m_strNewName));
        settingLabel_ = false;
    };
    if (Flags().busy || item == RootItem()) return restore();
    const QString text = node->text(0);
    auto cp = FromQt(text);
    if (text.isEmpty()) return restore();
    if (!cp) {
        restore();
        return ShowMessage("入力された文字にはファイル名として使えない文字が含まれています");
    }
    if (!CMyItem::IsUsableNameString(*cp)) {
        restore();
        return ShowMessage("\\ / : , ; * ? < > | \nの文字はファイル名として使えません");
    }
    int row = -1;
    const auto& rows = listModel_->Rows();
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].item == item) row = static_cast<int>(i);
    SetItemNewName(item, row, *cp);
}

// ---- List helpers -------------------------------------------------------------------------

std::vector<int> CKestrelView::SelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& i : list_->selectionModel()->selectedRows()) rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CKestrelView::SelectListRow(int row) {
    const int n = listModel_->rowCount();
    if (n == 0) return;
    if (row < 0 || row >= n) row = 0;
    const QModelIndex i = listModel_->index(row, 0);
    list_->selectionModel()->setCurrentIndex(
        i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list_->scrollTo(i);
    list_->horizontalScrollBar()->setValue(0);
}

void CKestrelView::SelectAllRows() {
    if (Flags().busy) return;
    list_->selectAll();
    SelectItemMessage();
}

void CKestrelView::SelectItemMessage() {
    list_->setFocus();
    focusSide_ = 1;
    const std::vector<int> rows = SelectedRows();
    if (!rows.empty()) {
        // The first selected row becomes the current one, for the keys as for the fields.
        list_->selectionModel()->setCurrentIndex(listModel_->index(rows.front(), 0),
                                                 QItemSelectionModel::NoUpdate);
        ShowItem(rows.front());
    }
    CheckAndChangeTreeBtnState(false, true);
}

void CKestrelView::RefreshRows() {
    session_->ShowFolder(curFolder_);
}

// ---- Commands -----------------------------------------------------------------------------

void CKestrelView::OnLoad() {
    if (WorkerRunning() || !curFolder_) return;
    fileDialog_->SetInitialFolder(Prefs().loadFolder);
    if (fileDialog_->exec() != QDialog::Accepted) return;
    Prefs().loadFolder = fileDialog_->CurrentFolder();
    LoadEntries(fileDialog_->CurrentFolder(), fileDialog_->Selected());
}

void CKestrelView::LoadEntries(const std::string& folder, std::vector<EntryInfo> picked) {
    CMyItem* target = curFolder_;
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
    StartWorker([this, target, folder, names = std::move(names)] {
        session_->Load(folder, names, target);
        ReportStop();
    });
}

void CKestrelView::LoadPaths(std::vector<std::string> paths) {
    if (WorkerRunning() || paths.empty()) return;
    StartWorker([this, paths = std::move(paths)] {
        session_->LoadPaths(paths);
        ReportStop();
    });
}

void CKestrelView::SortByColumn(int column) {
    if (WorkerRunning() || Flags().transition || !curFolder_) return;
    CMyItem* folder = curFolder_;
    StartWorker([this, folder, column] {
        if (session_->CurFolder() == folder) session_->SortByColumn(column);
    });
}

void CKestrelView::OnMakeFolder() {
    if (WorkerRunning()) return;
    QTreeWidgetItem* sel = tree_->currentItem();
    CMyItem* parent = ItemOfNode(sel);
    if (!parent) return;
    CMyItem* item = AddFoldToTree(parent, session_->Host());
    if (!item) return;
    if (!nodes_.value(item, nullptr)) ShowMessage("ツリーアイテムへのデータセットに失敗");
    sel->setExpanded(true);
    if (curFolder_ == parent) {
        RefreshRows();
        const int last = listModel_->rowCount() - 1;
        rowChosen_ = true;
        SelectListRow(last);
        ShowItem(last);
        focusSide_ = 1;
        list_->setFocus();
    }
}

void CKestrelView::OnDeleteFolder() {
    if (WorkerRunning()) return;
    CMyItem* item = ItemOfNode(tree_->currentItem());
    if (!item || item == RootItem()) return;
    if (curItem_ == item) curItem_ = nullptr;
    CMyItem* parent = RemoveTreeFolder(item, session_->Host());
    if (!parent) return;
    if (QTreeWidgetItem* n = nodes_.value(parent, nullptr)) {
        curFolder_ = nullptr;  // shows the parent even when the session already did
        ShowFolderNode(n);
    }
}

void CKestrelView::OnDeleteItems() {
    if (WorkerRunning() || !curFolder_) return;
    const std::vector<int> rows = SelectedRows();
    if (rows.empty()) return;
    CMyItem* folder = curFolder_;
    const ListDeleteResult r = DeleteSelectListItems(folder, rows, session_->Host());
    const int keepRow = curRow_;
    RefreshRows();
    const int n = listModel_->rowCount();
    if (n > 0) {
        const int row = r.ok && r.hasCurrentItem ? r.currentRow : std::clamp(keepRow, 0, n - 1);
        rowChosen_ = true;
        SelectListRow(row);
        ShowItem(row);
    } else {
        curRow_ = -1;
        curItem_ = nullptr;
        ClearFields();
    }
    list_->setFocus();
}

void CKestrelView::NewTree() {
    if (WorkerRunning()) return;
    CMyItem* root = RootItem();
    if (!root || root->m_dwNumInFolder == 0) return;
    if (host_->Ask(U8("現在の内容を破棄しますか？"), MsgKind::YesNo, MsgIcon::Question) !=
        MsgAnswer::Yes)
        return;
    curItem_ = nullptr;
    curRow_ = -1;
    ClearFields();
    session_->saveFilePath.clear();  // a later Save asks for a file again
    if (StartWorker([this] {
            if (session_->Reset() != 1) Flags().quitReq = true;
        }))
        Button(kIdStop)->setEnabled(false);
}

bool CKestrelView::ConfirmDiscard() {
    CMyItem* root = RootItem();
    if (session_->saveFilePath.empty() && !(root && root->m_dwNumInFolder > 0)) return true;
    return host_->Ask(U8("現在のデータは全て破棄されますがよろしいですか？"), MsgKind::YesNo,
                      MsgIcon::Question) == MsgAnswer::Yes;
}

void CKestrelView::OpenRecentFile(const QString& path) {
    if (WorkerRunning() || !ConfirmDiscard()) return;
    OpenFile(path);
}

void CKestrelView::OnOpen() {
    if (WorkerRunning() || !ConfirmDiscard()) return;
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
    curRow_ = -1;
    ClearFields();
    readingSave_ = true;
    // A failed load leaves the program open with the tree the session leaves (a fresh root).
    if (!StartWorker([this, p = *cp] {
            session_->Open(p);
            ReportStop();
        })) {
        readingSave_ = false;
        return;
    }
    Button(kIdStop)->setEnabled(false);  // reading a save data file is not interrupted
    afterWorker_ = [this] {
        readingSave_ = false;
        emit recentFilesChanged();
    };
}

void CKestrelView::OnSave() {
    if (WorkerRunning()) return;
    if (session_->saveFilePath.empty()) return OnSaveAs();
    host_->Ask(U8("次のファイルに保存します。\n[ %1 ]").arg(ToQt(session_->saveFilePath)),
               MsgKind::Ok);
    StartWorker([this] {
        session_->Save();
        ReportStop();
    });
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
    if (StartWorker([this, p = *cp] {
            session_->SaveAs(p);
            ReportStop();
        }))
        afterWorker_ = [this] { emit recentFilesChanged(); };
}

// ---- List commands ------------------------------------------------------------------------

void CKestrelView::SyncSelectionToSession() {
    session_->ClearSelection();
    const int n = session_->RowCount();
    for (int r : SelectedRows())
        if (r < n) session_->list.SetSelected(r, true);
    session_->list.iCurrentRow = curRow_ < n ? curRow_ : -1;
}

void CKestrelView::SyncSelectionFromSession() {
    QItemSelection sel;
    const int n = std::min(listModel_->rowCount(), session_->RowCount());
    int first = -1;
    for (int r = 0; r < n; ++r) {
        if (!session_->list.IsSelected(r)) continue;
        if (first < 0) first = r;
        sel.select(listModel_->index(r, 0), listModel_->index(r, CItemListModel::kColumnCount - 1));
    }
    QItemSelectionModel* m = list_->selectionModel();
    m->select(sel, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    // The first selected row becomes the current one.
    if (first >= 0) {
        m->setCurrentIndex(listModel_->index(first, 0), QItemSelectionModel::NoUpdate);
        ShowItem(first);
    }
}

void CKestrelView::RefreshRowsKeepingSelection() {
    if (!curFolder_ || WorkerRunning()) return;
    host_->SetShownFolder(curFolder_);
    listModel_->UpdateRows(curFolder_, ListRow::OfFolder(curFolder_));
    if (curItem_ && curRow_ >= 0) ShowFields(curItem_);
}

void CKestrelView::OnListCommand(int id) {
    if (id == CMD_SELECT_ALL) return SelectAllRows();
    if (WorkerRunning() || Flags().transition || !curFolder_) return;
    SyncSelectionToSession();
    if (id == CMD_INFO) {
        host_->Ask(ToQt(session_->InfoText()), MsgKind::Ok, MsgIcon::Information);
        return;
    }
    if (!PrepareListCommand(this, *session_, id, commandUi_)) return;
    if (!StartWorker([this, id] {
            session_->RunListCommand(id);
            ReportStop();
        }))
        return;
    afterWorker_ = [this, id] {
        RefreshRowsKeepingSelection();
        if (id == CMD_FIND) SyncSelectionFromSession();
    };
}

void CKestrelView::OnTextTree(CMyItem* folder) {
    if (!folder || WorkerRunning()) return;
    if (!nodes_.contains(folder)) return;  // the node went since the menu opened
    TextTreeOutput(folder, session_->Host());
}

// ---- Rename and copy ----------------------------------------------------------------------

bool CKestrelView::ProgressTimerActive() const {
    return progressTimer_->isActive();
}

void CKestrelView::StartProgressTimer() {
    progressDone_ = progressTotal_ = 0;
    update();
    progressTimer_->start();
}

void CKestrelView::OnRename() {
    if (WorkerRunning() || !RootItem()) return;
    auto run = std::make_shared<CRenameRun>(RootItem(), session_->depth, session_->Host());
    RenameOptions options;
    options.autoSerialNum = session_->AutoIndex();
    if (!run->ConfirmStart(options)) return;
    if (!StartWorker([run] { run->RenameItemBySort(); })) return;
    // Afterwards the rows show the items with their new paths.
    afterWorker_ = [this] { RefreshRowsKeepingSelection(); };
    StartProgressTimer();
}

void CKestrelView::OnCopy() {
    CMyItem* root = RootItem();
    if (WorkerRunning() || !root || root->m_dwNumInFolder == 0) return;
    auto run = std::make_shared<CCopyRun>(session_->Host(), session_->tracePath);
    CopyOptions options;
    options.autoSerialNum = session_->AutoIndex();
    if (!run->ConfirmStart(root, options)) return;
    // A cancelled choice copies nothing and keeps the output folder of the settings.
    const QString chosen = choosers_.folder(ToQt(Prefs().writeFolder));
    if (chosen.isEmpty()) return;
    const auto folder = FromQt(chosen);
    if (!folder) {
        ShowMessage("入力された文字にはファイル名として使えない文字が含まれています");
        return;
    }
    if (!run->PrepareBuffer()) return;
    Prefs().writeFolder = *folder;
    if (!StartWorker([run, root, f = *folder] { run->Run(root, f); })) {
        ShowMessage("スレッドの作成に失敗");
        return;
    }
    afterWorker_ = [this] { RefreshRowsKeepingSelection(); };
    StartProgressTimer();
}

// ---- Macros -------------------------------------------------------------------------------

bool CKestrelView::CheckAndExeFuncKey(int fKey, Qt::KeyboardModifiers mods) {
    const int num =
        MacroFileNumForKey(fKey, mods & Qt::AltModifier, mods & Qt::ShiftModifier,
                           mods & Qt::ControlModifier, listModel_->rowCount(),
                           Dragging() || listDragPending_, WorkerRunning() || Flags().transition);
    if (num <= 0) return false;
    list_->setFocus();
    if (!MacroCanStart(num, session_->tracePath)) return false;
    SyncSelectionToSession();
    if (!StartWorker([this, num] {
            session_->RunMacro(num);
            ReportStop();
        }))
        return false;
    afterWorker_ = [this] {
        RefreshRowsKeepingSelection();
        SyncSelectionFromSession();
    };
    return true;
}

// ---- Drag and drop ------------------------------------------------------------------------

void CKestrelView::SetDragCursor(bool on) {
    if (on == cursorOverridden_) return;
    cursorOverridden_ = on;
    if (on)
        QApplication::setOverrideCursor(QCursor(Qt::DragMoveCursor));
    else
        QApplication::restoreOverrideCursor();
}

bool CKestrelView::BeginListDrag() {
    listDragPending_ = false;
    if (Flags().busy || Flags().transition || Dragging()) return false;
    const std::vector<int> rows = SelectedRows();
    if (rows.empty()) return false;
    dragRows_ = rows;
    dragItems_.clear();
    for (int r : rows) dragItems_.push_back(listModel_->Row(r)->item);
    listDrag_ = true;
    SetDragCursor(true);
    return true;
}

bool CKestrelView::BeginTreeDrag(QTreeWidgetItem* node) {
    treeDragPending_ = nullptr;
    if (Flags().busy || Flags().transition || Dragging()) return false;
    CMyItem* item = ItemOfNode(node);
    if (!item || item == RootItem()) return false;  // the top node stays
    treeDrag_ = node;
    SetDragCursor(true);
    return true;
}

void CKestrelView::CancelDrags() {
    listDragPending_ = false;
    listDrag_ = false;
    treeDragPending_ = nullptr;
    treeDrag_ = nullptr;
    SetDragCursor(false);
}

bool CKestrelView::ListDropWithin(int dropRow) {
    CMyItem* folder = curFolder_;
    if (!folder || dropRow < 0) return false;
    auto moved = std::make_shared<int>(-1);
    if (!StartWorker([this, folder, rows = dragRows_, dropRow, moved] {
            *moved = ListDropMove(folder, rows, dropRow, session_->Host());
        }))
        return false;
    afterWorker_ = [this, moved, count = static_cast<int>(dragRows_.size())] {
        RefreshRowsKeepingSelection();
        if (*moved < 0) return;
        // The moved block stays selected, its first row current.
        QItemSelection sel(listModel_->index(*moved, 0),
                           listModel_->index(*moved + count - 1, CItemListModel::kColumnCount - 1));
        list_->selectionModel()->select(
            sel, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        list_->selectionModel()->setCurrentIndex(listModel_->index(*moved, 0),
                                                 QItemSelectionModel::NoUpdate);
        rowChosen_ = true;
        ShowItem(*moved);
    };
    return true;
}

void CKestrelView::EndDragAt(const QPoint& global) {
    const bool wasList = listDrag_;
    QTreeWidgetItem* dragNode = treeDrag_;
    listDragPending_ = false;
    listDrag_ = false;
    treeDragPending_ = nullptr;
    treeDrag_ = nullptr;
    SetDragCursor(false);
    if ((!wasList && !dragNode) || WorkerRunning()) return;

    const QPoint tp = tree_->viewport()->mapFromGlobal(global);
    if (tree_->viewport()->rect().contains(tp)) {
        // Empty space below the nodes is the top node.
        QTreeWidgetItem* targetNode = tree_->itemAt(tp);
        if (!targetNode) targetNode = nodes_.value(RootItem(), nullptr);
        CMyItem* target = ItemOfNode(targetNode);
        if (!target) return;
        if (wasList) {
            StartWorker([this, target, rows = dragRows_, items = dragItems_] {
                ItemDropToTree(target, rows, items, session_->Host());
            });
        } else {
            CMyItem* dragged = ItemOfNode(dragNode);
            CMyItem* selected = ItemOfNode(tree_->currentItem());
            if (!dragged) return;
            if (StartWorker([this, dragged, target, selected] {
                    TreeItemDropToTree(dragged, target, session_->Host(), selected);
                })) {
                repaint();
                afterWorker_ = [this] {
                    if (QTreeWidgetItem* n = tree_->currentItem()) tree_->scrollToItem(n);
                };
            }
        }
        return;
    }
    const QPoint lp = list_->viewport()->mapFromGlobal(global);
    if (wasList && list_->viewport()->rect().contains(lp)) {
        const QModelIndex i = list_->indexAt(lp);
        ListDropWithin(i.isValid() ? i.row() : listModel_->rowCount() - 1);
    }
}

// A press on a row (list) or on a folder other than the top node (tree) makes a drag pending;
// moving far enough with the button held starts it; releasing the button ends it. A move
// without the button held clears every drag.
bool CKestrelView::HandleDragMouse(bool onList, QEvent* e) {
    auto* m = static_cast<QMouseEvent*>(e);
    const QPoint pos = m->position().toPoint();
    const bool dragging = onList ? listDrag_ : treeDrag_ != nullptr;
    switch (e->type()) {
        case QEvent::MouseButtonPress:
            if (m->button() != Qt::LeftButton || Flags().busy || Flags().transition) return false;
            if (onList) {
                if (!list_->indexAt(pos).isValid()) return false;
                listDragPending_ = true;
            } else {
                QTreeWidgetItem* n = tree_->itemAt(pos);
                if (!n || ItemOfNode(n) == RootItem()) return false;
                treeDragPending_ = n;
            }
            pressPos_ = pos;
            return false;
        case QEvent::MouseMove: {
            if (!(m->buttons() & Qt::LeftButton)) {
                if (Dragging() || listDragPending_ || treeDragPending_) CancelDrags();
                return false;
            }
            if (dragging) return true;
            const bool far =
                (pos - pressPos_).manhattanLength() >= QApplication::startDragDistance();
            if (onList) {
                // Qt's own drag never starts; a drag without rows simply does nothing.
                if (!listDragPending_ || !far) return false;
                BeginListDrag();
                return true;
            }
            if (!treeDragPending_) return false;
            if (far) BeginTreeDrag(treeDragPending_);
            return true;  // no drag-selecting in the tree
        }
        case QEvent::MouseButtonRelease:
            if (m->button() != Qt::LeftButton) return false;
            if (onList)
                listDragPending_ = false;
            else
                treeDragPending_ = nullptr;
            if (!dragging) return false;
            EndDragAt(m->globalPosition().toPoint());
            return true;
        default:
            return false;
    }
}

// ---- Keyboard -----------------------------------------------------------------------------

bool CKestrelView::ListKey(QKeyEvent* k) {
    // Page Up and Page Down scroll by the whole rows that fit in the list and move the current
    // row by as many rows, so it keeps its place on the screen; End scrolls to the last page,
    // Home to the top, and the list's own handling of these keys follows (it moves the current
    // row); Delete deletes the selected rows.
    QScrollBar* bar = list_->verticalScrollBar();
    const int key = k->key();
    switch (key) {
        case Qt::Key_PageUp:
        case Qt::Key_PageDown: {
            int rowHeight = list_->visualRect(listModel_->index(0, 0)).height();
            if (rowHeight <= 0) rowHeight = std::max(1, list_->sizeHintForRow(0));
            const int rows = std::max(1, list_->viewport()->height() / rowHeight);
            const int sign = key == Qt::Key_PageUp ? -1 : 1;
            bar->setValue(bar->value() + sign * rows * rowHeight);
            if (k->modifiers() & Qt::ShiftModifier) return false;  // the list extends the range
            const QModelIndex cur = list_->currentIndex();
            const int last = listModel_->rowCount() - 1;
            const int row = std::clamp((cur.isValid() ? cur.row() : 0) + sign * rows, 0, last);
            list_->selectionModel()->setCurrentIndex(
                listModel_->index(row, 0),
                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            return true;
        }
        case Qt::Key_End:
            bar->setValue(bar->maximum());
            return false;
        case Qt::Key_Home:
            bar->setValue(0);
            return false;
        case Qt::Key_Delete:
            OnDeleteItems();
            return false;
        default:
            return false;
    }
}

bool CKestrelView::eventFilter(QObject* obj, QEvent* e) {
    if (obj == list_->viewport() &&
        (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseMove ||
         e->type() == QEvent::MouseButtonRelease))
        return HandleDragMouse(true, e);
    if (obj == tree_->viewport() &&
        (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseMove ||
         e->type() == QEvent::MouseButtonRelease))
        return HandleDragMouse(false, e);
    if (e->type() == QEvent::FocusIn) {
        if (obj == tree_) focusSide_ = 0;
        if (obj == list_) focusSide_ = 1;
        // While a worker runs the buttons stay as the busy state set them.
        if ((obj == tree_ || obj == list_) && !Flags().busy)
            CheckAndChangeTreeBtnState(false, true);
    }
    if (e->type() != QEvent::KeyPress) return QWidget::eventFilter(obj, e);
    auto* k = static_cast<QKeyEvent*>(e);
    const bool ctrl = k->modifiers() & Qt::ControlModifier;
    const bool alt = k->modifiers() & Qt::AltModifier;
    if (obj == fEdit_) {
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            TypeNewName(fEdit_->text());
            return true;
        }
        return false;
    }
    if (obj == list_) {
        // While rows are dragged, Page Up and Page Down scroll by 200 pixels.
        if (listDrag_ && (k->key() == Qt::Key_PageUp || k->key() == Qt::Key_PageDown)) {
            QScrollBar* bar = list_->verticalScrollBar();
            bar->setValue(bar->value() + (k->key() == Qt::Key_PageUp ? -200 : 200));
            return true;
        }
        if (ctrl && !alt && k->key() == Qt::Key_A) {
            SelectAllRows();
            return true;
        }
        if ((k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) && curRow_ >= 0) {
            fEdit_->setFocus();
            fEdit_->selectAll();
            return true;
        }
        if (!ctrl && !alt && listModel_->rowCount() > 0) return ListKey(k);
    }
    return QWidget::eventFilter(obj, e);
}

}  // namespace dov
