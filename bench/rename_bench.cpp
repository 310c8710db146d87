// Direct rename of 100,000 files: the whole engine run (pre-rename dump, depth index, renames,
// path refresh, rename log with its disk check) against a bare loop of renameat2 calls over as
// many files, in one run. Prints both times and their ratio; then the cost of the safety net
// (the conflict preview before the run and the journal written during it) against the same
// engine run without it, in CPU time, each the best of three.
//
// With --stop it times STOP instead: the run (with its journal) is stopped after 300 items,
// and the time from the stop to the first message the user sees is printed, best of three.
//
//   rename_bench [count] [--safety-net | --stop]   (default 100000; works in a fresh temporary
//                                                  folder; --safety-net: only the safety-net
//                                                  comparison)
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/fs.h"
#include "common/paths.h"
#include "common/trace.h"
#include "model/host.h"
#include "model/item.h"
#include "model/loader.h"
#include "rename/conflict_preview.h"
#include "rename/depth_info.h"
#include "rename/journal.h"
#include "rename/rename_engine.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

std::string Name(int i) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "file_%06d.dat", i);
    return buf;
}

bool MakeFiles(const std::string& folder, int count) {
    std::filesystem::create_directories(folder);
    for (int i = 0; i < count; ++i) {
        int fd = ::open((folder + "/" + Name(i)).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0) return false;
        ::close(fd);
    }
    return true;
}

// Notes when the renaming loop has handled its last item (the log comes after it).
class TimingHost : public dov::NullHost {
  public:
    Clock::time_point loopEnd{};
    void Progress(long long done, long long total) override {
        if (done == total) loopEnd = Clock::now();
    }
};

// STOP asked for after a number of items; notes when, and when the first message came.
class StopHost : public dov::NullHost {
  public:
    explicit StopHost(int after) : after_(after) {}
    Clock::time_point stoppedAt{}, toldAt{};
    bool StopRequested() override {
        if (polls_ < after_ && ++polls_ == after_) stoppedAt = Clock::now();
        return polls_ >= after_;
    }
    dov::MsgAnswer Message(const std::string& text, dov::MsgKind kind, dov::MsgIcon icon,
                           const std::string& caption) override {
        if (toldAt == Clock::time_point{}) toldAt = Clock::now();
        return NullHost::Message(text, kind, icon, caption);
    }

  private:
    int after_, polls_ = 0;
};

// The engine: load the folder (not timed), give every file a new name, time the run.
// Makes `count` files in base/sub and loads the folder under a fresh root with a new name
// ("r_" + its name) for every file; null when any of it fails.
std::unique_ptr<CMyItem> LoadRenamed(const std::string& base, const std::string& sub, int count,
                                     TimingHost& host) {
    const std::string folder = base + "/" + sub;
    if (!MakeFiles(folder, count)) return nullptr;
    auto root = MakeRootItem(dov::DefaultTracePath(), false);
    dov::CItemLoader loader(host, dov::DefaultTracePath());
    dov::EntryInfo info;
    if (!root || dov::Fs().Stat(folder, info) != 0) return nullptr;
    loader.LoadPickedEntries(root.get(), base, {info});
    CMyItem* dir = root->GetSubItem(0);
    if (!dir || static_cast<int>(dir->m_dwNumInFolder) != count) return nullptr;
    for (int i = 0; i < count; ++i) {
        CMyItem* item = dir->GetSubItem(i);
        item->m_strNewName = "r_" + item->m_strOrgName;
        item->UpdateWriteName();
    }
    return root;
}

double EngineRun(const std::string& base, const std::string& sub, int count, bool trace, int* okOut,
                 double* loopOut) {
    TimingHost host;
    auto root = LoadRenamed(base, sub, count, host);
    if (!root) return -1;
    dov::SetTraceEnabled(trace);
    CMyDepthInfo depth;
    dov::CRenameRun run(root.get(), depth, host);
    const auto t0 = Clock::now();
    const int r = run.RenameItemBySort();
    const auto t1 = Clock::now();
    dov::SetTraceEnabled(true);
    *okOut = static_cast<int>(run.m_iRenameOkNum);
    *loopOut = Seconds(t0, host.loopEnd);
    return r == 0 ? Seconds(t0, t1) : -1;
}

