#include "shell/mainframe.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTreeView>
#include <QTreeWidget>

#include "common/workerflags.h"
#include "model/item.h"
#include "session/session.h"
#include "shell/app.h"
#include "shell/failurelist.h"
#include "shell/qthost.h"
#include "shell/qttext.h"
#include "shell/settingsdialogs.h"
#include "shell/view.h"

namespace dov {

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(U8("Dovreth Version 2.65"));
    setWindowIcon(ProgramIcon());
    setMinimumSize(640, 430);

    view_ = new CKestrelView(this);
    setCentralWidget(view_);
    optionDlg_ = new COptionDlg(this);
    optionDlg_->m_iAutoSerialNum = view_->Prefs().autoSerialNum ? 1 : 0;
    optionDlg_->m_iEffectSubItem = view_->Session().KeyWords().EffectSubItem ? 1 : 0;
    optionDlg_->m_iAllowLinuxNames = view_->Prefs().allowLinuxNames ? 1 : 0;

    textPane_ = new QLabel(this);
    textPane_->setMinimumWidth(30);
    folderPane_ = new QLabel(U8("ROOT"), this);
    folderPane_->setObjectName("folderPane");
    conflictPane_ = new QLabel(this);
    conflictPane_->setObjectName("conflictPane");
    conflictPane_->setToolTip(U8("クリックすると失敗の予測の一覧を表示します"));
    OnClick(conflictPane_, [this] { view_->ShowFailureList(); });
    statusBar()->addWidget(textPane_, 0);
    statusBar()->addWidget(folderPane_, 1);
    statusBar()->addPermanentWidget(conflictPane_, 0);
    BuildMenus();

    connect(view_, &CKestrelView::closeRequested, this, [this] { close(); });
    connect(view_, &CKestrelView::currentFolderChanged, this, &CMainFrame::UpdateFolderPane);
    connect(view_, &CKestrelView::busyChanged, this, &CMainFrame::UpdateCommands);
    connect(view_, &CKestrelView::recentFilesChanged, this, &CMainFrame::UpdateRecentFiles);
    connect(view_, &CKestrelView::progressText, textPane_, &QLabel::setText);
    connect(view_, &CKestrelView::conflictsChanged, this, &CMainFrame::UpdateConflictPane);
    UpdateFolderPane();
    UpdateCommands();
}

CMainFrame::~CMainFrame() = default;

QAction* CMainFrame::Action(const char* name) const {
    return findChild<QAction*>(QString::fromLatin1(name));
}

void CMainFrame::BuildMenus() {
    auto act = [this](QMenu* m, const char* text, const char* name, QKeySequence key = {}) {
        QAction* a = m->addAction(U8(text));
        a->setObjectName(name);
        if (!key.isEmpty()) a->setShortcut(key);
        return a;
    };
    QMenu* file = menuBar()->addMenu(U8("ﾌｧｲﾙ(&F)"));
    QAction* newAct = act(file, "新規作成(&N)", "fileNew", QKeySequence(Qt::CTRL | Qt::Key_N));
    QAction* openAct = act(file, "開く(&O)...", "fileOpen", QKeySequence(Qt::CTRL | Qt::Key_O));
    QAction* saveAct = act(file, "上書き保存(&S)", "fileSave", QKeySequence(Qt::CTRL | Qt::Key_S));
    QAction* saveAsAct = act(file, "名前を付けて保存(&A)...", "fileSaveAs");
    connect(openAct, &QAction::triggered, view_, &CKestrelView::OnOpen);
    connect(saveAct, &QAction::triggered, view_, &CKestrelView::OnSave);
    connect(saveAsAct, &QAction::triggered, view_, &CKestrelView::OnSaveAs);
    file->addSeparator();
    recentMenu_ = file->addMenu(U8("最近使ったﾌｧｲﾙ"));
    recentMenu_->setObjectName("recentFiles");
    file->addSeparator();
    QAction* exitAct = act(file, "ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)", "fileExit");
    connect(newAct, &QAction::triggered, view_, &CKestrelView::NewTree);
    connect(exitAct, &QAction::triggered, view_, &CKestrelView::OnClose);

    // 元に戻す takes back the last journaled run; the other standard entries have nothing
    // behind them in this program.
    QMenu* edit = menuBar()->addMenu(U8("編集(&E)"));
    QAction* undo = act(edit, "元に戻す(&U)", "editUndo", QKeySequence(Qt::CTRL | Qt::Key_Z));
    // The fields keep their own Ctrl+Z; in the tree and the list it is this command.
    undo->setShortcutContext(Qt::WidgetShortcut);
    view_->Tree()->addAction(undo);
    view_->List()->addAction(undo);
    connect(undo, &QAction::triggered, view_, &CKestrelView::OnUndo);
    for (auto [text, key] : {std::pair{"切り取り(&T)", QKeySequence(Qt::CTRL | Qt::Key_X)},
                             std::pair{"ｺﾋﾟｰ(&C)", QKeySequence(Qt::CTRL | Qt::Key_C)},
                             std::pair{"貼り付け(&P)", QKeySequence(Qt::CTRL | Qt::Key_V)}}) {
        QAction* a = edit->addAction(U8(text));
        a->setShortcut(key);
        a->setShortcutContext(Qt::WidgetShortcut);  // the fields keep their own keys
        a->setEnabled(false);
    }

    QMenu* viewMenu = menuBar()->addMenu(U8("表示(&V)"));
    QAction* toolBar = viewMenu->addAction(U8("ﾂｰﾙ ﾊﾞｰ(&T)"));
    toolBar->setEnabled(false);
    QAction* status = act(viewMenu, "ｽﾃｰﾀｽ ﾊﾞｰ(&S)", "viewStatusBar");
    status->setCheckable(true);
    status->setChecked(true);
    connect(status, &QAction::toggled, statusBar(), &QStatusBar::setVisible);
    QAction* failures = act(viewMenu, "失敗の予測の一覧", "viewFailures");
    connect(failures, &QAction::triggered, view_, &CKestrelView::ShowFailureList);

    QMenu* options = menuBar()->addMenu(U8("オプション(&M)"));
    connect(act(options, "動作設定", "options"), &QAction::triggered, this, &CMainFrame::OnOptions);
    connect(act(options, "色の設定", "colors"), &QAction::triggered, this, &CMainFrame::OnColors);

    QMenu* help = menuBar()->addMenu(U8("ﾍﾙﾌﾟ(&H)"));
    connect(act(help, "Dovreth のﾊﾞｰｼﾞｮﾝ情報(&A)...", "about"), &QAction::triggered, this,
            [this] { ShowAboutBox(this); });
    UpdateRecentFiles();
}

