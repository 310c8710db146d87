#include "rename/conflict_preview.h"

#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory_resource>
#include <new>
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
constexpr std::size_t kNoSlot = ~std::size_t{0};

struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

std::uint64_t Load64(const char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
}

std::uint64_t Load32(const char* p) {
    std::uint32_t w;
    std::memcpy(&w, p, 4);
    return w;
}

// No byte of 0x80 or above: the text is its own UTF-8.
bool IsAscii(std::string_view s) {
    const char* p = s.data();
    const std::size_t n = s.size();
    std::uint64_t w = 0;
    if (n >= 8) {
        w = Load64(p + n - 8);
        for (std::size_t k = 0; k + 8 < n; k += 8) w |= Load64(p + k);
    } else if (n >= 4) {
        w = Load32(p) | Load32(p + n - 4);
    } else {
        for (std::size_t k = 0; k < n; ++k) w |= static_cast<unsigned char>(p[k]);
    }
    return (w & 0x8080808080808080u) == 0;
}

// The disk as the run will see it, built lazily from the real one, which is never changed.
// The run reaches the disk as the file-system layer does during an operation: each folder of
// the scope by its path (which must still lead to the folder pinned), everything below through
// real folders only (a link is never entered), with no limit on the whole path. So the picture
// starts at the scope's folders, and its names are keyed by their UTF-8 bytes, as the disk
// compares them.
//
// Every (folder, name) the run has asked about is one slot of a single open-addressed table;
// the names are kept in the picture's own pool, so a slot holds a view of them. Slots are
// never removed: an entry renamed away leaves its slot empty of a node (known to be absent).
class SimDisk {
  public:
    explicit SimDisk(const DiskScope& scope) : scope_(scope) {}

    Result MakeDir(const std::string& path) {
        Node* parent = nullptr;
        std::string_view name;
        if (Result r = Place(path, parent, name, nt_)) return r;
        if (name.size() > kNameMax) return Reason::NameTooLong;
        if (Child(parent, name)) return Reason::Taken;
        Node* made = NewNode(nullptr, {}, kDir);  // made empty by the run
        made->listed = true;
        PutLast(parent, name, made);
        return std::nullopt;
    }

    Result Rename(const std::string& from, const std::string& to) {
        if (IsUnderPath(to, from) && from != "/") return Reason::IntoItself;
        Node* fromDir = nullptr;
        std::string_view nf, nt;
        if (Result r = Place(from, fromDir, nf, nf_)) return r;
        Node* entry = Child(fromDir, nf);
        if (!entry) return Reason::Missing;
        std::size_t fromSlot = lastSlot_;
        const std::uint64_t fromGen = gen_;
        Node* toDir = nullptr;
        if (Result r = Place(to, toDir, nt, nt_)) return r;
        if (nt.size() > kNameMax) return Reason::NameTooLong;
        if (Child(toDir, nt)) return Reason::Taken;
        if (gen_ != fromGen) {  // the table has grown since: the slot has moved
            fromSlot = Find(fromDir, nf, Hash(fromDir, nf));
        }
        slots_[fromSlot].node = nullptr;
        PutLast(toDir, nt, entry);
        // Only a folder that a remembered path runs through makes the memory stale.
        if (entry->walked) {
            dirCache_.clear();
            lastDir_ = nullptr;
        }
        return std::nullopt;
    }

  private:
    enum Type : unsigned char { kUnknown, kDir, kOther };
    struct Node {
        // Where the entry is on the real disk: its folder there and its name (UTF-8); a folder
        // of the scope has its CP932 path as its name instead (folders made by the run have
        // neither).
        Node* up = nullptr;
        const char* name = nullptr;
        std::uint32_t nameLen = 0;
        unsigned probes = 0;
        Type type = kUnknown;  // kDir: a real folder, which the run can go through
        bool listed = false;   // every name of the folder is known
        bool walked = false;   // a remembered folder path runs through it
        bool tooLong = false;  // a folder of the scope whose path is too long to open
        bool root = false;     // a folder of the scope
    };
    struct Slot {
        const Node* dir = nullptr;  // nullptr: a free slot
        const char* name = nullptr;
        std::uint32_t nameLen = 0;
        std::uint32_t hash = 0;  // the upper half of the full hash
        Node* node = nullptr;    // nullptr: known to be absent
    };

