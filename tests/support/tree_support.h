// Finding and editing items of an edit tree in tests, each function saying by which name.
#pragma once

#include <string>

class CMyItem;

namespace dovtest {

// The sub-item of folder with this new name / this original name (nullptr if none).
CMyItem* ByNewName(CMyItem* folder, const std::string& newName);
CMyItem* ByOrgName(CMyItem* folder, const std::string& orgName);
// Walks a '/'-separated chain of new names from folder.
CMyItem* AtNewNames(CMyItem* folder, const std::string& chain);
// Sets an item's new name and brings its write name up to date.
void SetNewName(CMyItem* item, const std::string& newName);

}  // namespace dovtest
