// The window's side of the host interface.
//
// Operations call the host from the window thread or from the one worker thread. Everything
// that reaches a widget is carried to the window thread: a worker's notifications are gathered
// in order (a run of row changes as one entry) and handed over by one queued delivery at a
// time, so a job over 100,000 rows does not leave the window one event per row to work through
// before it sees STOP or its close; a message box is a blocking queued call, so the asking
// worker (never the window) waits for the answer. Whatever a notification needs from the items
// is read on the calling thread, where the caller owns the tree at that moment, so the window
// never reads items a worker may be changing.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "model/host.h"
#include "shell/form.h"
#include "shell/listmodel.h"

class CMyItem;

namespace dov {

struct WorkerFlags;

class QtHost : public QObject, public IHost {
    Q_OBJECT
  public:
    QtHost(QWidget* window, WorkerFlags* flags, QObject* parent = nullptr);

    MsgAnswer Message(const std::string& text, MsgKind kind, MsgIcon icon,
                      const std::string& caption) override;
    bool StopRequested() override;
    bool QuitRequested() override;
    void TreeFolderAdded(CMyItem* folder) override;
    void TreeFolderRemoved(CMyItem* folder) override;
    void TreeFolderChanged(CMyItem* folder) override;
    void ListShowFolder(CMyItem* folder) override;
    void ListRowChanged(int row) override;
    void ItemFieldsChanged(CMyItem* item) override;
    void Progress(long long done, long long total) override;
    std::string UndoHint() const override;

    // The window thread's message box (also used by the window for its own messages).
    // UTF-8 or already converted text.
    MsgAnswer Ask(const QString& text, MsgKind kind, MsgIcon icon = MsgIcon::None,
                  const QString& caption = {});

    // A box of the window's own (a long list, the predicted failures): recorded like a
    // message, answered by the test answerer when one is set (as an OK box), otherwise shown by
    // `show` on the window thread.
    void ShowBox(const QString& record, const std::function<void()>& show);

    // For tests: answer message boxes instead of showing them. The answerer runs on the window
    // thread and gets the text as the user would read it. Every message (answered by the
    // answerer or by the user) is recorded.
    using Answerer = std::function<MsgAnswer(const QString& text, MsgKind kind)>;
    void SetAnswerer(Answerer answerer) { answerer_ = std::move(answerer); }
    const std::vector<QString>& Messages() const { return messages_; }
    void ClearMessages() { messages_.clear(); }

    // For tests: hooks that run on the calling thread (the worker) at each poll of STOP, before
    // the flags are read, and at each progress step, so that a test can act at a known point
    // of a long operation. Set them while no worker runs.
    using StopPollHook = std::function<void()>;
    using ProgressHook = std::function<void(long long done, long long total)>;
    void SetStopPollHook(StopPollHook hook) { stopPollHook_ = std::move(hook); }
    void SetProgressHook(ProgressHook hook) { progressHook_ = std::move(hook); }

    // The last progress step of the running worker (the window's timer reads them).
    long long ProgressDone() const { return progressDone_.load(std::memory_order_relaxed); }
    long long ProgressTotal() const { return progressTotal_.load(std::memory_order_relaxed); }
    void ResetProgress();

    // At shutdown: questions get their default answer at once, so a worker that is being
    // joined cannot wait for a window that no longer answers.
    void SetShuttingDown() { shuttingDown_ = true; }
    void SetFlags(WorkerFlags* flags) { flags_ = flags; }

    // The folder whose rows the list shows (for ListRowChanged); set on the window thread by
    // the view and by ListShowFolder.
    void SetShownFolder(CMyItem* folder) { shownFolder_ = folder; }

    // Window thread: hands over every notification a worker has made so far, in order (the
    // view calls it when a worker has ended, before the job's follow-up).
    void DeliverNotes() { Deliver(-1); }

  signals:
    void treeFolderAdded(CMyItem* folder, CMyItem* parent, QString label);
    void treeFolderRemoved(CMyItem* folder);
    void treeFolderChanged(CMyItem* folder, QString label);
    void listShowFolder(CMyItem* folder, std::vector<dov::ListRow> rows);
    // Rows of folder changed (several at once when a worker changed them).
    void listRowsChanged(CMyItem* folder, std::vector<dov::RowUpdate> rows);
    void itemFieldsChanged(dov::ItemFields fields);

  private:
    bool OnWindowThread() const;
    void Post(std::function<void()> f);
    // Window thread: runs the gathered notifications in order; with budgetMs >= 0 it stops
    // after that long and leaves the rest to a new delivery, so input is seen in between.
    void Deliver(qint64 budgetMs);
    void PostDeliveryLocked();

    // A notification from the worker: a call, or a run of row changes of one folder.
    struct Note {
        std::function<void()> call;
        CMyItem* folder = nullptr;
        std::vector<RowUpdate> rows;
    };
    std::mutex notesMutex_;
    std::vector<Note> notes_;      // guarded by notesMutex_
    bool deliveryPosted_ = false;  // guarded by notesMutex_
    bool delivering_ = false;      // window thread only

    QPointer<QWidget> window_;
    WorkerFlags* flags_;
    Answerer answerer_;
    StopPollHook stopPollHook_;
    ProgressHook progressHook_;
    std::vector<QString> messages_;
    std::atomic<bool> shuttingDown_{false};
    std::atomic<long long> progressDone_{0};
    std::atomic<long long> progressTotal_{0};
    std::atomic<CMyItem*> shownFolder_{nullptr};
};

}  // namespace dov
