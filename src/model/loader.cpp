#include "model/loader.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <utility>

#include "common/codepage.h"
#include "common/paths.h"
#include "common/pathtext.h"
#include "common/sjis.h"
#include "common/trace.h"
#include "model/item.h"
#include "model/parts_array.h"
#include "model/sortorder.h"

namespace dov {
namespace {

// The folder path without one trailing '/' ("/" becomes "", the root's entries).
std::string StripOneSlash(std::string_view folder) {
    if (!folder.empty() && folder.back() == '/') folder.remove_suffix(1);
    return std::string(folder);
}

// A name made only of dots and at most 2 bytes long (".", ".." and the empty name).
bool IsDotName(std::string_view name) {
    if (name.size() > 2) return false;
    for (char c : name) {
        if (c != '.') return false;
    }
    return true;
}

// The name a picked entry stands for: its record's name, else the listing's.
const std::string& PickedName(const EntryInfo& e) {
    return e.findData.cFileName.empty() ? e.name : e.findData.cFileName;
}

unsigned char LowerByte(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

CMyItem* At(CMyItem* folder, int pos) {
    return folder->m_pArray->GetAt(pos);
}

// The eight bytes of a name from offset `from`, lower-cased, as one number that orders as the
// bytes do (missing bytes count as 0).
std::uint64_t NameKey8(std::string_view name, std::size_t from) {
    std::uint64_t k = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        k = (k << 8) | (from + i < name.size() ? LowerByte(name[from + i]) : 0u);
    }
    return k;
}

// Ranks of the new names of the n items from position top, in the order of CompareNameNoCase:
// rank[i] < rank[j] exactly when item i's name goes before item j's, equal names equal ranks.
// Returns the number of different names.
// The names are compared by the eight bytes after the prefix they all share (one integer
// compare), and only names equal there by the rest.
int NameRanksOf(const std::vector<std::string_view>& name, std::vector<int>& rank) {
    const int n = static_cast<int>(name.size());
    // The prefix every name shares (case-insensitively).
    std::size_t common = name.empty() ? 0 : name[0].size();
    for (std::size_t i = 1; i < name.size() && common > 0; ++i) {
        const std::string_view a = name[0], b = name[i];
        std::size_t k = 0;
        const std::size_t m = std::min({common, a.size(), b.size()});
        while (k < m && LowerByte(a[k]) == LowerByte(b[k])) ++k;
        common = k;
    }
    struct Key {
        std::uint64_t head;
        int index;
    };
    std::vector<Key> keys(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        keys[static_cast<std::size_t>(i)] = {NameKey8(name[static_cast<std::size_t>(i)], common),
                                             i};
    const std::size_t rest = common + 8;
    // <0, 0, >0 for two keys: by the head, then by the names after it.
    auto compare = [&](const Key& a, const Key& b) {
        if (a.head != b.head) return a.head < b.head ? -1 : 1;
        const std::string_view x = name[static_cast<std::size_t>(a.index)];
        const std::string_view y = name[static_cast<std::size_t>(b.index)];
        // Equal heads: a name that ends within them is the other's prefix.
        if (x.size() <= rest || y.size() <= rest)
            return x.size() == y.size() ? 0 : x.size() < y.size() ? -1 : 1;
        return CompareNameNoCase(x.substr(rest), y.substr(rest));
    };
    // Listings often come in order, or in exactly the reverse order (as tmpfs gives them).
    bool sorted = true, reversed = true;
    for (std::size_t i = 1; i < keys.size() && (sorted || reversed); ++i) {
        const int c = compare(keys[i - 1], keys[i]);
        sorted = sorted && c <= 0;
        reversed = reversed && c > 0;
    }
    if (!sorted && reversed) {
        std::reverse(keys.begin(), keys.end());
    } else if (!sorted) {
        std::sort(keys.begin(), keys.end(),
                  [&](const Key& a, const Key& b) { return compare(a, b) < 0; });
    }
    for (std::size_t i = 0, r = 0; i < keys.size(); ++i) {
        if (i > 0 && compare(keys[i - 1], keys[i]) < 0) ++r;
        rank[static_cast<std::size_t>(keys[i].index)] = static_cast<int>(r);
    }
    return keys.empty() ? 0 : rank[static_cast<std::size_t>(keys.back().index)] + 1;
}

int NameRanks(CMyItem* folder, int top, int n, std::vector<int>& rank) {
    std::vector<std::string_view> name(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        if (const CMyItem* it = At(folder, top + i))
            name[static_cast<std::size_t>(i)] = it->m_strNewName;
    }
    return NameRanksOf(name, rank);
}

// The order in which the load's sort (folders first, then each kind by name, ascending) puts
// the entries of a listing that will become items: the positions of those entries, folders
// first, each kind by its rank. Empty when two entries of a kind have names the sort takes as
// equal: their order then depends on the order they come in, and the listing's order stands.
std::vector<std::uint32_t> SortedLoadOrder(const std::vector<EntryInfo>& entries) {
    std::vector<std::uint32_t> order;
    std::vector<std::uint32_t> kind[2];  // [0] folders, [1] files, in the listing's order
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const EntryInfo& e = entries[i];
        if (!e.nameOk || IsDotName(e.name)) continue;
        kind[(e.findData.dwFileAttributes & kAttrDirectory) ? 0 : 1].push_back(
            static_cast<std::uint32_t>(i));
    }
    order.resize(kind[0].size() + kind[1].size());
    std::vector<std::string_view> name;
    std::vector<int> rank;
    std::size_t base = 0;
    for (const std::vector<std::uint32_t>& k : kind) {
        name.resize(k.size());
        rank.assign(k.size(), 0);
        for (std::size_t i = 0; i < k.size(); ++i) name[i] = entries[k[i]].findData.cFileName;
        if (NameRanksOf(name, rank) != static_cast<int>(k.size())) return {};
        for (std::size_t i = 0; i < k.size(); ++i)
            order[base + static_cast<std::size_t>(rank[i])] = k[i];
        base += k.size();
    }
    return order;
}

// An item's path: its folder's path without the trailing '/' ("" for "/"), '/', its name.
std::string ItemPath(std::string_view parent, std::string_view name) {
    std::string path;
    path.reserve(PathCapacity(parent.size() + 1 + name.size()));
    path.append(parent);
    path.push_back('/');
    path.append(name);
    return path;
}

}  // namespace

int CompareNameNoCase(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

namespace {

// The digit at p (ASCII, or full-width ０-９ as 0x82 0x4F-0x58): its value and its length in
// *pLen; -1 when none starts there.
int DigitAt(std::string_view s, std::size_t p, std::size_t* pLen) {
    const auto c = static_cast<unsigned char>(s[p]);
    if (c >= '0' && c <= '9') {
        *pLen = 1;
        return c - '0';
    }
    if (c == 0x82 && SjisCharLen(s, p) == 2) {
        const auto t = static_cast<unsigned char>(s[p + 1]);
        if (t >= 0x4F && t <= 0x58) {
            *pLen = 2;
            return t - 0x4F;
        }
    }
    return -1;
}

// The run of digits from p: its significant digits (leading zeros dropped) appended to *pDigits.
std::size_t DigitRun(std::string_view s, std::size_t p, std::string* pDigits) {
    std::size_t len = 0;
    for (int d; p < s.size() && (d = DigitAt(s, p, &len)) >= 0; p += len) {
        if (d != 0 || !pDigits->empty()) pDigits->push_back(static_cast<char>('0' + d));
    }
    return p;
}

}  // namespace

int CompareNatural(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        std::size_t la = 0, lb = 0;
        if (DigitAt(a, i, &la) >= 0 && DigitAt(b, j, &lb) >= 0) {
            std::string da, db;
            i = DigitRun(a, i, &da);
            j = DigitRun(b, j, &db);
            if (da.size() != db.size()) return da.size() < db.size() ? -1 : 1;
            if (const int c = da.compare(db); c != 0) return c < 0 ? -1 : 1;
            continue;
        }
        la = SjisCharLen(a, i);
        lb = SjisCharLen(b, j);
        if (const int c = CompareNameNoCase(a.substr(i, la), b.substr(j, lb)); c != 0) return c;
        i += la;
        j += lb;
    }
    if (i < a.size() || j < b.size()) return i < a.size() ? 1 : -1;
    return CompareNameNoCase(a, b);
}

int Compare64BitData(const FindData* pA, const FindData* pB, const std::string& tracePath) {
    if (!pA || !pB) {
        TraceF(tracePath, "※　引数が無効です Compare64BitData()\n\tpA[%p] pB[%p]\n",
               static_cast<const void*>(pA), static_cast<const void*>(pB));
        return 0;
    }
    if (pA->nFileSizeHigh != pB->nFileSizeHigh)
        return pA->nFileSizeHigh > pB->nFileSizeHigh ? 1 : -1;
    if (pA->nFileSizeLow != pB->nFileSizeLow) return pA->nFileSizeLow > pB->nFileSizeLow ? 1 : -1;
    return 0;
}

std::string OrgExtOf(std::string_view name) {
    const int dot = FindLastCharDbcs(name, '.');
    if (dot <= 0) return {};
    const std::size_t after = name.size() - static_cast<std::size_t>(dot) - 1;
    if (after < 1 || after > 4) return {};
    return std::string(name.substr(static_cast<std::size_t>(dot) + 1));
}

CItemLoader::CItemLoader(IHost& host, std::string tracePath)
    : m_strTracePath(std::move(tracePath)), host_(host) {}

bool CItemLoader::StopOrQuit() {
    // Both are polled every time: the host may count polls.
    const bool stop = host_.StopRequested();
    const bool quit = host_.QuitRequested();
    return stop || quit;
}

void CItemLoader::CountRead(std::size_t n) {
    if (m_pEntriesRead)
        m_pEntriesRead->fetch_add(static_cast<long long>(n), std::memory_order_relaxed);
}

void CItemLoader::ReduceAttributes(FindData& fd) const {
    fd.dwFileAttributes &= kAttrDirectory;
}

bool CItemLoader::CheckFoldIsRoot(const std::string& folderPath) {
    if (folderPath == "/") return true;
    if (!IsAbsolutePath(folderPath)) {
        TraceF(m_strTracePath,
               "※　カレントディレクトリデータが異常 CKestrelView::CheckFoldIsRoot\n\t[%s]\n",
               folderPath.c_str());
    }
    return false;
}

// ---- checking entries -----------------------------------------------------------------------

int CItemLoader::CheckLoadFileStatus(const std::string& folderPath,
                                     std::vector<EntryInfo>& picked) {
    int removed = 0;
    const bool absolute = IsAbsolutePath(folderPath);
    for (int i = static_cast<int>(picked.size()) - 1; i >= 0; --i) {
        const EntryInfo& e = picked[static_cast<std::size_t>(i)];
        bool ok = false;
        std::string shown;
        if (!e.nameOk) {
            // Unreadable or vanished: its name through the bridge, which takes any bytes.
            shown = JoinPath(folderPath, *Utf8ToCp932(e.rawName));
        } else {
            shown = JoinPath(folderPath, PickedName(e));
            EntryInfo st;
            ok = absolute && !PickedName(e).empty() && Fs().Stat(shown, st) == 0;
        }
        if (ok) continue;
        ++removed;
        TraceF(m_strTracePath,
               "※　ファイルステータスの取得に失敗 CKestrelView::CheckLoadFileStatus()\n"
               "\tArrayIndex[%d] RemovedNum[%d] FileName[%s]\n",
               i, removed, shown.c_str());
        picked.erase(picked.begin() + i);
    }
    if (removed > 0) {
        char text[64];
        std::snprintf(text, sizeof text, Sj("%d個のファイル情報の取得に失敗").c_str(), removed);
        host_.Message(text, MsgKind::Ok, MsgIcon::Warning);
    }
    return removed;
}

int CItemLoader::CheckItemStatus(const std::string& folderPath, const FindData& findData) {
    const std::string path = JoinPath(folderPath, findData.cFileName);
    EntryInfo st;
    if (IsAbsolutePath(folderPath) && !findData.cFileName.empty() && Fs().Stat(path, st) == 0)
        return 1;
    TraceF(m_strTracePath,
           "※　ファイルステータスの取得に失敗 CKestrelView::CheckItemStatus()\n\tFileName[%s]\n",
           path.c_str());
    return 0;
}

// ---- filling items --------------------------------------------------------------------------

int CItemLoader::SetItemInfo(const FindData& findData, const std::string& folderPath,
                             CMyItem* pItem, const FileStatus* known) {
    if (!pItem) {
        TraceF(m_strTracePath, "※　引数が無効です SetItemInfo()\n");
        return -1;
    }
    pItem->m_findData = findData;
    ReduceAttributes(pItem->m_findData);
    const std::string& name = findData.cFileName;
    CheckFoldIsRoot(folderPath);  // traces a folder path that is not absolute
    // "/" has the empty parent, so its entries are "/name" too.
    std::string parent = StripOneSlash(folderPath);
    std::string path = ItemPath(parent, name);

    FileStatus status;
    if (known) {
        status = *known;
    } else {
        EntryInfo st;
        if (!IsAbsolutePath(folderPath) || name.empty() || Fs().Stat(path, st) != 0) {
            TraceF(m_strTracePath, "※　[%s]のファイルは存在しません\n SetItemInfo()", path.c_str());
            return -1;
        }
        status = std::move(st.status);
    }
    FillNamesAndPaths(pItem, std::move(status), std::move(path), std::move(parent), true);
    return 0;
}

void CItemLoader::FillNamesAndPaths(CMyItem* pItem, FileStatus&& status, std::string&& path,
                                    std::string&& parent, bool writeName) {
    const std::string& name = pItem->m_findData.cFileName;
    pItem->m_status = std::move(status);
    pItem->m_strOrgName = name;
    pItem->m_strNewName = name;
    pItem->m_strOrgPath = std::move(path);
    pItem->m_dwSizeLow = pItem->m_findData.nFileSizeLow;
    pItem->m_iOrgNameLen = static_cast<std::int32_t>(name.size());
    pItem->m_strParentPath = std::move(parent);
    pItem->m_strOrgExt = OrgExtOf(name);
    if (writeName) pItem->UpdateWriteName();
}

int CItemLoader::AddFoldToTree(CMyItem* pFolder) {
    host_.TreeFolderAdded(pFolder);
    return 0;
}

// ---- loading --------------------------------------------------------------------------------

CItemLoader::LoadResult CItemLoader::LoadPickedEntries(CMyItem* pCurrent,
                                                       const std::string& folderPath,
                                                       std::vector<EntryInfo> picked) {
    LoadResult result;
    if (!pCurrent || !pCurrent->m_bIsFolder || !pCurrent->m_pArray) {
        TraceF(m_strTracePath, "※　読み込み先がフォルダではありません LoadPickedEntries()\n");
        return result;
    }
    struct LoadingFlag {
        CItemLoader& loader;
        explicit LoadingFlag(CItemLoader& l) : loader(l) { loader.m_bLoading = true; }
        ~LoadingFlag() {
            loader.m_bLoading = false;
            std::vector<EntryInfo>().swap(loader.m_spareListing);
        }
    } loading(*this);
    const long long leftOutBefore = m_leftOut.count;
    // The user named this folder: it is reached as its path says, and nothing below it that
    // is a link is ever entered.
    DiskScope scope;
    if (IsAbsolutePath(folderPath)) scope.Add(folderPath);
    OperationScope operation(scope);

    result.removed = CheckLoadFileStatus(folderPath, picked);
    // Counted as the items are made, so a long list of picked entries shows its progress.
    std::size_t uncounted = 0;
    for (const EntryInfo& e : picked) {
        if (++uncounted == 1024) {
            CountRead(uncounted);
            uncounted = 0;
        }
        FindData fd = e.findData;
        if (fd.cFileName.empty()) fd.cFileName = e.name;
        ReduceAttributes(fd);
        const bool isDir = fd.dwFileAttributes & kAttrDirectory;
        CMyItem* item = isDir ? pCurrent->MakeSubFold() : pCurrent->MakeSubFile();
        if (item) {
            ++result.added;
            if (SetItemInfo(fd, folderPath, item) == 0 && isDir && AddFoldToTree(item) == 0) {
                SetSubFoldWithSort(item);
            }
        }
        const bool stop = host_.StopRequested();
        const bool quit = host_.QuitRequested();
        if (stop || quit) {
            result.stopped = stop;
            result.quit = quit;
            break;
        }
    }
    CountRead(uncounted);
    if (!result.quit && host_.QuitRequested()) result.quit = true;
    result.leftOut = m_leftOut.count - leftOutBefore;
    if (!result.quit) host_.ListShowFolder(pCurrent);
    return result;
}

void CItemLoader::LeaveOut(const std::string& folderPath, const EntryInfo& e) {
    // Unreadable or vanished: skipped like an entry whose status cannot be read, its name
    // through the bridge, which takes any bytes.
    std::string shown = JoinPath(folderPath, *Utf8ToCp932(e.rawName));
    TraceF(m_strTracePath,
           "※　ファイルステータスの取得に失敗 "
           "CKestrelView::CheckItemStatus()\n\tFileName[%s]\n",
           shown.c_str());
    ++m_leftOut.count;
    if (m_leftOut.paths.size() < kMaxLeftOutPaths) m_leftOut.paths.push_back(std::move(shown));
}

int CItemLoader::SetSubFoldWithSort(CMyItem* pFolder) {
    if (!pFolder || !pFolder->m_bIsFolder || !pFolder->m_pArray) {
        TraceF(m_strTracePath, "※　フォルダではありません SetSubFoldWithSort()\n");
        return 0;
    }
    const std::string folderPath = pFolder->m_strOrgPath;
    std::vector<EntryInfo> entries;
    entries.swap(m_spareListing);  // empty, with the room of an earlier listing of this load
    // A large folder's listing gives up as soon as STOP or closing is asked for.
    int err = IsAbsolutePath(folderPath)
                  ? Fs().ListDirUnless(folderPath, entries, [this] { return StopOrQuit(); })
                  : EINVAL;
    if (err == ECANCELED) return 0;
    if (err != 0) {
        TraceF(m_strTracePath,
               "※　フォルダを読めません SetSubFoldWithSort()\n\tFoldName[%s] errno[%d]\n",
               folderPath.c_str(), err);
        return 0;
    }
    CountRead(entries.size());
    const std::string parent = StripOneSlash(folderPath);

    int added = 0;
    int folders = 0;
    bool stopped = false;
    // The items are made in the order the sort below leaves them in, so that they lie in
    // memory in the order every later walk of the tree takes (a listing comes in the disk's
    // own order: of creation, of a hash, or of the last renames). Each is numbered as if made
    // in the listing's order, so the result is the same either way.
    const std::vector<std::uint32_t> sorted =
        m_bLoading ? SortedLoadOrder(entries) : std::vector<std::uint32_t>();
    std::vector<std::int32_t> addOrder;
    if (!sorted.empty()) {
        addOrder.assign(entries.size(), 0);
        std::int32_t next = NextAddOrder(*pFolder);
        for (std::size_t i = 0; i < entries.size(); ++i)
            if (entries[i].nameOk && !IsDotName(entries[i].name)) addOrder[i] = next++;
    }
    const std::size_t count = sorted.empty() ? entries.size() : sorted.size();
    // Entries that cannot be read are reported in the listing's order either way.
    if (!sorted.empty()) {
        for (EntryInfo& e : entries)
            if (!e.nameOk) LeaveOut(folderPath, e);
    }
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t i = sorted.empty() ? k : sorted[k];
        EntryInfo& e = entries[i];
        if (!e.nameOk) {
            LeaveOut(folderPath, e);
        } else if (!IsDotName(e.name)) {
            // The listing already read the entry's status (without following links): its
            // records are moved into the item, which is filled first and then appended, so
            // that its write name is built once.
            const bool isDir = e.findData.dwFileAttributes & kAttrDirectory;
            CMyItem* item = nullptr;
            try {
                std::unique_ptr<CMyItem> fresh(new CMyItem(CMyItem::Blank{}));
                fresh->m_findData = std::move(e.findData);
                ReduceAttributes(fresh->m_findData);
                fresh->m_bIsFolder = isDir ? 1 : 0;
                std::string parentCopy;
                // A short path stays inside the string.
                if (parent.size() > std::string().capacity())
                    parentCopy.reserve(PathCapacity(parent.size()));
                parentCopy = parent;
                std::string path = ItemPath(parent, fresh->m_findData.cFileName);
                FillNamesAndPaths(fresh.get(), std::move(e.status), std::move(path),
                                  std::move(parentCopy), false);
                item = pFolder->AddEntrySub(std::move(fresh));
            } catch (const std::bad_alloc&) {
                item = nullptr;
            }
            if (!item) {
                TraceF(m_strTracePath,
                       "※　サブアイテムの確保に失敗 CKestrelView::SetSubFoldWithSort()\n"
                       "\tFileName[%s] IsFolder[%d]\n",
                       e.name.c_str(), isDir ? 1 : 0);
            } else {
                if (!addOrder.empty()) item->m_iAddOrder = addOrder[i];
                ++added;
                if (isDir) ++folders;
            }
        }
        if (StopOrQuit()) {
            stopped = true;
            break;
        }
    }
    // The listing is spent. During a load its room is kept for the next folder's listing,
    // which then needs no fresh pages; otherwise its memory goes before the sort.
    entries.clear();
    if (m_bLoading) entries.swap(m_spareListing);
    std::vector<EntryInfo>().swap(entries);
    if (stopped) return added;

