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
#include "support/fake_fs.h"
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

using dovtest::FaultFs;

}  // namespace renametest
