// Opens the window on a folder (argument 1), shows the folder's first sub-folder and writes a
// picture of the screen to argument 2. For looking at the window under a virtual display.
#include <QApplication>
#include <QFont>
#include <QScreen>
#include <QStyleFactory>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

#include "common/codepage.h"
#include "common/workerflags.h"
#include "shell/filesort.h"
#include "shell/mainframe.h"
#include "shell/qthost.h"
#include "shell/view.h"

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPointSize(9);
    QApplication::setFont(font);
    dov::CMainFrame frame;
    frame.resize(1000, 680);
    frame.move(0, 0);
    frame.show();
    dov::CKestrelView* view = frame.View();
    const std::string dir = argv[1];
    const std::string parent = dir.substr(0, dir.rfind('/'));
    std::vector<dov::EntryInfo> all, picked;
    dov::ListFolderEntries(*dov::Utf8ToCp932(parent), all);
    for (auto& e : all)
        if (e.name == *dov::Utf8ToCp932(dir.substr(dir.rfind('/') + 1))) picked.push_back(e);
    view->LoadEntries(*dov::Utf8ToCp932(parent), picked);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (view->WorkerRunning()) return;
        poll.stop();
        QTreeWidgetItem* root = view->Tree()->topLevelItem(0);
        root->setExpanded(true);
        if (root->childCount() > 0) {
            QTreeWidgetItem* first = root->child(0);
            first->setExpanded(true);
            view->ShowFolderNode(first);
            view->List()->setFocus();
            view->SelectListRow(2);
            view->ShowItem(2);
        }
        QTimer::singleShot(800, [&] {
            QApplication::primaryScreen()->grabWindow(0).save(QString::fromLocal8Bit(argv[2]));
            frame.close();
        });
    });
    poll.start(50);
    return app.exec();
}
