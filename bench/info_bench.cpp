// Time to name photos by their Exif date.
//
//   info_bench [photos] [bytes]     (default 10000 photos of 262144 bytes each)
//
// Writes `photos` JPEGs with Exif dates (padded to `bytes` each, as the picture data would make
// them) into a temporary folder, drops them from the page cache, loads the folder and pastes
// "{exif.date:%Y-%m-%d_%H%M%S|mtime}" over every row: cold (nothing cached anywhere), again in
// the same session (the information cache answers), and in a fresh session (the page cache
// warm, the information cache empty). Prints each time and the files read.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "common/codepage.h"
#include "model/host.h"
#include "model/item.h"
#include "session/session.h"
#include "support/info_samples.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

bool WriteCold(const std::string& path, const std::string& data) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = ::write(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size());
    ok = ok && ::fdatasync(fd) == 0;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    return ::close(fd) == 0 && ok;
}

void Run(dov::CSession& s, const char* what) {
    s.ShowFolder(s.Root()->GetSubItem(0));
    s.SelectAll();
    const long long before = s.Info().Reads();
    const auto t0 = Clock::now();
    auto r = s.PasteInfo(dov::InfoPlace::Whole, "{exif.date:%Y-%m-%d_%H%M%S|mtime}");
    const auto t1 = Clock::now();
    std::printf("%-34s %9.1f ms  rows %d  files read %lld  no information %d\n", what, Ms(t0, t1),
                r ? r->iRows : -1, s.Info().Reads() - before, r ? r->iNoInfo : -1);
}

}  // namespace

int main(int argc, char** argv) {
    const int photos = argc > 1 ? std::atoi(argv[1]) : 10000;
    const std::size_t bytes = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 262144;
    char tmpl[] = "/tmp/dovreth-info-bench-XXXXXX";
    if (!::mkdtemp(tmpl)) return 2;
    const std::string dir = tmpl;
    ::setenv("DOVRETH_HOME", dir.c_str(), 1);
    std::filesystem::create_directory(dir + "/photos");
    const auto w0 = Clock::now();
    for (int i = 0; i < photos; ++i) {
        char date[32];
        std::snprintf(date, sizeof date, "2024:05:%02d %02d:%02d:%02d", 1 + i / 1440 % 28,
                      i / 60 % 24, i % 60, i % 60);
        std::string jpeg = dovtest::MakeJpeg({date, "Camera X", 4000, 3000});
        if (jpeg.size() < bytes) jpeg.append(bytes - jpeg.size(), '\0');
        char name[32];
        std::snprintf(name, sizeof name, "/photos/IMG_%05d.jpg", i);
        if (!WriteCold(dir + name, jpeg)) return 2;
    }
    std::printf("wrote %d photos of %zu bytes in %.0f ms\n", photos, bytes, Ms(w0, Clock::now()));
    {
        dov::NullHost host;
        dov::CSession s(host);
        const auto l0 = Clock::now();
        s.LoadPaths({*dov::Utf8ToCp932(dir + "/photos")});
        std::printf("%-34s %9.1f ms\n", "load", Ms(l0, Clock::now()));
        Run(s, "cold (page cache dropped)");
        Run(s, "second run, same session");
        dov::CSession fresh(host);
        fresh.LoadPaths({*dov::Utf8ToCp932(dir + "/photos")});
        Run(fresh, "second run, new session");
    }
    std::filesystem::remove_all(dir);
    return 0;
}
