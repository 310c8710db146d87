// A small edit tree for the name-editing tests: a root in its own temporary folder, and
// helpers that add files and folders with a given name.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "common/trace.h"
#include "model/item.h"
#include "support/test_support.h"

namespace edittest {

// Records the list rows and folder labels that an operation redraws.
class Host : public dovtest::RecordingHost {
  public:
    void ListRowChanged(int row) override { rows.push_back(row); }
    void TreeFolderChanged(CMyItem* folder) override { labels.push_back(folder); }
    std::vector<int> rows;
    std::vector<CMyItem*> labels;
};

class Tree {
  public:
    explicit Tree(bool autoIndex = false)
        : root_(MakeRootItem(dov::DefaultTracePath(), autoIndex)) {}

    CMyItem* root() const { return root_.get(); }
    std::string TracePath() const { return dov::DefaultTracePath(); }
    std::string TraceText() const { return dovtest::ReadNative(tmp_.home() + "/DataTrace.txt"); }

    CMyItem* File(const std::string& name, CMyItem* parent = nullptr) {
        CMyItem* it = (parent ? parent : root_.get())->MakeSubFile();
        Name(it, name);
        return it;
    }
    CMyItem* Folder(const std::string& name, CMyItem* parent = nullptr) {
        CMyItem* it = (parent ? parent : root_.get())->MakeSubFold();
        Name(it, name);
        return it;
    }
    std::vector<CMyItem*> Files(const std::vector<std::string>& names) {
        std::vector<CMyItem*> v;
        for (const std::string& n : names) v.push_back(File(n));
        return v;
    }

  private:
    static void Name(CMyItem* it, const std::string& name) {
        if (!it) return;
        it->m_strOrgName = name;
        it->m_strNewName = name;
        const auto dot = name.rfind('.');
        it->m_strOrgExt = dot == std::string::npos ? std::string() : name.substr(dot + 1);
        it->UpdateWriteName();
    }

    dovtest::TempDir tmp_;  // first: DOVRETH_HOME is set before the root takes the trace path
    std::unique_ptr<CMyItem> root_;
};

inline std::vector<std::string> NewNames(const std::vector<CMyItem*>& items) {
    std::vector<std::string> v;
    for (const CMyItem* it : items) v.push_back(it->m_strNewName);
    return v;
}

}  // namespace edittest
