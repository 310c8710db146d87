#include "rename/conflict_preview.h"

#include <cerrno>
#include <deque>
#include <map>
#include <memory_resource>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "common/codepage.h"
#include "common/fs.h"
#include "common/paths.h"
#include "common/pathtext.h"
#include "common/trace.h"
#include "model/item.h"
#include "rename/depth_info.h"
#include "rename/rename_plan.h"

namespace dov {
namespace {

using Reason = ConflictReason;
using Result = std::optional<Reason>;  // nullopt: the change succeeds

constexpr std::size_t kNameMax = 255;
// A folder asked about this many times is listed once rather than probed name by name.
constexpr unsigned kListAfterProbes = 16;

struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

// The disk as the run will see it, built lazily from the real one, which is never changed.
// The run reaches the disk as the file-system layer does during an operation: each folder of
// the scope by its path (which must still lead to the folder pinned), everything below through
// real folders only (a link is never entered), with no limit on the whole path. So the picture
// starts at the scope's folders, and its names are keyed by their UTF-8 bytes, as the disk
// compares them.
class SimDisk {
  public:
    explicit SimDisk(const DiskScope& scope) : scope_(scope) {}

    Result MakeDir(const std::string& path) {
        Node* parent = nullptr;
        if (Result r = Place(path, parent, nt_)) return r;
        if (nt_.size() > kNameMax) return Reason::NameTooLong;
        if (Child(parent, nt_)) return Reason::Taken;
        Node* made = NewNode(nullptr, {}, kDir);  // made empty by the run
        made->listed = true;
        if (lastSlot_) {
            *lastSlot_ = made;
        } else {
            parent->kids.emplace(nt_, made);
        }
        return std::nullopt;
    }

    Result Rename(const std::string& from, const std::string& to) {
        if (IsUnderPath(to, from) && from != "/") return Reason::IntoItself;
        Node* fromDir = nullptr;
        if (Result r = Place(from, fromDir, nf_)) return r;
        Node* entry = Child(fromDir, nf_);
        if (!entry) return Reason::Missing;
        Node** fromSlot = lastSlot_;
        Node* toDir = nullptr;
        if (Result r = Place(to, toDir, nt_)) return r;
        if (nt_.size() > kNameMax) return Reason::NameTooLong;
        if (Child(toDir, nt_)) return Reason::Taken;
        *fromSlot = nullptr;  // map nodes stay where they are while others are added
        if (lastSlot_) {
            *lastSlot_ = entry;
        } else {
            toDir->kids.emplace(nt_, entry);
        }
        // Only a folder that a remembered path runs through makes the memory stale.
        if (entry->walked) {
            dirCache_.clear();
            lastDir_ = nullptr;
        }
        return std::nullopt;
    }

  private:
    enum Type : unsigned char { kUnknown, kDir, kOther };
    struct Node;
    using Kids = std::pmr::unordered_map<std::pmr::string, Node*, NameHash, std::equal_to<>>;
    struct Node {
        explicit Node(std::pmr::memory_resource* pool) : kids(pool) {}
        // Where the entry is on the real disk: its folder there and its name (UTF-8) in that
        // folder's map; a folder of the scope has its path instead (folders made by the run
        // have neither).
        Node* up = nullptr;
        std::string_view name;
        const std::string* rootPath = nullptr;
        Type type = kUnknown;  // kDir: a real folder, which the run can go through
        bool listed = false;   // every name of the folder is known
        bool walked = false;   // a remembered folder path runs through it
        bool tooLong = false;  // a folder of the scope whose path is too long to open
        unsigned probes = 0;
        Kids kids;  // nullptr: known to be absent
    };

    Node* NewNode(Node* up, std::string_view name, Type type) {
        Node& n = nodes_.emplace_back(&pool_);
        n.up = up;
        n.name = name;
        n.type = type;
        return &n;
    }

    static bool HasReal(const Node* n) { return n->rootPath || n->up; }

    // The CP932 path of a real entry, with an extra UTF-8 name when given.
    static std::string RealPath(const Node* n, std::string_view extra = {}) {
        std::vector<std::string_view> parts;
        if (!extra.empty()) parts.push_back(extra);
        for (; n && !n->rootPath; n = n->up) parts.push_back(n->name);
        std::string native;
        for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
            native.push_back('/');
            native.append(*it);
        }
        std::string out = n ? *n->rootPath : std::string();
        if (out == "/" && !native.empty()) out.clear();
        out += *Utf8ToCp932(native);
        return out;
    }

    Type TypeOf(Node* n) {
        if (n->type == kUnknown) {
            EntryInfo info;
            n->type = Fs().Stat(RealPath(n), info) == 0 && info.isDir ? kDir : kOther;
        }
        return n->type;
    }