void CMainFrame::UpdateCommands() {
    const bool idle = !view_->WorkerRunning();
    for (const char* n : {"fileNew", "fileOpen", "fileSave", "fileSaveAs", "fileExit"})
        if (QAction* a = Action(n)) a->setEnabled(idle);
    // Live once a run has been journaled.
    if (QAction* a = Action("editUndo"))
        a->setEnabled(idle && view_->Session().LastJournal().changes > 0);
    if (recentMenu_) recentMenu_->setEnabled(idle);
    if (QAction* a = Action("viewFailures")) a->setEnabled(idle && view_->ConflictCount() > 0);
}

void CMainFrame::UpdateRecentFiles() {
    recentMenu_->clear();
    const auto& files = view_->Prefs().recentFiles;
    if (files.empty()) {
        recentMenu_->addAction(U8("(なし)"))->setEnabled(false);
        return;
    }
    int i = 1;
    for (const auto& f : files) {
        const QString path = ToQt(f);
        QAction* a = recentMenu_->addAction(QStringLiteral("&%1 %2").arg(i++).arg(path));
        connect(a, &QAction::triggered, view_, [this, path] { view_->OpenRecentFile(path); });
    }
}

void CMainFrame::UpdateConflictPane(int count) {
    conflictPane_->setText(count > 0 ? U8("失敗の予測: %1").arg(count) : QString());
    UpdateCommands();
}

void CMainFrame::UpdateFolderPane() {
    const QString text = view_->CurrentFolderText();
    if (!text.isEmpty()) folderPane_->setText(text);
}

void CMainFrame::OnOptions() {
    if (view_->WorkerRunning()) return;
    if (runOptionDialog)
        runOptionDialog(*optionDlg_);
    else
        optionDlg_->exec();
    // Either button: the view takes the dialog object's values.
    CSession& session = view_->Session();
    session.SetIntoFolders(optionDlg_->m_iEffectSubItem != 0);
    if ((session.settings.allowLinuxNames != 0) != (optionDlg_->m_iAllowLinuxNames != 0)) {
        session.settings.allowLinuxNames = optionDlg_->m_iAllowLinuxNames;
        CMyItem::SetAllowLinuxNames(optionDlg_->m_iAllowLinuxNames != 0);
        view_->UpdateConflicts();
    }
    const bool want = optionDlg_->m_iAutoSerialNum != 0;
    const bool applied = session.Root() && session.Root()->m_bNoAutoIndex == 0;
    if (want == applied) {
        session.settings.autoSerialNum = want ? 1 : 0;
        return;
    }
    view_->SwitchAutoIndex(want);
}

void CMainFrame::OnColors() {
    CColorDlg dlg(view_->Prefs().colors, this);
    dlg.SetChangedNameColor(view_->Prefs().changedNameText);
    if (dlg.exec() != QDialog::Accepted) return;
    view_->Prefs().colors = dlg.Colors();
    view_->Prefs().changedNameText = dlg.ChangedNameColor();
    view_->ApplyColors();
    view_->UpdateConflicts();
}

void CMainFrame::closeEvent(QCloseEvent* e) {
    if (view_->WorkerRunning()) {
        // Closing while a worker runs: STOP is checked and the end of the worker closes. The
        // window goes from the screen at once; what the job still writes (its log) it writes
        // unseen, and it shows no more boxes.
        view_->Button(CKestrelView::kIdStop)->setChecked(true);
        view_->Flags().quitReq = true;
        hide();
        e->ignore();
        return;
    }
    e->accept();
}

}  // namespace dov