    SortSubItems(pFolder, kColNewName);

    // Folders come first now: read each one, depth first.
    const int n = static_cast<int>(pFolder->m_dwNumInFolder);
    for (int p = 0; p < n && folders > 0; ++p) {
        CMyItem* sub = At(pFolder, p);
        if (!sub || !sub->m_bIsFolder) continue;
        --folders;
        if (AddFoldToTree(sub) == 0) SetSubFoldWithSort(sub);
        if (StopOrQuit()) break;
    }
    return added;
}

// ---- sorting --------------------------------------------------------------------------------

void CItemLoader::SortRange(CMyItem* pFolder, int top, int end, bool bySize, bool ascending) {
    const int n = end - top + 1;
    if (n < 2) return;
    auto swap = [&](int p, int m) { pFolder->SwapSubItems(top + p, top + m); };
    if (bySize) {
        std::vector<std::uint64_t> key(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            const CMyItem* it = At(pFolder, top + i);
            key[static_cast<std::size_t>(i)] =
                it ? (static_cast<std::uint64_t>(it->m_findData.nFileSizeHigh) << 32) |
                         it->m_findData.nFileSizeLow
                   : 0;
        }
        if (ascending) {
            SelectionSortSwaps(
                n, [&](int a, int b) { return key[a] < key[b]; }, swap);
        } else {
            SelectionSortSwaps(
                n, [&](int a, int b) { return key[a] > key[b]; }, swap);
        }
        return;
    }
    // Ranks of the names in the case-insensitive order, so the replay below compares integers
    // only. Equal names get equal ranks.
    std::vector<int> rank(static_cast<std::size_t>(n));
    if (NameRanks(pFolder, top, n, rank) == n) {
        // No two names equal: the sorted order is the only result, whatever the steps.
        if (!ascending) {
            for (int& r : rank) r = n - 1 - r;
        }
        PermutationSwaps(std::move(rank), swap);
        return;
    }
    if (ascending) {
        SelectionSortSwaps(
            n, [&](int a, int b) { return rank[a] < rank[b]; }, swap);
    } else {
        SelectionSortSwaps(
            n, [&](int a, int b) { return rank[a] > rank[b]; }, swap);
    }
}

