// Opens the window (offscreen unless QT_QPA_PLATFORM says otherwise), loads one folder under
// its root the way the file selection dialog does, and prints the time from the start of the
// load to the list's first painted rows and the process's peak resident memory.
//
// With --stop MS or --close MS it presses STOP, or closes the window, MS milliseconds into the
// load and prints how long the window took to be idle again, or to be gone.
//
// Usage: window_load FOLDER [--stop MS | --close MS]   (run by bench/window_load_bench.sh)
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <cstdio>
#include <string>

#include "common/codepage.h"
#include "common/fs.h"
#include "shell/filesort.h"
#include "shell/mainframe.h"
#include "shell/qthost.h"
#include "shell/view.h"

namespace {

// Notes the first paint of the list after the load has ended.
// Notes the first event of a type once armed, and ends the event loop.
class EventWatch : public QObject {
  public:
    EventWatch(QElapsedTimer& clock, QEvent::Type type) : clock_(clock), type_(type) {}
    bool armed = false;
    qint64 seenAt = -1;

  protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (armed && e->type() == type_ && seenAt < 0) {
            seenAt = clock_.elapsed();
            QMetaObject::invokeMethod(qApp, &QApplication::quit, Qt::QueuedConnection);
        }
        return QObject::eventFilter(o, e);
    }

  private:
    QElapsedTimer& clock_;
    QEvent::Type type_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: window_load FOLDER [--stop MS | --close MS]\n");
        return 2;
    }
    const std::string mode = argc == 4 ? argv[2] : "";
    const int after = argc == 4 ? std::atoi(argv[3]) : 0;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::string dir = argv[1];
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    const auto slash = dir.rfind('/');
    if (slash == std::string::npos || slash + 1 == dir.size()) {
        std::fprintf(stderr, "window_load: give an absolute folder path\n");
        return 2;
    }
    const auto parent = dov::Utf8ToCp932(slash == 0 ? "/" : dir.substr(0, slash));
    const auto name = dov::Utf8ToCp932(dir.substr(slash + 1));
    if (!parent || !name) return 2;

    dov::CMainFrame frame;
    frame.resize(960, 640);
    frame.show();
    dov::CKestrelView* view = frame.View();
    view->Host()->SetAnswerer([](const QString&, dov::MsgKind kind) {
        return kind == dov::MsgKind::YesNo ? dov::MsgAnswer::No : dov::MsgAnswer::Ok;
    });
    std::vector<dov::EntryInfo> all, picked;
    dov::ListFolderEntries(*parent, all);
    for (auto& e : all)
        if (e.name == *name) picked.push_back(e);
    if (picked.empty()) {
        std::fprintf(stderr, "window_load: %s not found\n", dir.c_str());
        return 1;
    }

    QElapsedTimer clock;
    if (!mode.empty()) {
        // STOP: idle again (busy off); close: the window hidden.
        EventWatch gone(clock, QEvent::Hide);
        frame.installEventFilter(&gone);
        qint64 askedAt = -1, idleAt = -1;
        QObject::connect(view, &dov::CKestrelView::busyChanged, [&](bool busy) {
            if (busy || askedAt < 0 || idleAt >= 0) return;
            idleAt = clock.elapsed();
            if (mode == "--stop")
                QMetaObject::invokeMethod(qApp, &QApplication::quit, Qt::QueuedConnection);
        });
        QTimer::singleShot(after, [&] {
            askedAt = clock.elapsed();
            if (mode == "--stop") {
                view->Button(dov::CKestrelView::kIdStop)->click();
            } else {
                gone.armed = true;
                frame.close();
            }
        });
        clock.start();
        view->LoadEntries(*parent, picked);
        app.exec();
        const qint64 done = mode == "--stop" ? idleAt : gone.seenAt;
        std::printf("window: %s %d ms into the load, acted after %lld ms\n", mode.c_str() + 2,
                    after, static_cast<long long>(done < 0 ? -1 : done - askedAt));
        return done >= 0 ? 0 : 1;
    }

    EventWatch painted(clock, QEvent::Paint);
    view->List()->viewport()->installEventFilter(&painted);
    qint64 loadedAt = -1;
    QObject::connect(view, &dov::CKestrelView::busyChanged, [&](bool busy) {
        if (busy || loadedAt >= 0) return;
        loadedAt = clock.elapsed();
        painted.armed = true;
        view->List()->viewport()->update();
    });
    clock.start();
    view->LoadEntries(*parent, picked);
    app.exec();

    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    std::printf("window: load %lld ms, first rows painted %lld ms, peak RSS %ld MB\n",
                static_cast<long long>(loadedAt), static_cast<long long>(painted.seenAt),
                ru.ru_maxrss / 1024);
    return painted.seenAt >= 0 ? 0 : 1;
}
