// Finding and editing items of an edit tree in tests, each function saying by which name.
#pragma once

#include <memory>
#include <string>

#include "model/item.h"
#include "support/test_support.h"

namespace dovtest {

// What the tree tests start from: a temporary folder, a recording host, the program folder's
// trace file (emptied) and a fresh root with the automatic index on.
struct TreeFixture {
    TempDir tmp;
    RecordingHost host;
    std::string trace;
    std::unique_ptr<CMyItem> root;

    TreeFixture();
    std::string TraceText() const { return tmp.ReadFile("home/DataTrace.txt"); }
};

// The sub-item of folder with this new name / this original name (nullptr if none).
CMyItem* ByNewName(CMyItem* folder, const std::string& newName);
CMyItem* ByOrgName(CMyItem* folder, const std::string& orgName);
// Walks a '/'-separated chain of new names / of original names from folder.
CMyItem* AtNewNames(CMyItem* folder, const std::string& chain);
CMyItem* AtOrgNames(CMyItem* folder, const std::string& chain);
// Sets an item's new name and brings its write name up to date.
void SetNewName(CMyItem* item, const std::string& newName);

}  // namespace dovtest