    static std::uint64_t Hash(const Node* dir, std::string_view name) {
        constexpr std::uint64_t k = 0x9E3779B97F4A7C15u;
        std::uint64_t h = (reinterpret_cast<std::uintptr_t>(dir) ^ (name.size() << 48)) * k;
        const char* p = name.data();
        std::size_t n = name.size();
        for (; n > 8; p += 8, n -= 8) h = (std::rotl(h, 23) ^ Load64(p)) * k;
        std::uint64_t tail = 0;
        if (n == 8) {
            tail = Load64(p);
        } else if (n >= 4) {
            tail = Load32(p) | (Load32(p + n - 4) << 32);
        } else if (n > 0) {
            tail = static_cast<unsigned char>(p[0]) |
                   (std::uint64_t{static_cast<unsigned char>(p[n / 2])} << 8) |
                   (std::uint64_t{static_cast<unsigned char>(p[n - 1])} << 16);
        }
        return (std::rotl(h, 23) ^ tail) * k;  // the upper bits are used
    }

    std::size_t Find(const Node* dir, std::string_view name, std::uint64_t h) const {
        if (slots_.empty()) return kNoSlot;
        const auto tag = static_cast<std::uint32_t>(h >> 32);
        for (std::size_t i = tag >> shift_;; i = (i + 1) & mask_) {
            const Slot& s = slots_[i];
            if (!s.dir) return kNoSlot;
            if (s.hash == tag && s.dir == dir && s.nameLen == name.size() &&
                std::memcmp(s.name, name.data(), name.size()) == 0)
                return i;
        }
    }

    // Room for n more slots (the table doubles; gen_ tells that slots have moved).
    void Reserve(std::size_t n) {
        if ((used_ + n) * 4 > slots_.size() * 3) Grow(used_ + n);
    }

    void Grow(std::size_t need) {
        std::size_t cap = slots_.size();
        if (cap == 0) cap = 64;
        while (need * 4 > cap * 3) cap *= 2;
        std::vector<Slot> old(cap);
        old.swap(slots_);
        mask_ = cap - 1;
        shift_ = 32 - static_cast<unsigned>(std::countr_zero(cap));
        for (const Slot& s : old) {
            if (!s.dir) continue;
            std::size_t i = s.hash >> shift_;
            while (slots_[i].dir) i = (i + 1) & mask_;
            slots_[i] = s;
        }
        ++gen_;
    }

    // A new slot for a name not in the table (its bytes kept already); its index.
    std::size_t Insert(const Node* dir, const char* name, std::size_t len, std::uint64_t h,
                       Node* node) {
        Reserve(1);
        const auto tag = static_cast<std::uint32_t>(h >> 32);
        std::size_t i = tag >> shift_;
        while (slots_[i].dir) i = (i + 1) & mask_;
        slots_[i] = {dir, name, static_cast<std::uint32_t>(len), tag, node};
        ++used_;
        return i;
    }

    const char* Keep(std::string_view name) {
        if (name.empty()) return "";
        auto* p = static_cast<char*>(pool_.allocate(name.size(), 1));
        std::memcpy(p, name.data(), name.size());
        return p;
    }

    // Puts node at the name Child was last asked about: into its slot, or a new one.
    void PutLast(const Node* dir, std::string_view name, Node* node) {
        if (lastSlot_ != kNoSlot) {
            slots_[lastSlot_].node = node;
        } else {
            Insert(dir, Keep(name), name.size(), lastHash_, node);
        }
    }

    Node* NewNode(Node* up, std::string_view name, Type type) {
        Node* n = new (pool_.allocate(sizeof(Node), alignof(Node))) Node;
        n->up = up;
        n->name = name.data();
        n->nameLen = static_cast<std::uint32_t>(name.size());
        n->type = type;
        return n;
    }

    static bool HasReal(const Node* n) { return n->root || n->up; }

    // The CP932 path of a real entry, with an extra UTF-8 name when given.
    static std::string RealPath(const Node* n, std::string_view extra = {}) {
        std::vector<std::string_view> parts;
        if (!extra.empty()) parts.push_back(extra);
        for (; n && !n->root; n = n->up) parts.push_back({n->name, n->nameLen});
        std::string native;
        for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
            native.push_back('/');
            native.append(*it);
        }
        std::string out = n ? std::string(n->name, n->nameLen) : std::string();
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

    // The entry of a name in a folder (nullptr: none); lastSlot_ gets its slot, or kNoSlot
    // when the name has none yet (lastHash_: the name's hash in that folder).
    Node* Child(Node* dir, std::string_view name) {
        lastSlot_ = kNoSlot;
        const std::uint64_t h = lastHash_ = Hash(dir, name);
        std::size_t i = Find(dir, name, h);
        if (i == kNoSlot && HasReal(dir) && !dir->listed) {
            if (++dir->probes >= kListAfterProbes && List(dir)) {
                i = Find(dir, name, h);
            } else {
                EntryInfo info;
                const bool found = Fs().Stat(RealPath(dir, name), info) == 0;
                const char* kept = Keep(name);
                Node* n =
                    found ? NewNode(dir, {kept, name.size()}, info.isDir ? kDir : kOther) : nullptr;
                i = Insert(dir, kept, name.size(), h, n);
            }
        }
        if (i == kNoSlot) return nullptr;
        lastSlot_ = i;
        return slots_[i].node;
    }

