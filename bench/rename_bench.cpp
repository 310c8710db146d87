// Direct rename of 100,000 files: the whole engine run (pre-rename dump, depth index, renames,
// path refresh, rename log with its disk check) against a bare loop of renameat2 calls over as
// many files, in one run. Prints both times and their ratio.
//
//   rename_bench [count]     (default 100000; works in a fresh temporary folder)
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/fs.h"
#include "common/paths.h"
#include "common/trace.h"
#include "model/host.h"
#include "model/item.h"
#include "model/loader.h"
#include "rename/depth_info.h"
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

// The engine: load the folder (not timed), give every file a new name, time the run.
double EngineRun(const std::string& base, const std::string& sub, int count, bool trace, int* okOut,
                 double* loopOut) {
    const std::string folder = base + "/" + sub;
    if (!MakeFiles(folder, count)) return -1;
    TimingHost host;
    auto root = MakeRootItem(dov::DefaultTracePath(), false);
    dov::CItemLoader loader(host, dov::DefaultTracePath());
    dov::EntryInfo info;
    if (dov::Fs().Stat(folder, info) != 0) return -1;
    loader.LoadPickedEntries(root.get(), base, {info});
    CMyItem* dir = root->GetSubItem(0);
    if (!dir || static_cast<int>(dir->m_dwNumInFolder) != count) return -1;
    for (int i = 0; i < count; ++i) {
        CMyItem* item = dir->GetSubItem(i);
        item->m_strNewName = "r_" + item->m_strOrgName;
        item->UpdateWriteName();
    }
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

    int ok = 0, okTrace = 0;
    double loop = 0, loopTrace = 0;
    const double engine = EngineRun(base, "engine", count, false, &ok, &loop);
    const double bare = BareRun(base, count);
    const double traced = EngineRun(base, "traced", count, true, &okTrace, &loopTrace);

    std::error_code ec;
    std::filesystem::remove_all(base, ec);
    if (engine < 0 || bare < 0 || traced < 0 || ok != count || okTrace != count) {
        std::fprintf(stderr, "a run failed (engine %.3f, bare %.3f, traced %.3f, renamed %d/%d)\n",
                     engine, bare, traced, ok, okTrace);
        return 1;
    }
    std::printf("files:                         %d\n", count);
    std::printf("bare renameat2 loop:           %.3f s\n", bare);
    std::printf(
        "engine run, trace off:         %.3f s   ratio %.2f   (up to the end of the renames "
        "%.3f s, ratio %.2f)\n",
        engine, engine / bare, loop, loop / bare);
    std::printf(
        "engine run, trace on:          %.3f s   ratio %.2f   (up to the end of the renames "
        "%.3f s, ratio %.2f)\n",
        traced, traced / bare, loopTrace, loopTrace / bare);
    return 0;
}
