#include "edit/info_sort.h"

#include <algorithm>
#include <ctime>
#include <numeric>
#include <vector>

#include "edit/name_edit.h"
#include "model/item.h"

namespace dov {

namespace {

// Seconds of a local wall-clock time as if it were UTC: Exif dates carry no zone, so the
// modification time is brought to the same footing.
std::int64_t WallClock(const InfoSource& src) {
    std::tm tm{};
    const std::string* d = src.file ? src.file->Find("exif.date") : nullptr;
    if (!(d && ParseExifDate(*d, tm))) {
        if (!src.hasMtime) return INT64_MIN;
        const time_t t = static_cast<time_t>(src.mtime);
        if (!localtime_r(&t, &tm)) return INT64_MIN;
    }
    return static_cast<std::int64_t>(timegm(&tm));
}

}  // namespace

bool SortByDateTaken(CMyItem* pFolder, InfoCache& cache, IHost& host, bool descending) {
    if (!pFolder || !pFolder->m_bIsFolder) return false;
    const int n = static_cast<int>(pFolder->m_dwNumInFolder);
    const auto stop = [&] { return host.StopRequested() || host.QuitRequested(); };
    std::vector<CMyItem*> items(static_cast<std::size_t>(n));
    std::vector<std::int64_t> key(static_cast<std::size_t>(n), 0);
    for (int i = 0; i < n; ++i) {
        if (stop()) return false;
        CMyItem* it = pFolder->GetSubItem(i);
        items[static_cast<std::size_t>(i)] = it;
        if (it && !it->m_bIsFolder) {
            const InfoSource src = InfoSourceOf(it, cache, kInfoExif, stop);
            if (stop()) return false;
            key[static_cast<std::size_t>(i)] = WallClock(src);
        }
        host.Progress(i + 1, n);
    }
    std::vector<int> order(static_cast<std::size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    const auto isFolder = [&](int i) {
        const CMyItem* it = items[static_cast<std::size_t>(i)];
        return !it || it->m_bIsFolder;
    };
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        if (isFolder(a) != isFolder(b)) return isFolder(a);
        if (isFolder(a)) return false;
        const auto ka = key[static_cast<std::size_t>(a)], kb = key[static_cast<std::size_t>(b)];
        return descending ? ka > kb : ka < kb;
    });
    // Swaps that bring each item to its place: pos[i] is where item i stands now.
    std::vector<int> pos(static_cast<std::size_t>(n)), at(static_cast<std::size_t>(n));
    std::iota(pos.begin(), pos.end(), 0);
    std::iota(at.begin(), at.end(), 0);
    for (int p = 0; p < n; ++p) {
        const int want = order[static_cast<std::size_t>(p)];
        const int cur = pos[static_cast<std::size_t>(want)];
        if (cur == p) continue;
        pFolder->SwapSubItems(p, cur);
        const int other = at[static_cast<std::size_t>(p)];
        std::swap(at[static_cast<std::size_t>(p)], at[static_cast<std::size_t>(cur)]);
        pos[static_cast<std::size_t>(other)] = cur;
        pos[static_cast<std::size_t>(want)] = p;
    }
    int folders = 0, files = 0;
    for (int p = 0; p < n; ++p) {
        if (CMyItem* it = pFolder->GetSubItem(p)) {
            it->m_iKindIndex = it->m_bIsFolder ? folders++ : files++;
            it->UpdateWriteName();
        }
    }
    return true;
}

}  // namespace dov
