// libFuzzer target for the save data file reader: any bytes load into a sound, bounded tree or
// end in the read-error path, whether they come from memory or from a file on disk.
//
// Each input is read twice:
//   1. from memory: the version header, then CSaveDataFile::Serialize on a fresh item. A clean
//      load must give a consistent tree (counts, parents, layers, array positions, depth), no
//      more items than the bytes can hold, and must save and load again to the same bytes;
//   2. from a file through Open (the command's own path): the result must agree with (1) -
//      the same tree after a clean load whose stored paths fit the tree (PathsFit, written
//      here on its own), a fresh empty root after any failure or when a path does not fit.
//
// Run by hand (the CTest test does the same for a short time):
//   ./savefile_fuzz -max_len=65536 -rss_limit_mb=2048 -malloc_limit_mb=256 corpus_dir
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/archive.h"
#include "common/trace.h"
#include "model/host.h"
#include "model/item.h"
#include "model/parts_array.h"
#include "model/savefile.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

std::string g_dir;  // scratch folder for the input file

struct TreeStats {
    std::size_t items = 0;
    int maxDepth = 0;
};

// Checks the shape a loaded tree must have whatever the file said.
void CheckTree(const CMyItem& item, int layer, int depth, TreeStats& stats) {
    ++stats.items;
    if (depth > stats.maxDepth) stats.maxDepth = depth;
    Check(item.m_iLayer == layer);
    Check(item.m_bReadingSubItems == 0);
    if (!item.m_bIsFolder) {
        Check(!item.m_pArray);
        return;
    }
    Check(item.m_pArray != nullptr);
    const CMyPartsArray& arr = *item.m_pArray;
    Check(arr.m_pOwner == &item);
    Check(item.m_dwNumInFolder <= static_cast<std::uint32_t>(kMaxSubItemNum));
    Check(static_cast<std::uint32_t>(arr.GetSize()) == item.m_dwNumInFolder);
    int files = 0, folders = 0;
    for (int i = 0; i < arr.GetSize(); ++i) {
        const CMyItem* sub = arr.GetAt(i);
        Check(sub != nullptr);
        Check(sub->m_pParent == &item);
        Check(sub->m_iArrayIndex == i);
        if (sub->m_bIsFolder) {
            ++folders;
        } else {
            ++files;
        }
        CheckTree(*sub, layer + 1, depth + 1, stats);
    }
    Check(files == item.m_iFileNum && folders == item.m_iFoldNum);
    // The fixed-size fields are cut to what their C counterparts hold.
    Check(item.m_status.m_szFullName.size() < 260);
    Check(item.m_findData.cFileName.size() < 260);
    Check(item.m_findData.cAlternateFileName.size() < 14);
}

// The path rule, from its statement: every item below the root has an absolute path of
// non-empty elements, none "." or "..", that ends in its original name after its stored parent
// path, and a status path equal to it (up to 259 bytes). Directly under the root any folder
// will do; deeper down the tree parent's path, or (a moved item) the path of any folder item or
// the parent path of any item directly under the root. A folder made in the tree may have no
// path.
bool CleanAbsolute(const std::string& p) {
    if (p.empty() || p[0] != '/' || p.find('\0') != std::string::npos) return false;
    if (p == "/") return true;
    std::string elem;
    for (std::size_t i = 1; i <= p.size(); ++i) {
        if (i == p.size() || p[i] == '/') {
            if (elem.empty() || elem == "." || elem == "..") return false;
            elem.clear();
        } else {
            elem += p[i];
        }
    }
    return true;
}

void KnownFolders(const CMyItem& folder, std::vector<std::string>& known) {
    for (int i = 0; folder.m_pArray && i < folder.m_pArray->GetSize(); ++i) {
        const CMyItem& sub = *folder.m_pArray->GetAt(i);
        if (sub.m_iLayer == 1) known.push_back(sub.m_strParentPath);
        if (sub.m_bIsFolder && !sub.m_strOrgPath.empty()) known.push_back(sub.m_strOrgPath);
        if (sub.m_bIsFolder) KnownFolders(sub, known);
    }
}

