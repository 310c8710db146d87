// The session's long operations as jobs: each wraps the operation's call with the job's stop
// token and progress, and gives its outcome and counts as the job's result.
#include <functional>
#include <utility>

#include "session/session.h"

namespace dov {

namespace {

class SessionJob : public CJob {
  public:
    using Body = std::function<void(CSession&, CJob&, CommandResult&)>;
    SessionJob(CSession& s, Body body, std::function<bool(CSession&)> confirm = nullptr)
        : s_(s), body_(std::move(body)), confirm_(std::move(confirm)) {}

    bool Confirm() override { return !confirm_ || confirm_(s_); }

    void Run() override {
        if (ran_) return;  // a job runs once
        ran_ = true;
        CSession::RunningJob running(s_, *this);
        body_(s_, *this, result_);
    }

    // Stopped when STOP came before the work got to its end.
    static void DoneOrStopped(CSession& s, const CJob& job, CommandResult& r) {
        r.outcome = job.StopAsked() || s.flags.stopReq.load() || s.flags.quitReq.load()
                        ? Outcome::Stopped
                        : Outcome::Done;
    }

  protected:
    CSession& s_;

  private:
    Body body_;
    std::function<bool(CSession&)> confirm_;
    bool ran_ = false;
};

// A load counts the entries it reads: its Done() follows the session's counter.
class LoadingJob final : public SessionJob {
  public:
    LoadingJob(CSession& s, std::function<long long(CSession&)> load)
        : SessionJob(s,
                     [this](CSession& s, CJob& job, CommandResult& r) {
                         base_ = s.flags.entriesRead.load();
                         const long long leftBefore = s.LeftOutEntries().count;
                         r.counts.added = load_(s);
                         r.counts.leftOut = s.LeftOutEntries().count - leftBefore;
                         done_ = s.flags.entriesRead.load() - base_;
                         base_ = -1;
                         DoneOrStopped(s, job, r);
                     }),
          load_(std::move(load)) {}

    long long Done() const override {
        const long long base = base_.load();
        return base < 0 ? done_.load() : s_.flags.entriesRead.load() - base;
    }

  private:
    std::function<long long(CSession&)> load_;
    std::atomic<long long> base_{-1};
};

}  // namespace

std::unique_ptr<CJob> CSession::LoadJob(const std::string& diskFolder,
                                        std::vector<std::string> names, CMyItem* under) {
    return std::make_unique<LoadingJob>(
        *this, [diskFolder, names = std::move(names), under](CSession& s) -> long long {
            return s.Load(diskFolder, names, under).added;
        });
}

std::unique_ptr<CJob> CSession::LoadPathsJob(std::vector<std::string> paths) {
    return std::make_unique<LoadingJob>(
        *this, [paths = std::move(paths)](CSession& s) -> long long { return s.LoadPaths(paths); });
}

std::unique_ptr<CJob> CSession::OperationJob(int id) {
    return std::make_unique<SessionJob>(*this, [id](CSession& s, CJob& job, CommandResult& r) {
        r.counts.changed = s.RunListCommand(id);
        SessionJob::DoneOrStopped(s, job, r);
    });
}

std::unique_ptr<CJob> CSession::UndoJob() {
    return std::make_unique<SessionJob>(*this,
                                        [](CSession& s, CJob&, CommandResult& r) { r = s.Undo(); });
}

std::unique_ptr<CJob> CSession::NewJob() {
    return std::make_unique<SessionJob>(
        *this,
        [](CSession& s, CJob&, CommandResult& r) {
            r.outcome = s.New() == 1 ? Outcome::Done : Outcome::Failed;
        },
        [](CSession& s) { return s.ConfirmNew(); });
}

std::unique_ptr<CJob> CSession::OpenJob(const std::string& path) {
    return std::make_unique<SessionJob>(
        *this, [path](CSession& s, CJob&, CommandResult& r) { r.outcome = s.Open(path); });
}

std::unique_ptr<CJob> CSession::SaveJob() {
    return std::make_unique<SessionJob>(
        *this, [](CSession& s, CJob&, CommandResult& r) { r.outcome = s.Save(); });
}

std::unique_ptr<CJob> CSession::SaveAsJob(const std::string& path) {
    return std::make_unique<SessionJob>(
        *this, [path](CSession& s, CJob&, CommandResult& r) { r.outcome = s.SaveAs(path); });
}

std::unique_ptr<CJob> CSession::MacroJob(int fileNum) {
    return std::make_unique<SessionJob>(*this, [fileNum](CSession& s, CJob&, CommandResult& r) {
        r.outcome = s.RunMacroNumberOrFile(fileNum, nullptr, &r.closeAsked);
    });
}

std::unique_ptr<CJob> CSession::SortColumnJob(int column) {
    return std::make_unique<SessionJob>(
        *this, [folder = CurFolder(), column](CSession& s, CJob& job, CommandResult& r) {
            if (folder && s.CurFolder() == folder) s.SortByColumn(column);
            SessionJob::DoneOrStopped(s, job, r);
        });
}

std::unique_ptr<CJob> CSession::SortByJob(ExtraSort order) {
    return std::make_unique<SessionJob>(
        *this, [folder = CurFolder(), order](CSession& s, CJob& job, CommandResult& r) {
            if (folder && s.CurFolder() == folder) s.SortBy(order);
            SessionJob::DoneOrStopped(s, job, r);
        });
}

std::unique_ptr<CJob> CSession::AutoIndexJob(bool on) {
    return std::make_unique<SessionJob>(*this, [on](CSession& s, CJob& job, CommandResult& r) {
        s.SetAutoIndex(on);
        SessionJob::DoneOrStopped(s, job, r);
    });
}

}  // namespace dov
