// Helpers of the rename tests: trees loaded from a temporary folder, the disk as a map, a file
// system with faults injected on chosen paths.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/fs.h"
#include "model/item.h"
#include "support/test_support.h"
#include "support/tree_support.h"

namespace renametest {

// Every entry below a native folder: relative path -> content, or "<dir>" for a folder,
// "<link>" for a symbolic link, "<other>" for anything else.
std::map<std::string, std::string> Snapshot(const std::string& folder);

// A root item as the window makes it (automatic index off unless asked).
std::unique_ptr<CMyItem> NewRoot(bool autoIndex = false);

// Loads the named entries of folder (absolute, ASCII) under root with the loader, in the given
// order, reading folders recursively and sorting each.
void Load(CMyItem* root, const std::string& folder, const std::vector<std::string>& names);

using dovtest::AtNewNames;
using dovtest::SetNewName;

// Counts the occurrences of needle in hay; the program's own files of the current test.
using dovtest::Count;
using dovtest::HomeFile;

// The trace file of the current test's program folder.
std::string TraceText();

// The real file system with faults on request. A hook returning -1 lets the call through;
// any other value is the result.
class FaultFs : public dov::PosixFileSystem {
  public:
    std::function<int(const std::string&, const std::string&)> onRename;
    std::function<int(const std::string&)> onStat;
    std::function<int(const std::string&)> onMakeDir;
    // Wraps a file opened for reading (e.g. to cut it short).
    std::function<std::unique_ptr<dov::IFile>(const std::string&, std::unique_ptr<dov::IFile>)>
        wrapRead;
    std::function<int(const std::string&, std::unique_ptr<dov::IFile>&)> onCreateNew;

    int RenameNoReplace(const std::string& from, const std::string& to) override;
    int Stat(const std::string& path, dov::EntryInfo& out) override;
    int MakeDir(const std::string& path) override;
    int OpenRead(const std::string& path, std::unique_ptr<dov::IFile>& out) override;
    int CreateNew(const std::string& path, std::unique_ptr<dov::IFile>& out) override;
};

}  // namespace renametest