bool PathsFitBelow(const CMyItem& folder, const std::vector<std::string>& known) {
    for (int i = 0; folder.m_pArray && i < folder.m_pArray->GetSize(); ++i) {
        const CMyItem& sub = *folder.m_pArray->GetAt(i);
        const std::string& path = sub.m_strOrgPath;
        if (path.empty()) {
            if (!sub.m_bIsFolder || !sub.m_bUserMakeFold) return false;
        } else {
            if (!CleanAbsolute(path)) return false;
            const bool whole = path == "/"
                                   ? sub.m_strParentPath.empty()
                                   : sub.m_strOrgName.find('/') == std::string::npos &&
                                         path == sub.m_strParentPath + "/" + sub.m_strOrgName;
            if (!whole || path.substr(0, 259) != sub.m_status.m_szFullName) return false;
            const bool inFolder =
                !folder.m_strOrgPath.empty() && sub.m_strParentPath == folder.m_strOrgPath;
            if (sub.m_iLayer > 1 && !inFolder &&
                std::find(known.begin(), known.end(), sub.m_strParentPath) == known.end())
                return false;
        }
        if (sub.m_bIsFolder && !PathsFitBelow(sub, known)) return false;
    }
    return true;
}

bool PathsFit(const CMyItem& root) {
    std::vector<std::string> known;
    KnownFolders(root, known);
    return PathsFitBelow(root, known);
}

std::string Store(dov::CSaveDataFile& sf, CMyItem& root) {
    std::string out;
    dov::CArchive ar = dov::CArchive::StoreTo(out);
    ar.WriteString(dov::kSaveVersionText);
    sf.Serialize(ar, root);
    Check(!ar.Failed());
    return out;
}

// Loads bytes through the memory archive; 1 clean, 0 read error or load error, -1 other version.
int LoadFromMemory(dov::CSaveDataFile& sf, std::string_view bytes, CMyItem& root) {
    dov::CArchive ar = dov::CArchive::LoadFrom(bytes);
    const std::string version = ar.ReadString();
    if (ar.Failed()) return 0;
    if (version != dov::kSaveVersionText) return -1;
    sf.m_bLoadError = false;
    sf.Serialize(ar, root);
    const bool ok = !ar.Failed() && !sf.m_bLoadError;
    sf.m_bLoadError = false;
    return ok ? 1 : 0;
}

bool IsFreshRoot(const CMyItem* root) {
    return root && root->m_bIsFolder && root->m_pArray && root->m_dwNumInFolder == 0 &&
           root->m_strNewName == "Root";
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The trace log would grow without end; the reader's logic is what is fuzzed here.
    dov::SetTraceEnabled(false);
    char tmpl[] = "/tmp/dovreth_savefile_fuzz_XXXXXX";
    const char* dir = ::mkdtemp(tmpl);
    if (!dir) std::abort();
    g_dir = dir;
    if (!std::getenv("DOVRETH_HOME")) {
        const std::string home = g_dir + "/home";
        ::mkdir(home.c_str(), 0700);
        ::setenv("DOVRETH_HOME", home.c_str(), 1);
    }
    std::atexit([] {
        std::remove((g_dir + "/in.dvt").c_str());
        ::rmdir((g_dir + "/home").c_str());
        ::rmdir(g_dir.c_str());
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static dov::NullHost host;
    const std::string trace = g_dir + "/trace.txt";
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // 1. From memory.
    dov::CSaveDataFile sf(host, trace);
    auto mem = std::make_unique<CMyItem>();
    const int memResult = LoadFromMemory(sf, bytes, *mem);
    std::string saved;
    if (memResult == 1) {
        TreeStats stats;
        CheckTree(*mem, 0, 0, stats);
        Check(stats.maxDepth <= dov::kMaxSaveDepth);
        // Every record takes at least kMinRecordBytes of the file.
        Check(stats.items * static_cast<std::size_t>(dov::kMinRecordBytes) <= size);
        saved = Store(sf, *mem);
        auto again = std::make_unique<CMyItem>();
        Check(LoadFromMemory(sf, saved, *again) == 1);
        Check(Store(sf, *again) == saved);
    }

    // 2. From a file, through the Open command.
    const std::string path = g_dir + "/in.dvt";
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        Check(f != nullptr);
        Check(size == 0 || std::fwrite(data, 1, size, f) == size);
        Check(std::fclose(f) == 0);
    }
    dov::CSaveDataFile cmd(host, trace);
    std::unique_ptr<CMyItem> root = MakeRootItem(trace, true);
    const int r = cmd.Open(root, path);
    Check(root != nullptr);
    if (memResult == 1 && mem->m_bIsFolder && PathsFit(*mem)) {
        Check(r == 1 && cmd.m_strLoadedPath == path);
        Check(Store(sf, *root) == saved);
    } else {
        // A root stored as a file cannot be shown as a tree, nor paths that do not fit it:
        // refused like a damaged file.
        Check(r == (memResult == -1 ? 1 : 0));
        Check(cmd.m_strLoadedPath.empty());
        Check(IsFreshRoot(root.get()));
    }
    Check(!cmd.m_bLoadError);
    return 0;
}
