#include "rename/conflict_preview.h"

#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <memory_resource>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "common/codepage.h"
#include "common/format.h"
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

// a[0, n) == b[0, n), read as (overlapping) words.
[[gnu::always_inline]] inline bool SameBytes(const char* a, const char* b, std::size_t n) {
    if (n >= 8) {
        for (std::size_t k = 0; k + 8 < n; k += 8)
            if (Load64(a + k) != Load64(b + k)) return false;
        return Load64(a + n - 8) == Load64(b + n - 8);
    }
    if (n >= 4) return Load32(a) == Load32(b) && Load32(a + n - 4) == Load32(b + n - 4);
    for (std::size_t k = 0; k < n; ++k)
        if (a[k] != b[k]) return false;
    return true;
}

// The disk as the run will see it, built lazily from the real one, which is never changed.
// The run reaches the disk as the file-system layer does during an operation: each folder of
// the scope by its path (which must still lead to the folder pinned), everything below through
// real folders only (a link is never entered), with no limit on the whole path. So the picture
// starts at the scope's folders, and its names are keyed by their UTF-8 bytes, as the disk
// compares them.
//
// Every entry the run has asked about is a node holding its place in the picture (its folder
// and name now) and on the real disk. One open-addressed table of 8-byte slots finds a node by
// (folder, name). A name known to be absent from a folder that is not listed has a marker node
// (the disk is asked about it no more); in a listed folder or one the run made, an absent name
// simply has no slot. The names live in the picture's pool.
class SimDisk {
  public:
    explicit SimDisk(const DiskScope& scope) : scope_(scope) {
        NewNode();  // index 0 marks a free slot
    }

    Result MakeDir(const std::string& path) {
        Node* parent = nullptr;
        std::string_view key, name;
        if (Result r = Split(path, key, name, nt_)) return r;
        if (Result r = Folder(key, parent)) return r;
        if (name.size() > kNameMax) return Reason::NameTooLong;
        if (Child(parent, name)) return Reason::Taken;
        Node* made = NewNode();  // made empty by the run: no place on the real disk
        made->type = kDir;
        made->listed = true;
        PutLast(parent, name, made);
        return std::nullopt;
    }

