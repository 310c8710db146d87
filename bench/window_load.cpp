// Opens the window (offscreen unless QT_QPA_PLATFORM says otherwise), loads one folder under
// its root the way the file selection dialog does, and prints the time from the start of the
// load to the list's first painted rows and the process's peak resident memory.
//
// With --stop MS or --close MS it presses STOP, or closes the window, MS milliseconds into a
// job and prints how long the window took to be idle again, or to be gone. The job is the load
// itself, or (--during) a name edit over every row of the loaded folder and everything in it,
// a copy of the whole tree into a new folder, a macro doing the same edit, the direct rename
// of that edit, or the undo of that rename. It also prints when the first message box came
// after STOP (the stop's report), as the user would see it.
//
// Usage: window_load FOLDER [--stop MS | --close MS]
//                    [--during load|edit|copy|macro|rename|undo]
// (bench/window_load_bench.sh runs the load beside dovreth-cli)
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "common/codepage.h"
#include "common/fs.h"
#include "common/paths.h"
#include "session/session.h"
#include "shell/commands.h"
#include "shell/filesort.h"
#include "shell/form.h"
#include "shell/keyworddlg.h"
#include "shell/listpane.h"
#include "shell/mainframe.h"
#include "shell/qthost.h"
#include "shell/view.h"
#include "shell/viewmenus.h"

namespace {

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

void WaitIdle(dov::CKestrelView* view) {
    while (view->WorkerRunning()) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

int Usage() {
    std::fprintf(stderr,
                 "usage: window_load FOLDER [--stop MS | --close MS] "
                 "[--during load|edit|copy|macro|rename|undo]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    std::string mode, during = "load";
    int after = 0;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string opt = argv[i];
        if (opt == "--stop" || opt == "--close") {
            mode = opt.substr(2);
            after = std::atoi(argv[i + 1]);
        } else if (opt == "--during") {
            during = argv[i + 1];
        } else {
            return Usage();
        }
    }
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
    // Questions: Yes while a copy starts (its confirmations), the default otherwise.
    bool answerYes = false;
    QElapsedTimer clock;
    qint64 askedAt = -1, messageAt = -1;
    view->Host()->SetAnswerer([&](const QString&, dov::MsgKind kind) {
        if (askedAt >= 0 && messageAt < 0) messageAt = clock.elapsed();
        if (kind != dov::MsgKind::YesNo) return dov::MsgAnswer::Ok;
        return answerYes ? dov::MsgAnswer::Yes : dov::MsgAnswer::No;
    });
    std::vector<dov::EntryInfo> all, picked;
    dov::ListFolderEntries(*parent, all);
    for (auto& e : all)
        if (e.name == *name) picked.push_back(e);
    if (picked.empty()) {
        std::fprintf(stderr, "window_load: %s not found\n", dir.c_str());
        return 1;
    }

    if (!mode.empty()) {
        std::function<void()> job = [&] { view->LoadEntries(*parent, picked); };
        if (during != "load") {
            view->LoadEntries(*parent, picked);
            WaitIdle(view);
            // Every row of the loaded folder, and with them everything inside.
            QTreeWidgetItem* root = view->Form().tree->topLevelItem(0);
            if (!root || root->childCount() == 0) return 1;
            view->Pane().ShowFolderNode(root->child(0));
            view->Pane().SelectAllRows();
            view->Session().SetIntoFolders(true);
            view->Menus().Dialogs().runDialog = [](QDialog& d) {
                if (auto* k = qobject_cast<dov::CKeyWordDlg*>(&d)) k->KeyEdit(0)->setText("x_");
                d.accept();
                return int(QDialog::Accepted);
            };
            const std::string home = dov::ProgramFolderNative();
            if (during == "edit") {
                job = [&] { view->Commands().Run(dov::CMD_PASTE_LEFT); };
            } else if (during == "copy") {
                const QString out = QString::fromStdString(home + "/copy-out");
                dov::Fs().MakeDir(*dov::Utf8ToCp932(home + "/copy-out"));
                view->FileChoosers().folder = [out](const QString&) { return out; };
                job = [&] {
                    answerYes = true;
                    view->OnCopy();
                };
            } else if (during == "rename" || during == "undo") {
                view->Commands().Run(dov::CMD_PASTE_LEFT);
                WaitIdle(view);
                answerYes = true;
                job = [&] { view->OnRename(); };
                if (during == "undo") {
                    job();
                    WaitIdle(view);
                    job = [&] { view->OnUndo(); };
                }
            } else if (during == "macro") {
                std::ofstream(home + "/DovMac01.txt")
                    << "SelectListAll()\nPasteLeftListString(\"m_\")\n";
                job = [&] { view->CheckAndExeFuncKey(1, {}); };
            } else {
                return Usage();
            }
        }
        // STOP: idle again (busy off); close: the window hidden.
        EventWatch gone(clock, QEvent::Hide);
        frame.installEventFilter(&gone);
        qint64 idleAt = -1;
        bool runningWhenAsked = false;
        QObject::connect(view, &dov::CKestrelView::busyChanged, [&](bool busy) {
            if (busy || askedAt < 0 || idleAt >= 0) return;
            idleAt = clock.elapsed();
            if (mode == "stop")
                QMetaObject::invokeMethod(qApp, &QApplication::quit, Qt::QueuedConnection);
        });
        QTimer::singleShot(after, [&] {
            askedAt = clock.elapsed();
            runningWhenAsked = view->WorkerRunning();
            if (!runningWhenAsked) {
                QApplication::quit();
                return;
            }
            if (mode == "stop") {
                view->Form().Button(dov::CKestrelView::kIdStop)->click();
            } else {
                gone.armed = true;
                frame.close();
            }
        });
        clock.start();
        job();
        app.exec();
        const qint64 done = mode == "stop" ? idleAt : gone.seenAt;
        std::printf(
            "window: %s %d ms into the %s%s, acted after %lld ms, first message after "
            "%lld ms\n",
            mode.c_str(), after, during.c_str(),
            runningWhenAsked ? "" : " (which had ended already)",
            static_cast<long long>(done < 0 ? -1 : done - askedAt),
            static_cast<long long>(messageAt < 0 ? -1 : messageAt - askedAt));
        return done >= 0 ? 0 : 1;
    }

    EventWatch painted(clock, QEvent::Paint);
    view->Form().list->viewport()->installEventFilter(&painted);
    qint64 loadedAt = -1;
    QObject::connect(view, &dov::CKestrelView::busyChanged, [&](bool busy) {
        if (busy || loadedAt >= 0) return;
        loadedAt = clock.elapsed();
        painted.armed = true;
        view->Form().list->viewport()->update();
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
