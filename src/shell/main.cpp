// Dovreth: the window program.
//   dovreth [PATH]...   start, then load each PATH under the root like picked entries
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
#include "shell/mainframe.h"
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

    dov::SingleInstanceLock lock;
    if (!lock.Acquire()) return 0;  // another copy runs: end silently

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Dovreth"));
    dov::InstallJapaneseQtTexts(app);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPointSize(9);
    QApplication::setFont(font);

    if (const std::string problem = dov::ProgramFolderProblem(); !problem.empty()) {
        std::fprintf(stderr, "dovreth: %s\n", problem.c_str());
        QMessageBox::critical(nullptr, QStringLiteral("Dovreth"), QString::fromStdString(problem));
        return 1;
    }

    dov::CMainFrame frame;
    frame.resize(960, 640);
    frame.show();

    // Qt has taken its own options out of the command line by now; the rest are paths.
    const QStringList paths = QCoreApplication::arguments().mid(1);
    const char* quit = std::getenv("DOVRETH_QUIT_AFTER_START");
    const bool quitAfterStart = quit && *quit && std::string(quit) != "0";
    QTimer::singleShot(0, &frame, [&frame, paths, quitAfterStart] {
        dov::CKestrelView* view = frame.View();
        // A run cut short is offered first; its undo (on the worker) resets the tree, so the
        // paths are loaded only when nothing was started.
        if (view && !quitAfterStart) view->OfferUnfinishedRun();
        if (!paths.isEmpty() && view && !view->WorkerRunning()) {
            std::string problem;
            std::vector<std::string> load = dov::StartPaths(paths, problem);
            if (!problem.empty())
                view->Host()->Message(problem, dov::MsgKind::Ok, dov::MsgIcon::Warning, {});
            else
                view->LoadPaths(std::move(load));
        }
        if (quitAfterStart) frame.close();
    });
    return app.exec();
}
