#include "shell/filesort.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <sstream>

#include "common/codepage.h"
#include "common/trace.h"
#include "model/loader.h"
#include "model/sortorder.h"

namespace dov {

int CompareEntrySize(const FindData& a, const FindData& b) {
    return Compare64BitData(&a, &b);
}

int CompareFileTimeStruct(const FileTime& a, const FileTime& b) {
    if (a.high != b.high) return a.high > b.high ? 1 : -1;
    if (a.low != b.low) return a.low > b.low ? 1 : -1;
    return 0;
}

int CompareEntryName(const std::string& a, const std::string& b) {
    return CompareNameNoCase(a, b);
}

namespace {

bool IsFolder(const EntryInfo& e) {
    return (e.findData.dwFileAttributes & kAttrDirectory) != 0;
}

// Sorts positions [top, top + n) with the selection sort's exact order.
template <class Cmp>
void SortRange(std::vector<EntryInfo>& v, int top, int n, bool ascending, Cmp cmp) {
    if (n < 2) return;
    // Keys are looked up by the element's position before the sort.
    std::vector<const EntryInfo*> orig(static_cast<std::size_t>(n));
    std::vector<EntryInfo> copy(v.begin() + top, v.begin() + top + n);
    for (int i = 0; i < n; ++i)
        orig[static_cast<std::size_t>(i)] = &copy[static_cast<std::size_t>(i)];
    auto before = [&](int a, int b) {
        int c = cmp(*orig[static_cast<std::size_t>(a)], *orig[static_cast<std::size_t>(b)]);
        return ascending ? c < 0 : c > 0;
    };
    SelectionSortSwaps(n, before, [&](int p, int m) {
        std::swap(v[static_cast<std::size_t>(top + p)], v[static_cast<std::size_t>(top + m)]);
    });
}

int NameCmp(const EntryInfo& a, const EntryInfo& b) {
    return CompareEntryName(a.name, b.name);
}
int SizeCmp(const EntryInfo& a, const EntryInfo& b) {
    return CompareEntrySize(a.findData, b.findData);
}
int DateCmp(const EntryInfo& a, const EntryInfo& b) {
    return CompareFileTimeStruct(a.findData.ftLastWriteTime, b.findData.ftLastWriteTime);
}

std::string DecodeMountField(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() &&
            std::isdigit(static_cast<unsigned char>(s[i + 1]))) {
            out += static_cast<char>(std::stoi(s.substr(i + 1, 3), nullptr, 8));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

}  // namespace

int ArrangeFoldersFirst(std::vector<EntryInfo>& entries) {
    const int n = static_cast<int>(entries.size());
    FoldersFirstSwaps(
        n, [&](int p) { return IsFolder(entries[static_cast<std::size_t>(p)]); },
        [&](int a, int b) {
            std::swap(entries[static_cast<std::size_t>(a)], entries[static_cast<std::size_t>(b)]);
        });
    int folders = 0;
    while (folders < n && IsFolder(entries[static_cast<std::size_t>(folders)])) ++folders;
    return folders;
}

void SortEntries(std::vector<EntryInfo>& entries, EntrySortKey key, bool ascending) {
    const int n = static_cast<int>(entries.size());
    const int folders = ArrangeFoldersFirst(entries);
    switch (key) {
        case EntrySortKey::Name:
            SortRange(entries, 0, folders, ascending, NameCmp);
            SortRange(entries, folders, n - folders, ascending, NameCmp);
            break;
        case EntrySortKey::Size:
            SortRange(entries, folders, n - folders, ascending, SizeCmp);
            break;
        case EntrySortKey::Date:
            SortRange(entries, 0, folders, ascending, DateCmp);
            SortRange(entries, folders, n - folders, ascending, DateCmp);
            break;
    }
}

int ListFolderEntries(const std::string& folder, std::vector<EntryInfo>& out) {
    out.clear();
    std::vector<EntryInfo> all;
    int e = Fs().ListDir(folder, all);
    if (e) return e;
    for (auto& entry : all) {
        const std::string& n = entry.nameOk ? entry.name : entry.rawName;
        if (!n.empty() && n.find_first_not_of('.') == std::string::npos) continue;
        out.push_back(std::move(entry));
    }
    TraceF(DefaultTracePath(), "ファイル・フォルダの取得完了 アイテム数[%d]\n",
           static_cast<int>(out.size()));
    SortEntries(out, EntrySortKey::Name, true);
    return 0;
}

std::vector<std::string> RootFolders(const std::string& mountsText, const std::string& home) {
    static const std::set<std::string> kNetwork = {"nfs",   "nfs4",       "cifs", "smb3",
                                                   "sshfs", "fuse.sshfs", "9p",   "virtiofs"};
    static const std::set<std::string> kSkip = {"squashfs", "iso9660"};
    std::vector<std::string> native = {"/"};
    if (!home.empty() && home != "/") native.push_back(home);
    std::istringstream in(mountsText);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream f(line);
        std::string dev, dir, type;
        if (!(f >> dev >> dir >> type)) continue;
        dir = DecodeMountField(dir);
        const bool real =
            (dev.size() > 5 && dev.compare(0, 5, "/dev/") == 0 && !kSkip.count(type)) ||
            kNetwork.count(type) || type == "fuseblk";
        if (!real || dir.empty() || dir[0] != '/') continue;
        if (dir.compare(0, 6, "/boot/") == 0 || dir == "/boot" || dir.compare(0, 5, "/snap") == 0)
            continue;
        if (std::find(native.begin(), native.end(), dir) == native.end()) native.push_back(dir);
    }
    std::vector<std::string> out;
    for (const auto& n : native)
        if (auto cp = Utf8ToCp932(n)) out.push_back(*cp);
    return out;
}

}  // namespace dov