    // The entry of a name in a folder (nullptr: none); lastSlot_ gets its place in the
    // folder's map, or nullptr when the name has none yet.
    Node* Child(Node* dir, std::string_view natName) {
        lastSlot_ = nullptr;
        auto it = dir->kids.find(natName);
        if (it == dir->kids.end() && HasReal(dir) && !dir->listed) {
            if (++dir->probes >= kListAfterProbes && List(dir)) {
                it = dir->kids.find(natName);
            } else {
                EntryInfo info;
                const bool found = Fs().Stat(RealPath(dir, natName), info) == 0;
                it = dir->kids.emplace(natName, nullptr).first;
                if (found) it->second = NewNode(dir, it->first, info.isDir ? kDir : kOther);
            }
        }
        if (it == dir->kids.end()) return nullptr;
        lastSlot_ = &it->second;
        return it->second;
    }

    bool List(Node* dir) {
        std::vector<std::string> names;
        if (Fs().ListNames(RealPath(dir), names) != 0) return false;  // keep probing
        dir->listed = true;
        dir->kids.reserve(dir->kids.size() + names.size());
        for (std::string& name : names) {
            // A name already known may have been changed by the run: it stays as it is.
            auto [it, fresh] = dir->kids.emplace(name, nullptr);
            if (fresh) it->second = NewNode(dir, it->first, kUnknown);
        }
        return true;
    }

    // The node of a folder of the scope: what its path leads to must be the folder pinned.
    Result RootNode(const ScopeRoot& root, Node*& out) {
        auto it = roots_.find(root.path);
        if (it == roots_.end()) {
            Node* n = NewNode(nullptr, {}, kOther);
            EntryInfo info;
            const int e = Fs().StatNamed(root.path, info);
            if (e == 0 && info.isDir && info.device == root.device && info.inode == root.inode)
                n->type = kDir;
            n->tooLong = e == ENAMETOOLONG;
            it = roots_.emplace(root.path, n).first;
            n->rootPath = &it->first;
        }
        out = it->second;
        if (out->type == kDir) return std::nullopt;
        return out->tooLong ? Reason::PathTooLong : Reason::Missing;
    }

    // The folder holding a CP932 path as the run reaches it, and the path's last element in
    // UTF-8 (into natLast).
    Result Place(const std::string& path, Node*& parent, std::string& natLast) {
        const std::size_t slash = path.rfind('/');
        if (path.empty() || path[0] != '/' || slash + 1 >= path.size()) return Reason::Missing;
        auto nat = Cp932ToUtf8(std::string_view(path).substr(slash + 1));
        if (!nat) return Reason::NotConvertible;
        natLast = std::move(*nat);
        const std::string_view key =
            slash == 0 ? std::string_view("/") : std::string_view(path).substr(0, slash);
        // Items of one folder come one after another: the last folder is asked for first.
        if (lastDir_ && key == lastKey_) {
            parent = lastDir_;
            return std::nullopt;
        }
        if (auto it = dirCache_.find(key); it != dirCache_.end()) {
            parent = it->second;
            lastKey_.assign(key);
            lastDir_ = parent;
            return std::nullopt;
        }
        const ScopeRoot* root = scope_.RootOf(key);
        if (!root) return Reason::Missing;  // outside the scope nothing is reached
        Node* cur = nullptr;
        if (Result r = RootNode(*root, cur)) return r;
        std::vector<Node*> walkedThrough;
        for (std::size_t p = root->path == "/" ? 1 : root->path.size() + 1; p < key.size();) {
            std::size_t end = key.find('/', p);
            if (end == std::string_view::npos) end = key.size();
            auto part = Cp932ToUtf8(key.substr(p, end - p));
            p = end + 1;
            if (!part) return Reason::NotConvertible;
            cur = Child(cur, *part);
            if (!cur || TypeOf(cur) != kDir) return Reason::Missing;
            walkedThrough.push_back(cur);
        }
        for (Node* n : walkedThrough) n->walked = true;
        parent = cur;
        dirCache_.emplace(std::string(key), cur);
        lastKey_.assign(key);
        lastDir_ = parent;
        return std::nullopt;
    }

    const DiskScope& scope_;
    // Every node and name lives in the pool and goes with it at once.
    std::pmr::monotonic_buffer_resource pool_;
    std::pmr::deque<Node> nodes_{&pool_};
    std::map<std::string, Node*, std::less<>> roots_;
    Node** lastSlot_ = nullptr;  // set by Child
    std::unordered_map<std::string, Node*, NameHash, std::equal_to<>> dirCache_;
    std::string lastKey_;
    Node* lastDir_ = nullptr;
    std::string nf_, nt_;  // the UTF-8 names of the change being replayed
};

// The plan, replayed over SimDisk without touching the items' paths.
class Predictor {
  public:
    Predictor(const CRenamePlan& plan, const std::function<bool()>& giveUp)
        : plan_(plan), giveUp_(giveUp), disk_(plan.Scope()) {}

