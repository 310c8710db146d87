// Paths that reach the window from outside: the command line at start, and what a second
// start hands over. They wait while a job runs (the undo of a run cut short, a load) or a
// dialog is open, and are loaded once the window is idle: the command line's under the root
// as picked entries, a hand-over like files dropped on the window.
#pragma once

#include <QObject>
#include <QStringList>
#include <deque>

namespace dov {

class CKestrelView;

class CPathInbox : public QObject {
    Q_OBJECT
  public:
    explicit CPathInbox(CKestrelView* view);
    // The window's command line (as given; checked when their turn comes).
    void AddStartPaths(const QStringList& paths);
    // Absolute paths a second start handed over: the window comes to the front, the trace
    // names them, and they are loaded like dropped files.
    void AddHanded(const QStringList& paths);
    bool Pending() const { return !waiting_.empty(); }

  private:
    struct Batch {
        QStringList paths;
        bool handed = false;
    };
    void TryNext();
    CKestrelView* view_;
    std::deque<Batch> waiting_;
    bool posted_ = false;
};

}  // namespace dov