    bool List(Node* dir) {
        std::vector<std::string> names;
        if (Fs().ListNames(RealPath(dir), names) != 0) return false;  // keep probing
        dir->listed = true;
        Reserve(names.size());
        for (const std::string& name : names) {
            // A name already known may have been changed by the run: it stays as it is.
            const std::uint64_t h = Hash(dir, name);
            if (Find(dir, name, h) != kNoSlot) continue;
            const char* kept = Keep(name);
            Insert(dir, kept, name.size(), h, NewNode(dir, {kept, name.size()}, kUnknown));
        }
        return true;
    }

    // The node of a folder of the scope: what its path leads to must be the folder pinned.
    Result RootNode(const ScopeRoot& root, Node*& out) {
        auto it = roots_.find(root.path);
        if (it == roots_.end()) {
            it = roots_.emplace(root.path, nullptr).first;
            Node* n = NewNode(nullptr, it->first, kOther);
            n->root = true;
            EntryInfo info;
            const int e = Fs().StatNamed(root.path, info);
            if (e == 0 && info.isDir && info.device == root.device && info.inode == root.inode)
                n->type = kDir;
            n->tooLong = e == ENAMETOOLONG;
            it->second = n;
        }
        out = it->second;
        if (out->type == kDir) return std::nullopt;
        return out->tooLong ? Reason::PathTooLong : Reason::Missing;
    }

    // The folder holding a CP932 path as the run reaches it, and the path's last element in
    // UTF-8 (a view of the path itself when it is plain ASCII, else of buf).
    Result Place(const std::string& path, Node*& parent, std::string_view& last, std::string& buf) {
        if (path.empty() || path[0] != '/') return Reason::Missing;
        const auto* at = static_cast<const char*>(::memrchr(path.data(), '/', path.size()));
        const auto slash = static_cast<std::size_t>(at - path.data());
        if (slash + 1 >= path.size()) return Reason::Missing;
        last = std::string_view(path).substr(slash + 1);
        if (!IsAscii(last)) {
            auto nat = Cp932ToUtf8(last);
            if (!nat) return Reason::NotConvertible;
            buf = std::move(*nat);
            last = buf;
        }
        const std::string_view key =
            slash == 0 ? std::string_view("/") : std::string_view(path).substr(0, slash);
        // Items of one folder come one after another: the last folder is asked for first.
        if (lastDir_ && key.size() == lastKey_.size() &&
            std::memcmp(key.data(), lastKey_.data(), key.size()) == 0) {
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
        walkedThrough_.clear();
        for (std::size_t p = root->path == "/" ? 1 : root->path.size() + 1; p < key.size();) {
            std::size_t end = key.find('/', p);
            if (end == std::string_view::npos) end = key.size();
            auto part = Cp932ToUtf8(key.substr(p, end - p));
            p = end + 1;
            if (!part) return Reason::NotConvertible;
            cur = Child(cur, *part);
            if (!cur || TypeOf(cur) != kDir) return Reason::Missing;
            walkedThrough_.push_back(cur);
        }
        for (Node* n : walkedThrough_) n->walked = true;
        parent = cur;
        dirCache_.emplace(std::string(key), cur);
        lastKey_.assign(key);
        lastDir_ = parent;
        return std::nullopt;
    }

    const DiskScope& scope_;
    // Every node and kept name lives in the pool and goes with it at once.
    std::pmr::monotonic_buffer_resource pool_;
    std::vector<Slot> slots_;
    std::size_t used_ = 0, mask_ = 0;
    unsigned shift_ = 32;
    std::uint64_t gen_ = 0;           // counts the table's growths
    std::size_t lastSlot_ = kNoSlot;  // set by Child
    std::uint64_t lastHash_ = 0;      // set by Child
    std::map<std::string, Node*, std::less<>> roots_;
    std::unordered_map<std::string, Node*, NameHash, std::equal_to<>> dirCache_;
    std::string lastKey_;
    Node* lastDir_ = nullptr;
    std::vector<Node*> walkedThrough_;
    std::string nf_, nt_;  // the UTF-8 names of the change being replayed, when not ASCII
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
        if (org_.empty()) return item->m_strOrgPath;
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
