// A tree of a million items through the whole road: built through the model as a load fills it,
// every folder sorted by name and by size, every name edited through the session's list command,
// saved, and opened again.
//
//   scale_bench [items] [files per folder]     (default 1000000 and 1000)
//
// Prints the time of each step and the peak resident memory (VmHWM) after it, per item.
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "common/trace.h"
#include "model/host.h"
#include "model/item.h"
#include "model/loader.h"
#include "model/parts_array.h"
#include "session/session.h"

namespace {

using Clock = std::chrono::steady_clock;

// Peak resident memory of the process so far, in KiB.
long PeakKiB() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

std::string RandomName(std::mt19937& rng) {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_";
    std::string s;
    const int len = 6 + static_cast<int>(rng() % 14);
    for (int i = 0; i < len; ++i) s += kChars[rng() % (sizeof kChars - 1)];
    if (rng() % 3 == 0) s += "\x8E\xCA\x90\x5E";  // two double-byte characters
    return s + ".jpg";
}

// Fills an item as the loader does from a directory listing.
void Fill(CMyItem* it, const std::string& folderPath, const std::string& name, bool folder,
          std::uint64_t size) {
    dov::FindData fd;
    fd.dwFileAttributes = folder ? dov::kAttrDirectory : 0;
    fd.nFileSizeLow = static_cast<std::uint32_t>(size);
    fd.nFileSizeHigh = static_cast<std::uint32_t>(size >> 32);
    fd.cFileName = name;
    dov::FileStatus st;
    st.m_attribute = folder ? dov::kStatusDirectory : 0;
    st.m_size = static_cast<std::int32_t>(static_cast<std::uint32_t>(size));
    st.size64 = size;
    st.m_szFullName = folderPath + "/" + name;
    dov::NullHost host;
    dov::CItemLoader loader(host, {});
    loader.SetItemInfo(fd, folderPath, it, &st);
}

struct Step {
    const char* name;
    Clock::time_point t0 = Clock::now();
    void Done(long items) {
        const double s = std::chrono::duration<double>(Clock::now() - t0).count();
        const long peak = PeakKiB();
        std::printf("  %-34s %8.2f s   peak %7.1f MiB  (%5.0f bytes per item)\n", name, s,
                    peak / 1024.0, items > 0 ? peak * 1024.0 / items : 0.0);
        std::fflush(stdout);
    }
};

long CountItems(CMyItem* f) {
    long n = 0;
    for (std::uint32_t i = 0; i < f->m_dwNumInFolder; ++i) {
        CMyItem* s = f->GetSubItem(static_cast<int>(i));
        ++n;
        if (s->m_bIsFolder) n += CountItems(s);
    }
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    const long total = argc > 1 ? std::atol(argv[1]) : 1000000;
    const int perFolder = argc > 2 ? std::atoi(argv[2]) : 1000;
    dov::SetTraceEnabled(false);
    char tmpl[] = "/tmp/dovreth-scale-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    const std::string dir = tmpl;
    setenv("DOVRETH_HOME", dir.c_str(), 1);
    std::printf("scale_bench: %ld items, %d files per folder\n", total, perFolder);
    std::printf("  %-34s %8s   peak %7.1f MiB before\n", "start", "", PeakKiB() / 1024.0);

    dov::NullHost front;
    dov::CSession session(front);
    std::mt19937 rng(7);
    {
        Step st{"build through the model"};
        CMyItem* root = session.Root();
        long made = 0;
        int folderNo = 0;
        const std::string base = "/home/user/photos";
        while (made < total) {
            CMyItem* folder = root->MakeSubFold();
            if (!folder) break;
            char fname[32];
            std::snprintf(fname, sizeof fname, "album_%05d", folderNo++);
            Fill(folder, base, fname, true, 0);
            ++made;
            const std::string fpath = base + "/" + fname;
            for (int i = 0; i < perFolder && made < total; ++i, ++made) {
                CMyItem* it = folder->MakeSubFile();
                if (!it) break;
                Fill(it, fpath, RandomName(rng), false, rng() % 4000000);
            }
        }
        st.Done(made);
    }
    const long items = CountItems(session.Root());
    CMyItem* root = session.Root();
    dov::NullHost host;
    dov::CItemLoader loader(host, {});
    {
        Step st{"sort every folder by name"};
        for (std::uint32_t i = 0; i < root->m_dwNumInFolder; ++i)
            loader.SortSubItems(root->GetSubItem(static_cast<int>(i)), dov::kColNewName);
        st.Done(items);
    }
    {
        Step st{"sort every folder by size"};
        for (std::uint32_t i = 0; i < root->m_dwNumInFolder; ++i)
            loader.SortSubItems(root->GetSubItem(static_cast<int>(i)), dov::kColSize);
        st.Done(items);
    }
    {
        Step st{"edit: paste a prefix on every row"};
        long changed = 0;
        session.KeyWords().Key1 = "2024_";
        for (std::uint32_t i = 0; i < root->m_dwNumInFolder; ++i) {
            session.ShowFolder(root->GetSubItem(static_cast<int>(i)));
            session.SelectAll();
            changed += session.RunListCommand(dov::CMD_PASTE_LEFT);
        }
        st.Done(items);
        std::printf("    rows changed: %ld\n", changed);
    }
    const std::string save = dir + "/scale.dvt";
    {
        Step st{"save"};
        if (session.SaveAs(save) != dov::Outcome::Done) std::printf("    SAVE FAILED\n");
        st.Done(items);
        std::printf("    file: %.1f MiB\n", std::filesystem::file_size(save) / 1048576.0);
    }
    {
        Step st{"open again"};
        if (session.Open(save) != dov::Outcome::Done) std::printf("    OPEN FAILED\n");
        st.Done(items);
        const long again = CountItems(session.Root());
        std::printf("    items after opening: %ld%s\n", again, again == items ? "" : "  (DIFFERS)");
    }
    std::printf("peak resident memory: %.1f MiB for %ld items, %.0f bytes per item\n",
                PeakKiB() / 1024.0, items, PeakKiB() * 1024.0 / items);
    std::filesystem::remove_all(dir);
    return 0;
}
