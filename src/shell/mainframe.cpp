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
#include "shell/commands.h"
#include "shell/conflicts.h"
#include "shell/failurelist.h"
#include "shell/listpane.h"
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
    OnClick(conflictPane_, [this] { view_->Conflicts().ShowFailureList(); });
    statusBar()->addWidget(textPane_, 0);
    statusBar()->addWidget(folderPane_, 1);
    statusBar()->addPermanentWidget(conflictPane_, 0);
    BuildMenus();

    connect(view_, &CKestrelView::closeRequested, this, [this] { close(); });
    connect(&view_->Pane(), &CListPane::currentFolderChanged, this, &CMainFrame::UpdateFolderPane);
    connect(view_, &CKestrelView::busyChanged, this, &CMainFrame::UpdateCommands);
    connect(view_, &CKestrelView::recentFilesChanged, this, &CMainFrame::UpdateRecentFiles);
    connect(view_, &CKestrelView::progressText, textPane_, &QLabel::setText);
    connect(&view_->Conflicts(), &CConflictDisplay::conflictsChanged, this,
            &CMainFrame::UpdateConflictPane);
    UpdateFolderPane();
    UpdateCommands();
}

CMainFrame::~CMainFrame() = default;

QAction* CMainFrame::Action(const char* name) const {
    return findChild<QAction*>(QString::fromLatin1(name));
}

void CMainFrame::BuildMenus() {
    // The frame's own commands; the view gave its own.
    CCommandRegistry& commands = view_->Commands();
    commands.Set(WIN_STATUS_BAR,
                 [this](int) { statusBar()->setVisible(Action("viewStatusBar")->isChecked()); });
    commands.Set(WIN_OPTIONS, [this](int) { OnOptions(); });
    commands.Set(WIN_COLORS, [this](int) { OnColors(); });
    commands.Set(WIN_ABOUT, [this](int) { ShowAboutBox(this); });

    // The menus of the window commands, in the table's order. 元に戻す takes back the last
    // journaled run; the fields keep their own Ctrl+Z, in the tree and the list it is this
    // command. The entries without a command have nothing behind them in this program.
    for (WindowPlace place : {WindowPlace::File, WindowPlace::Edit, WindowPlace::View,
                              WindowPlace::Options, WindowPlace::Help}) {
        QMenu* menu = menuBar()->addMenu(U8(WindowMenuTitle(place)));
        for (const WindowCommand& c : WindowCommands()) {
            if (c.place != place) continue;
            if (c.flags & kSeparatorBefore) menu->addSeparator();
            if (c.flags & kRecentFiles) {
                recentMenu_ = menu->addMenu(U8(c.text));
                recentMenu_->setObjectName(c.name);
                continue;
            }
            QAction* a = menu->addAction(U8(c.text));
            if (c.name) a->setObjectName(c.name);
            if (c.key) a->setShortcut(QKeySequence(c.key));
            if (c.flags & kWidgetShortcut) a->setShortcutContext(Qt::WidgetShortcut);
            if (c.flags & kOnTreeAndList) {
                view_->Form().tree->addAction(a);
                view_->Form().list->addAction(a);
            }
            if (c.flags & kCheckable) {
                a->setCheckable(true);
                a->setChecked(true);
            }
            if (c.id == 0) {
                a->setEnabled(false);
                continue;
            }
            connect(a, c.flags & kCheckable ? &QAction::toggled : &QAction::triggered, this,
                    [this, id = c.id] { view_->Commands().Run(id); });
        }
    }
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
    if (QAction* a = Action("viewFailures")) a->setEnabled(idle && view_->Conflicts().Count() > 0);
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
    const QString text = view_->Pane().CurrentFolderText();
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
        view_->Conflicts().Update();
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
    view_->Pane().ApplyColors();
    view_->Conflicts().Update();
}

void CMainFrame::closeEvent(QCloseEvent* e) {
    if (view_->WorkerRunning()) {
        // Closing while a worker runs: STOP is checked and the end of the worker closes. The
        // window goes from the screen at once; what the job still writes (its log) it writes
        // unseen, and it shows no more boxes.
        view_->Form().Button(CKestrelView::kIdStop)->setChecked(true);
        view_->Flags().quitReq = true;
        hide();
        e->ignore();
        return;
    }
    e->accept();
}

}  // namespace dov
