#include "rename_test_util.h"

#include <sys/stat.h>

#include <filesystem>

#include "common/paths.h"
#include "common/trace.h"
#include "model/loader.h"

namespace renametest {

std::map<std::string, std::string> Snapshot(const std::string& folder) {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> out;
    for (auto it = fs::recursive_directory_iterator(folder);
         it != fs::recursive_directory_iterator(); ++it) {
        const std::string rel = fs::relative(it->path(), folder).string();
        if (rel == "home" || rel.rfind("home/", 0) == 0) continue;  // the program's own files
        if (it->is_symlink())
            out[rel] = "<link>";
        else if (it->is_directory())
            out[rel] = "<dir>";
        else if (it->is_regular_file())
            out[rel] = dovtest::ReadNative(it->path().string());
        else
            out[rel] = "<other>";
    }
    return out;
}

std::unique_ptr<CMyItem> NewRoot(bool autoIndex) {
    return MakeRootItem(dov::DefaultTracePath(), autoIndex);
}

void Load(CMyItem* root, const std::string& folder, const std::vector<std::string>& names) {
    dov::NullHost host;
    dov::CItemLoader loader(host, dov::DefaultTracePath());
    std::vector<dov::EntryInfo> picked;
    for (const std::string& n : names) {
        dov::EntryInfo info;
        if (dov::Fs().Stat(dov::JoinPath(folder, n), info) == 0) picked.push_back(info);
    }
    loader.LoadPickedEntries(root, folder, picked);
}

std::string TraceText() {
    return HomeFile("DataTrace.txt");
}

}  // namespace renametest