void CItemLoader::Renumber(CMyItem* pFolder, int top, int end) {
    if (end - top + 1 < 2) return;
    int k = 0;
    for (int p = top; p <= end; ++p) {
        if (CMyItem* it = At(pFolder, p)) {
            it->m_iKindIndex = k++;
            it->UpdateWriteName();
        }
    }
}

int CItemLoader::FoldersFirstInKindOrder(CMyItem* pFolder) {
    if (!pFolder || !pFolder->m_pArray) {
        TraceF(m_strTracePath, "※　引数が無効です SortSubItems()\n");
        return -1;
    }
    const int n =
        std::min<int>(static_cast<int>(pFolder->m_dwNumInFolder), pFolder->m_pArray->m_dwPartsNum);
    if (n < 1) return -1;
    auto swap = [&](int p, int m) { pFolder->SwapSubItems(p, m); };

    // 1. Folders first.
    FoldersFirstSwaps(
        n,
        [&](int p) {
            const CMyItem* it = At(pFolder, p);
            return it && it->m_bIsFolder;
        },
        swap);
    int folders = 0;
    while (folders < n && At(pFolder, folders) && At(pFolder, folders)->m_bIsFolder) ++folders;
    if (folders != pFolder->m_iFoldNum) {
        TraceF(m_strTracePath,
               "※　引数が無効です CKestrelView::SortFileLoToHi\n\tpParentItem[%08X] iTopID[%d] "
               "iEndID[%d] dwNumInFolder[%d]\n",
               static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(pFolder)),
               pFolder->m_iFoldNum, n - 1, n);
    }

    // 2. Files back in kind-number order.
    const int nf = n - folders;
    std::vector<std::int32_t> kind(static_cast<std::size_t>(std::max(nf, 0)));
    for (int i = 0; i < nf; ++i) {
        const CMyItem* it = At(pFolder, folders + i);
        kind[static_cast<std::size_t>(i)] = it ? it->m_iKindIndex : 0;
    }
    SelectionSortSwaps(
        nf, [&](int a, int b) { return kind[a] < kind[b]; },
        [&](int p, int m) { pFolder->SwapSubItems(folders + p, folders + m); });
    return folders;
}

