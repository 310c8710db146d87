// The one worker thread of a window: starts a job body on it with the busy state around it,
// and on the window thread, once the body has ended, joins it, returns to idle and runs the
// job's follow-up. A body that throws is caught on the worker: the failure is traced and
// told to the user, and the window returns to idle like after any other job.
//
// The view runs every lengthy session command through one of these; the file dialog runs its
// sorter through its own.
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace dov {

class CWorkerRunner : public QObject {
    Q_OBJECT
  public:
    // busy: the flag the window's handlers read (set while a body runs and until its follow-up
    // has run). tracePath: where a failed body is traced.
    CWorkerRunner(std::atomic<bool>& busy, std::string tracePath, QObject* parent = nullptr);
    ~CWorkerRunner() override;

    // Runs body on a new thread; after (optional) runs on the window thread once the runner is
    // idle again. false when a body already runs or the thread could not start.
    bool Start(std::function<void()> body, std::function<void()> after = {});
    // Sets (or replaces) the follow-up of the running job.
    void SetAfter(std::function<void()> after) { after_ = std::move(after); }
    bool Running() const { return busy_.load() || thread_.joinable(); }
    // Waits for a running body (at shutdown, after the stop and close requests).
    void Join();

    // How a failure is told to the user (window thread); by default nobody is told.
    std::function<void(const QString& text)> report;

  signals:
    // Around a job: true just before the body starts, false once the runner is idle.
    void busyChanged(bool busy);
    // The body has ended; the runner is about to return to idle.
    void ending();
    // After the job's follow-up.
    void finished();

  private:
    void Done();

    std::atomic<bool>& busy_;
    std::string tracePath_;
    std::thread thread_;
    std::function<void()> after_;
    std::string failure_;  // written by the worker, read after the join
};

}  // namespace dov
