// Not a test: opens the window on a folder (argument 1), shows the folder's first sub-folder
// and writes pictures of the screen into a folder (argument 2): the window at its start-up,
// minimum and a large size, the output folder chooser, the serial numbering dialog, the colour
// settings, the list of predicted failures and the changes of a rename cut short. For looking
// at the window under a virtual display with a window manager: scripts/screenshots.sh.
#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QFile>
#include <QFont>
#include <QScreen>
#include <QStyleFactory>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <cstdio>
#include <functional>

#include "common/codepage.h"
#include "model/item.h"
#include "session/session.h"
#include "shell/app.h"
#include "shell/commands.h"
#include "shell/conflicts.h"
#include "shell/dragcontrol.h"
#include "shell/filesort.h"
#include "shell/linelistdlg.h"
#include "shell/listmodel.h"
#include "shell/listpane.h"
#include "shell/mainframe.h"
#include "shell/qthost.h"
#include "shell/qttext.h"
#include "shell/settingsdialogs.h"
#include "shell/view.h"
#include "shell/viewmenus.h"

namespace {

QString g_out;

void Wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void Shot(const char* name) {
    const QString path = g_out + QLatin1Char('/') + QLatin1String(name);
    if (!QApplication::primaryScreen()->grabWindow(0).save(path))
        std::fprintf(stderr, "screenshot: cannot write %s\n", qPrintable(path));
    else
        std::printf("%s\n", qPrintable(path));
}

// Runs open, which shows a modal dialog, and pictures the screen while the dialog is up.
void ShotOfModal(const char* name, const std::function<void()>& open) {
    QTimer::singleShot(1000, [name] {
        Shot(name);
        if (QWidget* w = QApplication::activeModalWidget()) w->close();
    });
    open();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: shell_screenshot FOLDER OUTDIR\n");
        return 2;
    }
    QApplication app(argc, argv);
    dov::InstallJapaneseQtTexts(app);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPointSize(9);
    QApplication::setFont(font);
    g_out = QString::fromLocal8Bit(argv[2]);

    dov::CMainFrame frame;
    frame.resize(960, 640);
    frame.move(20, 20);
    frame.show();
    dov::CKestrelView* view = frame.View();
    // The closing question (nothing is saved) gets its default answer.
    view->Host()->SetAnswerer([](const QString&, dov::MsgKind kind) {
        return kind == dov::MsgKind::YesNo ? dov::MsgAnswer::No : dov::MsgAnswer::Ok;
    });
    const std::string dir = argv[1];
    const std::string parent = dir.substr(0, dir.rfind('/'));
    std::vector<dov::EntryInfo> all, picked;
    dov::ListFolderEntries(*dov::Utf8ToCp932(parent), all);
    for (auto& e : all)
        if (e.name == *dov::Utf8ToCp932(dir.substr(dir.rfind('/') + 1))) picked.push_back(e);
    view->LoadEntries(*dov::Utf8ToCp932(parent), picked);
    while (view->WorkerRunning()) Wait(50);

    // The loaded folder open in the tree, and its sub-folder of most rows in the list.
    QTreeWidgetItem* root = view->Form().tree->topLevelItem(0);
    root->setExpanded(true);
    if (root->childCount() > 0) {
        QTreeWidgetItem* loaded = root->child(0);
        loaded->setExpanded(true);
        QTreeWidgetItem* shown = loaded;
        int most = -1;
        for (int i = 0; i < loaded->childCount(); ++i) {
            view->Pane().ShowFolderNode(loaded->child(i));
            if (view->Form().listModel->rowCount() > most) {
                most = view->Form().listModel->rowCount();
                shown = loaded->child(i);
            }
        }
        view->Pane().ShowFolderNode(shown);
        view->Form().list->setFocus();
        view->Pane().SelectListRow(2);
        view->Pane().ShowItem(2);
    }
    Wait(800);
    Shot("1-default.png");
    frame.resize(frame.minimumSize());
    Wait(800);
    Shot("2-minimum.png");
    frame.resize(1500, 950);
    Wait(800);
    Shot("3-large.png");
    frame.resize(960, 640);
    Wait(500);
    ShotOfModal("4-folder-chooser.png",
                [&] { view->FileChoosers().folder(QString::fromLocal8Bit(argv[1])); });
    ShotOfModal("5-serial.png",
                [&] { dov::PrepareListCommand(view, view->Session(), dov::CMD_SERIAL_DETAIL); });
    ShotOfModal("6-colours.png", [&] {
        dov::CColorDlg dlg(view->Prefs().colors, &frame);
        dlg.SetChangedNameColor(view->Prefs().changedNameText);
        dlg.exec();
    });
    // Two rows given new names that are taken on disk: their renames are predicted to fail.
    dov::CSession& session = view->Session();
    if (view->Form().listModel->rowCount() > 4) {
        for (int row : {3, 4}) {
            CMyItem* item = view->Form().listModel->Row(row)->item;
            session.SetNewName(row, dov::Sj("重複_") + item->m_strOrgName);
            const QString taken =
                dov::ToQt(item->m_pParent->m_strOrgPath + "/" + item->m_strWriteName);
            QFile(taken).open(QIODevice::WriteOnly);
        }
        view->Conflicts().Update();
        ShotOfModal("7-failures.png", [&] { view->Conflicts().ShowFailureList(); });
        // A rename of every row: the changes its journal recorded, as the box of a run cut
        // short shows them.
        for (int row = 0; row < view->Form().listModel->rowCount(); ++row)
            session.SetNewName(row, dov::Sj("新_") + view->Form().listModel->Row(row)->orgName);
        view->Host()->SetAnswerer([](const QString&, dov::MsgKind) { return dov::MsgAnswer::Yes; });
        view->OnRename();
        while (view->WorkerRunning()) Wait(50);
        ShotOfModal("8-journal.png", [&] {
            dov::CLineListDlg box(QString::fromUtf8("記録された変更"),
                                  dov::LinesOf(dov::ToQt(session.JournalText())), &frame);
            box.exec();
        });
    }
    frame.close();
    return 0;
}