    ConflictPrediction Run() {
        // The name check refuses the whole run before anything else: list what it refuses.
        Refused(plan_.Root());
        if (!out_.failures.empty()) return std::move(out_);
        if (!plan_.Checked() || !MakeFolders()) {
            out_.stops = true;
            return std::move(out_);
        }
        std::string writePath;
        for (const PlanStep& step : plan_.Steps()) {
            if (giveUp_ && step.index % 1024 == 0 && giveUp_()) {
                out_.abandoned = true;
                break;
            }
            CMyItem* item = step.item;
            if (!item || step.made) continue;
            const CMyItem* parent = item->m_pParent;
            if (PlanWritePath(item, parent ? std::string_view(Org(parent)) : "", writePath) !=
                PathRule::Ok)
                continue;
            const std::string& path = Org(item);
            if (path == writePath) continue;
            Result r;
            // The same name on disk is no change: the run renames nothing there either.
            if (!SameOnDisk(path, writePath)) r = disk_.Rename(path, writePath);
            if (r) {
                out_.failures.push_back({item, *r, path, writePath, false});
            } else if (item->m_bIsFolder) {
                // Only a folder's path is looked up again (by the items it holds).
                org_[item] = writePath;
            }
        }
        return std::move(out_);
    }

  private:
    const std::string& Org(const CMyItem* item) const {
        auto it = org_.find(item);
        return it != org_.end() ? it->second : item->m_strOrgPath;
    }

    void Refused(CMyItem* folder) {
        const int n = static_cast<int>(folder->m_dwNumInFolder);
        for (int i = 0; i < n; ++i) {
            CMyItem* item = folder->GetSubItem(i);
            if (!item) return;
            if (item->NameRefused()) {
                item->UpdateWriteName();
                out_.failures.push_back({item, Reason::Refused, item->m_strOrgPath,
                                         JoinPath(item->m_strParentPath, item->m_strWriteName),
                                         false});
            }
            if (item->m_bIsFolder) Refused(item);
        }
    }

    bool MakeFolders() {
        std::string path;
        for (const PlanFolder& f : plan_.Folders()) {
            CMyItem* item = f.item;
            if (f.kind == PlanFolder::UnderRoot) {
                out_.failures.push_back({item, Reason::NotFolder, {}, item->m_strNewName, true});
                return false;
            }
            path.clear();
            Result r = Reason::Other;
            switch (PlanFolderPath(item, Org(f.parent), path)) {
                case PathRule::Ok:
                    r = disk_.MakeDir(path);
                    break;
                case PathRule::Root:
                    r = Reason::NotFolder;
                    break;
                default:
                    break;
            }
            if (r) {
                out_.failures.push_back({item, *r, {}, path, true});
                return false;
            }
            org_[item] = path;
        }
        return true;
    }

    const CRenamePlan& plan_;
    const std::function<bool()>& giveUp_;
    SimDisk disk_;
    std::unordered_map<const CMyItem*, std::string> org_;  // folder paths the run has changed
    ConflictPrediction out_;
};

}  // namespace

const char* ConflictReasonText(ConflictReason reason) {
    switch (reason) {
        case Reason::Taken:
            return "taken";
        case Reason::Missing:
            return "missing";
        case Reason::NameTooLong:
            return "name too long";
        case Reason::PathTooLong:
            return "path too long";
        case Reason::NotConvertible:
            return "not convertible";
        case Reason::IntoItself:
            return "into itself";
        case Reason::NotFolder:
            return "cannot be created";
        case Reason::Refused:
            return "refused name";
        case Reason::Other:
            break;
    }
    return "other";
}

ConflictPrediction PredictConflicts(const CRenamePlan& plan, const std::function<bool()>& giveUp) {
    if (!plan.Root()) return {{}, true};
    if (giveUp && giveUp()) return {{}, false, true};
    // The disk is read as the run reaches it: below the plan's folders, through handles.
    OperationScope operation(plan.Scope());
    return Predictor(plan, giveUp).Run();
}

ConflictPrediction PredictConflicts(CMyItem* root, const std::function<bool()>& giveUp,
                                    const DiskScope* scope) {
    if (!root) return {{}, true};
    if (giveUp && giveUp()) return {{}, false, true};
    CMyDepthInfo depth(root->m_strTracePath);
    const CRenamePlan plan(
        root, depth, scope,
        root->m_strTracePath.empty() ? DefaultTracePath() : root->m_strTracePath);
    return PredictConflicts(plan, giveUp);
}

}  // namespace dov
