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

CMyItem* Sub(CMyItem* folder, const std::string& newName) {
    if (!folder) return nullptr;
    for (int i = 0; i < static_cast<int>(folder->m_dwNumInFolder); ++i) {
        CMyItem* s = folder->GetSubItem(i);
        if (s && s->m_strNewName == newName) return s;
    }
    return nullptr;
}

CMyItem* At(CMyItem* folder, const std::string& chain) {
    std::size_t start = 0;
    CMyItem* cur = folder;
    while (cur && start <= chain.size()) {
        std::size_t slash = chain.find('/', start);
        if (slash == std::string::npos) slash = chain.size();
        cur = Sub(cur, chain.substr(start, slash - start));
        start = slash + 1;
    }
    return cur;
}

void Rename(CMyItem* item, const std::string& newName) {
    item->m_strNewName = newName;
    item->UpdateWriteName();
}

std::string TraceText() {
    return HomeFile("DataTrace.txt");
}

}  // namespace renametest
