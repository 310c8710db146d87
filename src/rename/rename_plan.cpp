#include "rename/rename_plan.h"

#include <cstring>

#include "common/pathtext.h"
#include "common/trace.h"
#include "model/item.h"
#include "rename/depth_info.h"
#include "rename/rename_engine.h"

namespace dov {

void JoinPathInto(std::string& out, std::string_view folder, std::string_view name) {
    const std::size_t slash = folder.empty() || folder.back() != '/' ? 1 : 0;
    out.resize(folder.size() + slash + name.size());  // the buffer is kept when large enough
    char* p = out.data();
    if (!folder.empty()) std::memcpy(p, folder.data(), folder.size());
    p += folder.size();
    if (slash) *p++ = '/';
    if (!name.empty()) std::memcpy(p, name.data(), name.size());
}

PathRule PlanWritePath(CMyItem* item, std::string_view parentPath, std::string& out) {
    item->UpdateWriteName();
    if (item->m_iLayer == 0) return PathRule::Root;
    std::string_view folder;
    if (item->m_iLayer == 1) {
        // An entry of "/" has an empty parent path; anything else must be absolute, so that a
        // rename never depends on the current directory.
        folder = item->m_strParentPath;
        if (!folder.empty() && !IsAbsolutePath(folder)) return PathRule::NotAbsolute;
    } else {
        if (!item->m_pParent) return PathRule::NoParent;
        folder = parentPath;
        if (!IsAbsolutePath(folder)) return PathRule::NotAbsolute;
    }
    JoinPathInto(out, folder, item->m_strWriteName);
    return PathRule::Ok;
}

PathRule PlanFolderPath(CMyItem* item, std::string_view parentPath, std::string& out) {
    item->UpdateWriteName();
    if (item->m_strWriteName.empty()) return PathRule::NoName;
    if (item->m_iLayer < 2) return PathRule::Root;
    if (!item->m_pParent) return PathRule::NoParent;
    if (parentPath.empty()) return PathRule::NoParentPath;
    if (!IsAbsolutePath(parentPath)) return PathRule::NotAbsolute;
    JoinPathInto(out, parentPath, item->m_strWriteName);
    return PathRule::Ok;
}

CRenamePlan::CRenamePlan(CMyItem* root, CMyDepthInfo& depth, const DiskScope* scope,
                         const std::string& tracePath)
    : root_(root), depth_(depth), scope_(scope) {
    depth_.ResetIndex();
    if (!root_) return;
    if (!scope_) ownScope_ = ScopeOfTree(root_);
    if (!Fill(root_, tracePath) || !depth_.SortByDepth()) return;
    checked_ = true;
    ListFolders(root_);
    const int n = depth_.GetItemNum();
    steps_.reserve(static_cast<std::size_t>(n));
    for (int index = n - 1; index >= 0; --index) {
        PlanStep step;
        step.index = index;
        step.item = depth_.m_arItem[static_cast<std::size_t>(index)];
        if (CMyItem* item = step.item) {
            step.made = item->m_bIsFolder && item->m_bUserMakeFold;
            if (!step.made && item->m_iLayer >= 2 && item->m_pParent) {
                const std::string_view path = item->m_strOrgPath;
                const auto* at =
                    path.empty()
                        ? nullptr
                        : static_cast<const char*>(::memrchr(path.data(), '/', path.size()));
                step.move = !at || path.substr(0, static_cast<std::size_t>(at - path.data())) !=
                                       item->m_pParent->m_strOrgPath;
            }
            if (item->m_bIsFolder && !step.made) {
                item->UpdateWriteName();
                step.renamesFolder = item->m_strWriteName != item->m_strOrgName;
            }
            moves_ += step.move;
            folderRenames_ += step.renamesFolder;
        }
        steps_.push_back(step);
    }
}

bool CRenamePlan::Fill(CMyItem* folder, const std::string& tracePath) {
    const int n = static_cast<int>(folder->m_dwNumInFolder);
    for (int i = 0; i < n; ++i) {
        CMyItem* item = folder->GetSubItem(i);
        if (!item) {
            if (folder == root_) {
                TraceF(tracePath, "※　ルートのサブアイテム[%d]の取得に失敗 PreRenameCheck()\n", i);
            } else {
                TraceF(tracePath,
                       "※　アイテム=\"%s\" のサブアイテム[%d]の取得に失敗 CheckSubItemDepth()\n",
                       folder->m_strNewName.c_str(), i);
            }
            return false;
        }
        if (!depth_.SetAndCheckItem(item)) return false;
        if (item->m_bIsFolder && !Fill(item, tracePath)) return false;
    }
    return true;
}

bool CRenamePlan::ListFolders(CMyItem* folder) {
    const int n = static_cast<int>(folder->m_dwNumInFolder);
    for (int i = 0; i < n; ++i) {
        CMyItem* item = folder->GetSubItem(i);  // every one is there: Fill has seen them
        if (folder == root_ && item->m_bUserMakeFold) {
            folders_.push_back({PlanFolder::UnderRoot, item, folder, i});
            return false;
        }
        if (!item->m_bIsFolder) continue;  // user-made files are never created on disk
        if (item->m_bUserMakeFold) folders_.push_back({PlanFolder::Create, item, folder, i});
        if (!ListFolders(item)) return false;
    }
    return true;
}

}  // namespace dov
