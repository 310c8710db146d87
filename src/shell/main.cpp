// Dovreth: the window program.
#include <QApplication>
#include <QFont>
#include <QStyleFactory>

#include "shell/app.h"
#include "shell/mainframe.h"

int main(int argc, char** argv) {
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

    dov::CMainFrame frame;
    frame.resize(960, 640);
    frame.show();
    return app.exec();
}