void CItemLoader::SortSubItems(CMyItem* pFolder, int iColumn) {
    const int folders = FoldersFirstInKindOrder(pFolder);
    if (folders < 0) return;
    const int n =
        std::min<int>(static_cast<int>(pFolder->m_dwNumInFolder), pFolder->m_pArray->m_dwPartsNum);
    if (iColumn < kColNewName || iColumn > kColSize) iColumn = kColNewName;

    // 3. By the column.
    int& flag = m_iSortFlag[static_cast<std::size_t>(iColumn)];
    switch (iColumn) {
        case kColNewName: {
            const bool ascending = flag == 1 || m_bLoading;
            flag = ascending ? 0 : 1;
            SortRange(pFolder, 0, folders - 1, false, ascending);
            Renumber(pFolder, 0, folders - 1);
            SortRange(pFolder, folders, n - 1, false, ascending);
            Renumber(pFolder, folders, n - 1);
            break;
        }
        case kColSize: {
            const bool ascending = flag == 1;
            flag = ascending ? 0 : 1;
            SortRange(pFolder, folders, n - 1, true, ascending);
            Renumber(pFolder, folders, n - 1);
            break;
        }
        default:
            flag = flag == 1 ? 0 : 1;
            break;
    }
}

void CItemLoader::SortSubItemsBy(CMyItem* pFolder, ExtraSort order) {
    if (order != kSortModified && order != kSortNatural) return;
    const int folders = FoldersFirstInKindOrder(pFolder);
    if (folders < 0) return;
    const int n =
        std::min<int>(static_cast<int>(pFolder->m_dwNumInFolder), pFolder->m_pArray->m_dwPartsNum);
    int& flag = m_iExtraSortFlag[static_cast<std::size_t>(order)];
    const bool ascending = flag == 1;
    flag = ascending ? 0 : 1;
    auto sortGroup = [&](int top, int end) {
        const int count = end - top + 1;
        if (count < 2) return;
        // Ranks of the keys, so the replayed selection sort compares integers.
        std::vector<int> order_(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) order_[static_cast<std::size_t>(i)] = i;
        std::vector<int> rank(static_cast<std::size_t>(count));
        auto item = [&](int i) { return At(pFolder, top + i); };
        if (order == kSortModified) {
            std::vector<std::uint64_t> key(static_cast<std::size_t>(count));
            for (int i = 0; i < count; ++i)
                key[static_cast<std::size_t>(i)] =
                    item(i) ? item(i)->m_findData.ftLastWriteTime.Value() : 0;
            std::sort(order_.begin(), order_.end(), [&](int a, int b) { return key[a] < key[b]; });
            for (int i = 0, r = 0; i < count; ++i) {
                if (i > 0 && key[order_[i - 1]] < key[order_[i]]) ++r;
                rank[order_[i]] = r;
            }
        } else {
            std::vector<std::string_view> key(static_cast<std::size_t>(count));
            for (int i = 0; i < count; ++i)
                if (item(i)) key[static_cast<std::size_t>(i)] = item(i)->m_strNewName;
            std::sort(order_.begin(), order_.end(),
                      [&](int a, int b) { return CompareNatural(key[a], key[b]) < 0; });
            for (int i = 0, r = 0; i < count; ++i) {
                if (i > 0 && CompareNatural(key[order_[i - 1]], key[order_[i]]) < 0) ++r;
                rank[order_[i]] = r;
            }
        }
        auto swap = [&](int p, int m) { pFolder->SwapSubItems(top + p, top + m); };
        if (ascending)
            SelectionSortSwaps(
                count, [&](int a, int b) { return rank[a] < rank[b]; }, swap);
        else
            SelectionSortSwaps(
                count, [&](int a, int b) { return rank[a] > rank[b]; }, swap);
        Renumber(pFolder, top, end);
    };
    sortGroup(0, folders - 1);
    sortGroup(folders, n - 1);
}

}  // namespace dov
