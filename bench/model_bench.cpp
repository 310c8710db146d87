// Times of the folder sort and of the save data file on large trees.
//
//   model_bench [files]      (default 100000)
//
// Prints: each column's sort of a folder of `files` files, both directions; the plain
// selection sort on a smaller folder, the fast sort on the same folder and their ratio; saving
// and loading a tree of `files` items.
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "common/trace.h"
#include "model/host.h"
#include "model/item.h"
#include "model/loader.h"
#include "model/parts_array.h"
#include "model/savefile.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

std::string RandomName(std::mt19937& rng) {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_";
    std::string s;
    const int len = 4 + static_cast<int>(rng() % 12);
    for (int i = 0; i < len; ++i) s += kChars[rng() % (sizeof kChars - 1)];
    if (rng() % 4 == 0) s += "\x82\xA0";  // a double-byte character
    return s + ".txt";
}

std::unique_ptr<CMyItem> FolderOfFiles(int n, std::mt19937& rng) {
    auto root = MakeRootItem({}, true);
    for (int i = 0; i < n; ++i) {
        CMyItem* it = root->MakeSubFile();
        it->m_strOrgName = it->m_strNewName = RandomName(rng);
        it->m_findData.nFileSizeLow = rng() % 5000;  // many equal sizes
        it->m_findData.nFileSizeHigh = rng() % 50 == 0 ? 1 : 0;
        it->UpdateWriteName();
    }
    return root;
}

// The plain selection sort by name, ascending, as the reference.
void PlainNameSort(std::vector<CMyItem*>& v) {
    const int n = static_cast<int>(v.size());
    for (int p = 0; p + 1 < n; ++p) {
        int m = p;
        for (int j = p + 1; j < n; ++j) {
            if (dov::CompareNameNoCase(v[j]->m_strNewName, v[m]->m_strNewName) < 0) m = j;
        }
        std::swap(v[p], v[m]);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::atoi(argv[1]) : 100000;
    dov::SetTraceEnabled(false);
    dov::NullHost host;
    std::mt19937 rng(1);

    // ---- sorting ----
    auto folder = FolderOfFiles(n, rng);
    dov::CItemLoader loader(host, {});
    std::printf("Sorting a folder of %d files\n", n);
    const char* names[] = {"new name", "Index", "original name", "size"};
    double worst = 0;
    for (int col = 0; col < 4; ++col) {
        for (int dir = 0; dir < 2; ++dir) {
            const auto t0 = Clock::now();
            loader.SortSubItems(folder.get(), col);
            const double ms = Ms(t0, Clock::now());
            worst = std::max(worst, ms);
            std::printf("  column %d (%-13s) %-10s %8.1f ms\n", col, names[col],
                        dir == 0 ? "ascending" : "descending", ms);
        }
    }
    std::printf("  slowest: %.1f ms\n", worst);

    // ---- the plain selection sort on a smaller folder ----
    const int small = std::min(n, 5000);
    {
        std::mt19937 r2(2);
        auto f1 = FolderOfFiles(small, r2);
        std::vector<CMyItem*> v;
        for (int i = 0; i < small; ++i) v.push_back(f1->m_pArray->GetAt(i));
        const auto t0 = Clock::now();
        PlainNameSort(v);
        const double plain = Ms(t0, Clock::now());
        dov::CItemLoader l2(host, {});
        const auto t1 = Clock::now();
        l2.SortSubItems(f1.get(), dov::kColNewName);
        const double fast = Ms(t1, Clock::now());
        bool same = true;
        for (int i = 0; i < small; ++i) same = same && f1->m_pArray->GetAt(i) == v[i];
        std::printf(
            "Plain selection sort of %d names: %.1f ms; fast sort: %.2f ms; ratio %.1fx%s\n", small,
            plain, fast, fast > 0 ? plain / fast : 0.0, same ? "" : "  (ORDER DIFFERS)");
        const double scale = static_cast<double>(n) / small;
        std::printf("  the plain sort would take about %.0f ms for %d names (n^2)\n",
                    plain * scale * scale, n);
    }

    // ---- save and load ----
    char tmpl[] = "/tmp/dovreth-bench-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    const std::string dir = tmpl;
    {
        auto root = MakeRootItem({}, true);
        const int perFolder = 1000;
        int made = 0;
        while (made < n) {
            CMyItem* sub = root->MakeSubFold();
            ++made;
            for (int i = 0; i < perFolder && made < n; ++i, ++made) {
                CMyItem* it = sub->MakeSubFile();
                it->m_strOrgName = it->m_strNewName = RandomName(rng);
                it->m_strOrgPath = "/home/user/pictures/" + it->m_strOrgName;
                it->m_status.m_szFullName = it->m_strOrgPath;
                it->m_findData.cFileName = it->m_strOrgName;
                it->UpdateWriteName();
            }
        }
        dov::CSaveDataFile save(host, {});
        const std::string path = dir + "/bench.dvt";
        auto t0 = Clock::now();
        const int ok1 = save.SaveAs(*root, path);
        const double saveMs = Ms(t0, Clock::now());
        const auto bytes = std::filesystem::file_size(path);
        std::unique_ptr<CMyItem> loaded = MakeRootItem({}, true);
        t0 = Clock::now();
        const int ok2 = save.Open(loaded, path);
        const double loadMs = Ms(t0, Clock::now());
        std::printf(
            "Save data file of %d items (%.1f MB): save %.1f ms (%s), load %.1f ms (%s, %d "
            "items)\n",
            root->GetTotalItemNum(), bytes / 1e6, saveMs, ok1 ? "ok" : "FAILED", loadMs,
            ok2 ? "ok" : "FAILED", loaded ? loaded->GetTotalItemNum() : 0);
    }
    std::filesystem::remove_all(dir);
    return 0;
}