// CPU time of this thread: on a loaded machine the wall clock mostly measures the others.
double CpuNow() {
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// The journal, with the CPU time spent in it counted.
class TimedJournal : public dov::IRenameWatcher {
  public:
    dov::CJournalWriter journal{dov::JournalPath(), "rename"};
    double cpu = 0;
    template <class Fn>
    auto Timed(Fn fn) {
        const double t = CpuNow();
        auto r = fn();
        cpu += CpuNow() - t;
        return r;
    }
    bool RunStarting(const dov::DiskScope& scope) override {
        return Timed([&] { return journal.RunStarting(scope); });
    }
    bool FolderCreating(const std::string& p) override {
        return Timed([&] { return journal.FolderCreating(p); });
    }
    bool EntryRenaming(const std::string& a, const std::string& b,
                       const dov::EntryId& id) override {
        return Timed([&] { return journal.EntryRenaming(a, b, id); });
    }
    void ChangeFailed(int e) override {
        Timed([&] { return journal.ChangeFailed(e), 0; });
    }
    void RunEnded() override {
        Timed([&] { return journal.RunEnded(), 0; });
    }
    std::size_t BlockSize() const override { return journal.BlockSize(); }
    std::size_t StepsAnnounced() const override { return journal.StepsAnnounced(); }
    bool QueueRenaming(const std::string& a, const std::string& b,
                       const dov::EntryId& id) override {
        return Timed([&] { return journal.QueueRenaming(a, b, id); });
    }
    bool FlushAhead() override {
        return Timed([&] { return journal.FlushAhead(); });
    }
    void StepFailed(std::size_t step, int e) override {
        Timed([&] { return journal.StepFailed(step, e), 0; });
    }
};

struct SafetyTimes {
    double wall = -1, cpu = 0, previewCpu = 0, journalCpu = 0;
};

// The engine run (trace off) on a fresh folder, with or without the preview and the journal.
SafetyTimes SafetyRun(const std::string& base, const std::string& sub, int count, bool safe) {
    SafetyTimes t;
    TimingHost host;
    auto root = LoadRenamed(base, sub, count, host);
    if (!root) return t;
    dov::SetTraceEnabled(false);
    CMyDepthInfo depth;
    dov::CRenameRun run(root.get(), depth, host);
    TimedJournal journal;
    if (safe) run.SetWatcher(&journal);
    const auto w0 = Clock::now();
    const double c0 = CpuNow();
    bool ok = true;
    if (safe) {
        ok = dov::PredictConflicts(root.get()).failures.empty();
        t.previewCpu = CpuNow() - c0;
    }
    ok = ok && run.RenameItemBySort() == 0 && static_cast<int>(run.m_iRenameOkNum) == count;
    t.cpu = CpuNow() - c0;
    const auto w1 = Clock::now();
    dov::SetTraceEnabled(true);
    t.journalCpu = journal.cpu;
    if (ok) t.wall = Seconds(w0, w1);
    return t;
}

// Seconds from STOP to the first message of a journaled run stopped after 300 items.
double StopRun(const std::string& base, const std::string& sub, int count) {
    TimingHost loading;
    auto root = LoadRenamed(base, sub, count, loading);
    if (!root) return -1;
    StopHost host(300);
    CMyDepthInfo depth;
    dov::CRenameRun run(root.get(), depth, host);
    dov::CJournalWriter journal(dov::JournalPath(), "rename");
    run.SetWatcher(&journal);
    if (run.RenameItemBySort() != -1 || run.m_iNotAttemptedNum == 0) return -1;
    return Seconds(host.stoppedAt, host.toldAt);
}

double BareRun(const std::string& base, int count) {
    const std::string folder = base + "/bare";
    if (!MakeFiles(folder, count)) return -1;
    std::vector<std::string> from, to;
    from.reserve(count);
    to.reserve(count);
    for (int i = 0; i < count; ++i) {
        from.push_back(folder + "/" + Name(i));
        to.push_back(folder + "/r_" + Name(i));
    }
    const auto t0 = Clock::now();
    for (int i = 0; i < count; ++i) {
        if (::renameat2(AT_FDCWD, from[i].c_str(), AT_FDCWD, to[i].c_str(), RENAME_NOREPLACE) != 0)
            return -1;
    }
    const auto t1 = Clock::now();
    return Seconds(t0, t1);
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    std::string tmpl = (std::filesystem::temp_directory_path() / "dovreth-bench-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string base = tmpl;
    std::filesystem::create_directories(base + "/home");
    ::setenv("DOVRETH_HOME", (base + "/home").c_str(), 1);
    dov::ResetProgramFolderForTest();

    if (argc > 2 && std::string(argv[2]) == "--stop") {
        double best = 1e9;
        for (int round = 0; round < 3; ++round) {
            const double t = StopRun(base, "stop" + std::to_string(round), count);
            if (t < 0) {
                std::fprintf(stderr, "a stopped run failed\n");
                return 1;
            }
            best = std::min(best, t);
        }
        std::error_code ec;
        std::filesystem::remove_all(base, ec);
        std::printf("files:                         %d\n", count);
        std::printf("STOP after 300 items to the first message: %.3f s (best of three)\n", best);
        return 0;
    }

    int ok = 0, okTrace = 0;
    double loop = 0, loopTrace = 0;
    const bool safetyOnly = argc > 2 && std::string(argv[2]) == "--safety-net";
    const double engine = safetyOnly ? 1 : EngineRun(base, "engine", count, false, &ok, &loop);
    const double bare = safetyOnly ? 1 : BareRun(base, count);
    const double traced =
        safetyOnly ? 1 : EngineRun(base, "traced", count, true, &okTrace, &loopTrace);
    if (safetyOnly) ok = okTrace = count;

    // Alternating, three of each; the best of each kind counts.
    SafetyTimes plain, safe;
    plain.cpu = safe.cpu = 1e9;
    for (int round = 0; round < 3; ++round) {
        const std::string k = std::to_string(round);
        const SafetyTimes a = SafetyRun(base, "plain" + k, count, false);
        const SafetyTimes b = SafetyRun(base, "safe" + k, count, true);
        if (a.wall < 0 || b.wall < 0) {
            std::fprintf(stderr, "a safety-net run failed\n");
            return 1;
        }
        if (a.cpu < plain.cpu) plain = a;
        if (b.cpu < safe.cpu) safe = b;
    }

    std::error_code ec;
    std::filesystem::remove_all(base, ec);
    if (engine < 0 || bare < 0 || traced < 0 || ok != count || okTrace != count) {
        std::fprintf(stderr, "a run failed (engine %.3f, bare %.3f, traced %.3f, renamed %d/%d)\n",
                     engine, bare, traced, ok, okTrace);
        return 1;
    }
    std::printf("files:                         %d\n", count);
    if (!safetyOnly) {
        std::printf("bare renameat2 loop:           %.3f s\n", bare);
        std::printf(
            "engine run, trace off:         %.3f s   ratio %.2f   (up to the end of the renames "
            "%.3f s, ratio %.2f)\n",
            engine, engine / bare, loop, loop / bare);
        std::printf(
            "engine run, trace on:          %.3f s   ratio %.2f   (up to the end of the renames "
            "%.3f s, ratio %.2f)\n",
            traced, traced / bare, loopTrace, loopTrace / bare);
    }
    std::printf("safety net, CPU time of the run (best of three; wall clock in brackets):\n");
    std::printf("  engine run, trace off:          %.3f s  (%.3f s)\n", plain.cpu, plain.wall);
    std::printf("  with preview and journal:       %.3f s  (%.3f s)   %+.1f %%\n", safe.cpu,
                safe.wall, (safe.cpu / plain.cpu - 1) * 100);
    std::printf("  of which the preview:           %.3f s   %.1f %% of the plain run\n",
                safe.previewCpu, safe.previewCpu / plain.cpu * 100);
    std::printf("  of which the journal:           %.3f s   %.1f %% of the plain run\n",
                safe.journalCpu, safe.journalCpu / plain.cpu * 100);
    return 0;
}
