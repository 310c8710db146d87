// The plan of a direct rename: built once from the edit tree and the disk scope, it is the one
// description of what a run does, in the order the run does it. The run (rename_engine.cpp)
// carries it out; the conflict preview (conflict_preview.cpp) replays it over a picture of the
// disk. Both take every target path from the rules below, so the failures the preview predicts
// are the ones the run meets, as long as nothing else changes the disk.
//
// In run order:
//   1. The folders the user made in the tree, outermost first (the tree walked folder by folder,
//      each folder's sub-items in order). A user-made folder directly under the root ends the
//      list: the run stops there.
//   2. Every item below the root, deepest first (the depth index walked from its last entry).
//      Its source is its path at that moment; its write path is its folder's path at that
//      moment joined with its write name, where the folder is its parent item (the entry's own
//      m_strParentPath directly under the root). A write path that is the same name on disk as
//      the source is no change.
//   Marked among the steps: the moves (an item that goes to another folder than the one it is
//   in on disk) and the folder renames (a folder whose name changes, and with it the paths of
//   everything inside).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/fs.h"

class CMyItem;
class CMyDepthInfo;

namespace dov {

struct PlanFolder {
    enum Kind : std::uint8_t {
        Create,     // a user-made folder to create
        UnderRoot,  // a user-made folder directly under the root: the run stops here
    };
    Kind kind = Create;
    CMyItem* item = nullptr;    // the folder
    CMyItem* parent = nullptr;  // the folder it is in
    int index = 0;              // its place there
};

struct PlanStep {
    CMyItem* item = nullptr;     // nullptr: the depth index has no item at this entry
    int index = 0;               // the entry of the depth index
    bool made = false;           // a user-made folder, created in step 1: nothing to rename
    bool move = false;           // it goes to another folder than the one holding it on disk
    bool renamesFolder = false;  // a folder whose name changes
};

// Why a write path cannot be made (the run traces each in its own words).
enum class PathRule : std::uint8_t { Ok, NoName, NoParent, NoParentPath, NotAbsolute, Root };

// The write path of a step into out (its buffer reused): the item's write name (brought up to
// date) joined to parentPath, the current path of its parent item, or to its own
// m_strParentPath directly under the root (which may be empty for an entry of "/").
PathRule PlanWritePath(CMyItem* item, std::string_view parentPath, std::string& out);
// The path a user-made folder is created at: its write name under parentPath (layer 2 and
// deeper only; an empty write name is refused).
PathRule PlanFolderPath(CMyItem* item, std::string_view parentPath, std::string& out);
// folder + '/' + name into out, "/" + name giving "/name".
void JoinPathInto(std::string& out, std::string_view folder, std::string_view name);

class CRenamePlan {
  public:
    // Fills depth with every item below the root and sorts it (the check before a run: false
    // from Checked() when an item has no usable depth or a sub-item cannot be had, and then
    // nothing else is filled), then lists the folders and the steps. scope: the folders the run
    // may reach (kept by reference); nullptr: those holding the entries under the root, pinned
    // now.
    // tracePath: where the check's trace lines go.
    CRenamePlan(CMyItem* root, CMyDepthInfo& depth, const DiskScope* scope,
                const std::string& tracePath);
    CRenamePlan(const CRenamePlan&) = delete;
    CRenamePlan& operator=(const CRenamePlan&) = delete;

    bool Checked() const { return checked_; }
    CMyItem* Root() const { return root_; }
    CMyDepthInfo& Depth() const { return depth_; }
    const DiskScope& Scope() const { return scope_ ? *scope_ : ownScope_; }
    const std::vector<PlanFolder>& Folders() const { return folders_; }
    const std::vector<PlanStep>& Steps() const { return steps_; }
    // How many steps are marked as moves / folder renames.
    std::size_t Moves() const { return moves_; }
    std::size_t FolderRenames() const { return folderRenames_; }
    // The run stops at the end of the folders (a user-made folder directly under the root).
    bool StopsAtFolders() const {
        return !folders_.empty() && folders_.back().kind != PlanFolder::Create;
    }

  private:
    bool Fill(CMyItem* folder, const std::string& tracePath);
    bool ListFolders(CMyItem* folder);

    CMyItem* root_;
    CMyDepthInfo& depth_;
    const DiskScope* scope_;
    DiskScope ownScope_;
    bool checked_ = false;
    std::vector<PlanFolder> folders_;
    std::vector<PlanStep> steps_;
    std::size_t moves_ = 0, folderRenames_ = 0;
};

}  // namespace dov
