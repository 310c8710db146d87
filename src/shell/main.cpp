// Dovreth: the window program.
//   dovreth [PATH]...   start, then load each PATH under the root like picked entries; while
//                       another copy runs, hand the PATHs to its window (none: end silently)
// DOVRETH_QUIT_AFTER_START=1 closes the window the normal way as soon as it has started (a load
// still running is stopped): an installed copy can be checked without anyone at the screen.
#include <QApplication>
#include <QFont>
#include <QMessageBox>
#include <QStyleFactory>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/paths.h"
#include "shell/app.h"
#include "shell/conflicts.h"
#include "shell/instance.h"
#include "shell/mainframe.h"
#include "shell/pathinbox.h"
#include "shell/qthost.h"
#include "shell/view.h"

int main(int argc, char** argv) {
    // A file over the size limit (ulimit -f) fails its write with EFBIG, which is reported,
    // instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    QStringList args;
    for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    // Started as an embedded or automation server: nothing to show here.
    if (dov::IsServerStart(args)) return 0;

    QApplication app(argc, argv);
    // Qt has taken its own options out of the command line by now; the rest are paths.
    const QStringList paths = QCoreApplication::arguments().mid(1);

    dov::SingleInstanceLock lock;
    if (!lock.Acquire()) {
        // Another copy runs: a start without paths ends silently; paths go to that window.
        if (paths.isEmpty() || dov::CInstanceDoor::HandOver(paths)) return 0;
        std::fprintf(stderr, "dovreth: the running window did not take the paths\n");
        return 1;
    }

    QApplication::setApplicationName(QStringLiteral("Dovreth"));
    dov::InstallJapaneseQtTexts(app);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPointSize(9);
    QApplication::setFont(font);
    QApplication::setWindowIcon(dov::ProgramIcon());

    if (const std::string problem = dov::ProgramFolderProblem(); !problem.empty()) {
        std::fprintf(stderr, "dovreth: %s\n", problem.c_str());
        QMessageBox::critical(nullptr, QStringLiteral("Dovreth"), QString::fromStdString(problem));
        return 1;
    }

    dov::CMainFrame frame;
    frame.resize(960, 640);
    frame.show();
    // A window closed while a job ran left the screen at once; the program ends with the job.
    QObject::connect(
        frame.View(), &dov::CKestrelView::closeRequested, &app,
        [&frame] {
            if (frame.isHidden()) QCoreApplication::quit();
        },
        Qt::QueuedConnection);

    // Paths from the command line and from later starts wait until the window is idle.
    auto* inbox = new dov::CPathInbox(frame.View());
    dov::CInstanceDoor door;
    QObject::connect(&door, &dov::CInstanceDoor::pathsHanded, inbox, &dov::CPathInbox::AddHanded);
    door.Open();

    const char* quit = std::getenv("DOVRETH_QUIT_AFTER_START");
    const bool quitAfterStart = quit && *quit && std::string(quit) != "0";
    // What start-up asks is asked once the window stands where it will stay, so the boxes
    // come up over it.
    dov::WhenShown(&frame, [&frame, inbox, paths, quitAfterStart] {
        dov::CKestrelView* view = frame.View();
        // A run cut short is offered first; its undo (on the worker) resets the tree, and the
        // paths are loaded after it.
        if (!quitAfterStart) view->Conflicts().OfferUnfinishedRun();
        inbox->AddStartPaths(paths);
        if (quitAfterStart) frame.close();
    });
    return app.exec();
}
