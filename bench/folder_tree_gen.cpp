// Makes a folder-rich tree for the load benchmarks: many folders of a few entries each, up to
// a given depth, with Japanese and ASCII names (every name fits CP932). The files are empty.
// The same arguments always make the same tree.
//
// Usage: folder_tree_gen OUT [FOLDERS [ENTRIES [DEPTH]]]
//   OUT      the folder to make (must not exist)
//   FOLDERS  folders in the tree, OUT not counted (default 17000)
//   ENTRIES  entries in the tree, folders included (default 160000)
//   DEPTH    deepest folder level below OUT (default 8)
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A small fixed-seed generator: the tree is the same on every machine.
struct Rng {
    std::uint64_t s = 0x9E3779B97F4A7C15ull;
    std::uint32_t Next() {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return static_cast<std::uint32_t>(s >> 11);
    }
    std::size_t Below(std::size_t n) { return n ? Next() % n : 0; }
};

const char* const kFolderWords[] = {"写真", "資料", "報告書", "音楽", "データ",  "ﾃｽﾄ",
                                    "src",  "lib",  "share",  "doc",  "include", "bin"};
const char* const kFileWords[] = {"議事録", "見積書", "画像",  "メモ",   "ｻﾝﾌﾟﾙ", "readme",
                                  "config", "index",  "image", "module", "test",  "notes"};
const char* const kExts[] = {".txt", ".jpg", ".h", ".cpp", ".png", ".mp3", "", ".conf"};

struct Folder {
    fs::path path;
    int depth;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: folder_tree_gen OUT [FOLDERS [ENTRIES [DEPTH]]]\n");
        return 2;
    }
    const fs::path out = argv[1];
    const long folders = argc > 2 ? std::atol(argv[2]) : 17000;
    const long entries = argc > 3 ? std::atol(argv[3]) : 160000;
    const int depth = argc > 4 ? std::atoi(argv[4]) : 8;
    if (folders < 0 || entries < folders || depth < 1) {
        std::fprintf(stderr, "folder_tree_gen: want 0 <= FOLDERS <= ENTRIES and DEPTH >= 1\n");
        return 2;
    }
    std::error_code ec;
    if (fs::exists(out, ec) || !fs::create_directory(out, ec)) {
        std::fprintf(stderr, "folder_tree_gen: cannot make %s (it must not exist)\n", out.c_str());
        return 1;
    }
    Rng rng;
    std::vector<Folder> all{{out, 0}};
    // Folders: each under a folder picked at random among those not at the deepest level,
    // leaning to recent ones so that the tree grows deep as well as wide.
    std::vector<std::size_t> open{0};
    for (long i = 0; i < folders; ++i) {
        const std::size_t pick = open.size() > 8 && rng.Below(2)
                                     ? open[open.size() - 1 - rng.Below(8)]
                                     : open[rng.Below(open.size())];
        const Folder parent = all[pick];
        const std::string name =
            std::string(kFolderWords[rng.Below(std::size(kFolderWords))]) + "_" + std::to_string(i);
        Folder f{parent.path / name, parent.depth + 1};
        if (!fs::create_directory(f.path, ec)) {
            std::fprintf(stderr, "folder_tree_gen: cannot make %s\n", f.path.c_str());
            return 1;
        }
        all.push_back(f);
        if (f.depth < depth) open.push_back(all.size() - 1);
    }
    // Files: spread over every folder.
    for (long i = 0; i < entries - folders; ++i) {
        const Folder& f = all[rng.Below(all.size())];
        const std::string name = std::string(kFileWords[rng.Below(std::size(kFileWords))]) + "-" +
                                 std::to_string(i) + kExts[rng.Below(std::size(kExts))];
        std::ofstream file(f.path / name);
        if (!file) {
            std::fprintf(stderr, "folder_tree_gen: cannot write %s\n", (f.path / name).c_str());
            return 1;
        }
    }
    std::printf("%s: %ld entries in %ld folders, at most %d levels\n", out.c_str(), entries,
                folders, depth);
    return 0;
}