    Result Rename(const std::string& from, const std::string& to) {
        if (to.size() > from.size() && to[from.size()] == '/' && from != "/" &&
            IsUnderPath(to, from))
            return Reason::IntoItself;
        Node* fromDir = nullptr;
        std::string_view nf, nt, fromKey, toKey;
        if (Result r = Split(from, fromKey, nf, nf_)) return r;
        if (Result r = Folder(fromKey, fromDir)) return r;
        Node* entry = Child(fromDir, nf);
        if (!entry) return Reason::Missing;
        const std::uint32_t fromTag = Tag(lastHash_);
        Node* toDir = fromDir;  // most renames stay in their folder
        if (Result r = Split(to, toKey, nt, nt_)) return r;
        if (toKey.size() != fromKey.size() ||
            !SameBytes(toKey.data(), fromKey.data(), toKey.size())) {
            if (Result r = Folder(toKey, toDir)) return r;
        }
        if (nt.size() > kNameMax) return Reason::NameTooLong;
        if (Child(toDir, nt)) return Reason::Taken;
        // Any growth of the table comes first, while no slot is remembered but Child's.
        if (lastSlot_ == kNoSlot) Reserve(1);
        const std::size_t fromSlot = SlotOf(fromTag, entry->self);
        if (HasReal(fromDir) && !fromDir->listed) {
            // The disk still has the old name there: the picture must remember it is gone.
            Node* gone = NewNode();
            gone->absent = true;
            gone->dir = fromDir->self;
            gone->key = entry->key;
            gone->keyLen = entry->keyLen;
            slots_[fromSlot].node = gone->self;
        } else if (lastSlot_ != kNoSlot) {
            // Freeing the old slot may move the one of the new name: it is found again.
            const Slot to = slots_[lastSlot_];
            Erase(fromSlot);
            lastSlot_ = SlotOf(to.tag, to.node);
        } else {
            Erase(fromSlot);
        }
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
    static constexpr std::uint32_t kNone = 0;
    struct Node {
        // Its place in the picture: its folder there and its name (UTF-8).
        const char* key;
        // Its place on the real disk: its name in its real folder (UTF-8), or the CP932 path of
        // a folder of the scope (nothing for a folder the run made).
        const char* real;
        std::uint32_t keyLen, realLen;
        std::uint32_t dir, up, self;
        Type type;  // kDir: a real folder, which the run can go through
        unsigned char probes;
        bool absent;   // a marker: no entry of this name there
        bool listed;   // every name of the folder is known
        bool walked;   // a remembered folder path runs through it
        bool tooLong;  // a folder of the scope whose path is too long to open
        bool root;     // a folder of the scope
    };
    struct Slot {
        std::uint32_t tag = 0;   // the upper half of the hash of (folder, name)
        std::uint32_t node = 0;  // kNone: a free slot
    };
    static constexpr unsigned kChunkBits = 12;

    static std::uint32_t Tag(std::uint64_t h) { return static_cast<std::uint32_t>(h >> 32); }

    static std::uint64_t Hash(std::uint32_t dir, std::string_view name) {
        constexpr std::uint64_t k = 0x9E3779B97F4A7C15u;
        const char* p = name.data();
        const std::size_t n = name.size();
        std::uint64_t h = (dir ^ (std::uint64_t{n} << 40)) * k;
        std::uint64_t tail = 0;
        if (n >= 8) {
            for (std::size_t at = 0; at + 8 < n; at += 8)
                h = (std::rotl(h, 23) ^ Load64(p + at)) * k;
            tail = Load64(p + n - 8);  // overlapping the last word when n is not a multiple of 8
        } else if (n >= 4) {
            tail = Load32(p) | (Load32(p + n - 4) << 32);
        } else if (n > 0) {
            tail = static_cast<unsigned char>(p[0]) |
                   (std::uint64_t{static_cast<unsigned char>(p[n / 2])} << 8) |
                   (std::uint64_t{static_cast<unsigned char>(p[n - 1])} << 16);
        }
        return (std::rotl(h, 23) ^ tail) * k;  // the upper bits are used
    }

    Node* At(std::uint32_t i) const { return &chunks_[i >> kChunkBits][i & kChunkMask]; }
    static constexpr std::uint32_t kChunkMask = (1u << kChunkBits) - 1;

    static bool SameName(const Node* n, std::string_view name) {
        return n->keyLen == name.size() && SameBytes(n->key, name.data(), name.size());
    }

    // The slot of (dir, name), or kNoSlot; free (when given) gets the free slot where the
    // name would go.
    std::size_t Find(std::uint32_t dir, std::string_view name, std::uint64_t h,
                     std::size_t* free = nullptr) const {
        if (slots_.empty()) return kNoSlot;
        const std::uint32_t tag = Tag(h);
        for (std::size_t i = tag >> shift_;; i = (i + 1) & mask_) {
            const Slot& s = slots_[i];
            if (s.node == kNone) {
                if (free) *free = i;
                return kNoSlot;
            }
            if (s.tag == tag) {
                const Node* n = At(s.node);
                if (n->dir == dir && SameName(n, name)) return i;
            }
        }
    }

    // Room for n more slots: the table is kept at most half full (it doubles).
    [[gnu::always_inline]] void Reserve(std::size_t n) {
        if ((used_ + n) * 2 > slots_.size()) Grow(used_ + n);
    }

    void Grow(std::size_t need) {
        std::size_t cap = slots_.size();
        if (cap == 0) cap = 64;
        while (need * 2 > cap) cap *= 2;
        std::vector<Slot> old(cap);
        old.swap(slots_);
        mask_ = cap - 1;
        shift_ = 32 - static_cast<unsigned>(std::countr_zero(cap));
        for (const Slot& s : old) {
            if (s.node == kNone) continue;
            std::size_t i = s.tag >> shift_;
            while (slots_[i].node != kNone) i = (i + 1) & mask_;
            slots_[i] = s;
        }
    }

    // A new slot for a name not in the table; its index.
    std::size_t Insert(std::uint64_t h, Node* node) {
        Reserve(1);
        const std::uint32_t tag = Tag(h);
        std::size_t i = tag >> shift_;
        while (slots_[i].node != kNone) i = (i + 1) & mask_;
        slots_[i] = {tag, node->self};
        ++used_;
        return i;
    }

    // Frees slot i, moving back the slots after it that would no longer be found.
    void Erase(std::size_t i) {
        for (std::size_t j = (i + 1) & mask_; slots_[j].node != kNone; j = (j + 1) & mask_) {
            // slots_[j] moves to i unless its home lies cyclically in (i, j].
            const std::size_t home = slots_[j].tag >> shift_;
            if (((j - home) & mask_) >= ((j - i) & mask_)) {
                slots_[i] = slots_[j];
                i = j;
            }
        }
        slots_[i] = {};
        --used_;
    }

    const char* Keep(std::string_view name) {
        if (name.empty()) return "";
        auto* p = static_cast<char*>(pool_.allocate(name.size(), 1));
        std::memcpy(p, name.data(), name.size());
        return p;
    }

    // The slot that holds node (every node is in one slot at most).
    std::size_t SlotOf(std::uint32_t tag, std::uint32_t node) const {
        std::size_t i = tag >> shift_;
        while (slots_[i].node != node) i = (i + 1) & mask_;
        return i;
    }

    // Gives node the name Child was last asked about in dir: into its slot (where the name is
    // known to be absent), or a new one.
    void PutLast(const Node* dir, std::string_view name, Node* node) {
        node->dir = dir->self;
        if (lastSlot_ != kNoSlot) {
            const Node* marker = At(slots_[lastSlot_].node);
            node->key = marker->key;
            node->keyLen = marker->keyLen;
            slots_[lastSlot_].node = node->self;
        } else {
            node->key = Keep(name);
            node->keyLen = static_cast<std::uint32_t>(name.size());
            Insert(lastHash_, node);
        }
    }

    void AddChunk() {
        chunks_.push_back(std::make_unique_for_overwrite<Node[]>(std::size_t{1} << kChunkBits));
    }

    [[gnu::always_inline]] Node* NewNode() {
        const std::uint32_t i = count_++;
        if ((i & kChunkMask) == 0) AddChunk();
        Node* n = At(i);
        *n = Node{nullptr,  nullptr, 0,     0,     kNone, kNone, i,
                  kUnknown, 0,       false, false, false, false, false};
        return n;
    }

    // A node found on the real disk in dir under name (kept already), absent or present.
    Node* RealNode(const Node* dir, const char* name, std::size_t len, bool absent, Type type) {
        Node* n = NewNode();
        n->dir = dir->self;
        n->key = name;
        n->keyLen = static_cast<std::uint32_t>(len);
        n->absent = absent;
        if (!absent) {
            n->up = dir->self;
            n->real = name;
            n->realLen = static_cast<std::uint32_t>(len);
            n->type = type;
        }
        return n;
    }

    static bool HasReal(const Node* n) { return n->root || n->up != kNone; }

    // The CP932 path of a real entry, with an extra UTF-8 name when given.
    std::string RealPath(const Node* n, std::string_view extra = {}) const {
        std::vector<std::string_view> parts;
        if (!extra.empty()) parts.push_back(extra);
        for (; n && !n->root; n = n->up == kNone ? nullptr : At(n->up))
            parts.push_back({n->real, n->realLen});
        std::string native;
        for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
            native.push_back('/');
            native.append(*it);
        }
        std::string out = n ? std::string(n->real, n->realLen) : std::string();
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

    // The entry of a name in a folder (nullptr: none); lastSlot_ gets its slot (which may hold
    // a marker of its absence), or kNoSlot when the name has none (lastHash_: the hash of the
    // name in that folder).
    Node* Child(Node* dir, std::string_view name) {
        lastSlot_ = kNoSlot;
        const std::uint64_t h = lastHash_ = Hash(dir->self, name);
        std::size_t i = Find(dir->self, name, h);
        if (i == kNoSlot && HasReal(dir) && !dir->listed) {
            if (dir->probes < kListAfterProbes) ++dir->probes;
            if (dir->probes >= kListAfterProbes && List(dir)) {
                i = Find(dir->self, name, h);
            } else {
                EntryInfo info;
                const bool found = Fs().Stat(RealPath(dir, name), info) == 0;
                i = Insert(
                    h, RealNode(dir, Keep(name), name.size(), !found, info.isDir ? kDir : kOther));
            }
        }
        if (i == kNoSlot) return nullptr;
        lastSlot_ = i;
        Node* n = At(slots_[i].node);
        return n->absent ? nullptr : n;
    }

    bool List(Node* dir) {
        std::vector<std::string> names;
        if (Fs().ListNames(RealPath(dir), names) != 0) return false;  // keep probing
        dir->listed = true;
        Reserve(names.size());
        std::size_t bytes = 0;
        for (const std::string& name : names) bytes += name.size();
        char* kept = bytes ? static_cast<char*>(pool_.allocate(bytes, 1)) : nullptr;
        for (const std::string& name : names) {
            // A name already known may have been changed by the run: it stays as it is.
            const std::uint64_t h = Hash(dir->self, name);
            std::size_t free = kNoSlot;
            if (Find(dir->self, name, h, &free) != kNoSlot) continue;
            std::memcpy(kept, name.data(), name.size());
            Node* n = RealNode(dir, kept, name.size(), false, kUnknown);
            kept += name.size();
            slots_[free] = {Tag(h), n->self};
            ++used_;
        }
        return true;
    }

    // The node of a folder of the scope: what its path leads to must be the folder pinned.
    Result RootNode(const ScopeRoot& root, Node*& out) {
        auto it = roots_.find(root.path);
        if (it == roots_.end()) {
            it = roots_.emplace(root.path, nullptr).first;
            Node* n = NewNode();
            n->root = true;
            n->type = kOther;
            n->real = it->first.data();
            n->realLen = static_cast<std::uint32_t>(it->first.size());
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

    // A CP932 path cut into its folder's path and its last element in UTF-8 (a view of the path
    // itself when it is plain ASCII, else of buf).
    static Result Split(const std::string& path, std::string_view& key, std::string_view& last,
                        std::string& buf) {
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
        key = slash == 0 ? std::string_view("/") : std::string_view(path).substr(0, slash);
        return std::nullopt;
    }

    // The folder of a CP932 path (key, from Split) as the run reaches it.
    Result Folder(std::string_view key, Node*& parent) {
        // Items of one folder come one after another: the last folder is asked for first.
        if (lastDir_ && key.size() == lastKey_.size() &&
            SameBytes(key.data(), lastKey_.data(), key.size())) {
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
    std::pmr::monotonic_buffer_resource pool_;  // every kept name
    std::vector<std::unique_ptr<Node[]>> chunks_;
    std::uint32_t count_ = 0;
    std::vector<Slot> slots_;
    std::size_t used_ = 0, mask_ = 0;
    unsigned shift_ = 32;
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
