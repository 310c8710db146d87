#include "rename/conflict_preview.h"

#include <climits>
#include <deque>
#include <memory_resource>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "common/codepage.h"
#include "common/fs.h"
#include "common/paths.h"
#include "common/pathtext.h"
#include "model/item.h"
#include "rename/depth_info.h"

namespace dov {
namespace {

using Reason = ConflictReason;
using Result = std::optional<Reason>;  // nullopt: the change succeeds

constexpr std::size_t kNameMax = 255;
// A folder asked about this many times is listed once rather than probed name by name.
constexpr unsigned kListAfterProbes = 16;

// Plain ASCII is the same in CP932 and UTF-8 (checked once), so most paths skip the converter.
bool AsciiIsIdentity() {
    static const bool same = [] {
        std::string all;
        for (int c = 1; c < 0x80; ++c) all += static_cast<char>(c);
        auto u = Cp932ToUtf8(all);
        return u && *u == all;
    }();
    return same;
}

// The UTF-8 form of a CP932 path into out (whose buffer is reused); false when it has none.
bool Native(const std::string& cp932, std::string& out) {
    bool ascii = AsciiIsIdentity();
    for (std::size_t i = 0; ascii && i < cp932.size(); ++i)
        ascii = static_cast<unsigned char>(cp932[i]) < 0x80 && cp932[i] != 0;
    if (ascii) {
        out.assign(cp932);
        return true;
    }
    auto u = Cp932ToUtf8(cp932);
    if (!u) return false;
    out = std::move(*u);
    return true;
}

bool TooLongName(std::string_view native) {
    std::size_t start = 0;
    for (std::size_t i = 0; i <= native.size(); ++i) {
        if (i == native.size() || native[i] == '/') {
            if (i - start > kNameMax) return true;
            start = i + 1;
        }
    }
    return false;
}

std::optional<std::string> Cp932(const std::string& native) {
    bool ascii = AsciiIsIdentity();
    for (std::size_t i = 0; ascii && i < native.size(); ++i)
        ascii = static_cast<unsigned char>(native[i]) < 0x80 && native[i] != 0;
    if (ascii) return native;
    return Utf8ToCp932(native);
}

struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

// The disk as the run will see it, built lazily from the real one, which is never changed.
// Names are keyed by their UTF-8 bytes, as the disk compares them.
class SimDisk {
  public:
    SimDisk() { root_ = NewNode(nullptr, {}, kDir); }

    Result MakeDir(const std::string& path) {
        std::string* native = &nf_;
        if (!Native(path, nf_)) return Reason::NotConvertible;
        if (Result r = CheckLength(*native)) return r;
        Node* parent = nullptr;
        std::string_view natName;
        if (Result r = Walk(*native, parent, natName)) return r;
        if (Child(parent, natName)) return Reason::Taken;
        Node* made = NewNode(nullptr, {}, kDir);  // made empty by the run
        made->listed = true;
        if (lastSlot_) {
            *lastSlot_ = made;
        } else {
            parent->kids.emplace(natName, made);
        }
        return std::nullopt;
    }

    Result Rename(const std::string& from, const std::string& to) {
        if (!Native(from, nf_) || !Native(to, nt_)) return Reason::NotConvertible;
        const std::string* nf = &nf_;
        const std::string* nt = &nt_;
        if (nt->size() > nf->size() && nt->compare(0, nf->size(), *nf) == 0 &&
            (*nt)[nf->size()] == '/')
            return Reason::IntoItself;
        if (Result r = CheckLength(*nf)) return r;
        if (Result r = CheckLength(*nt)) return r;
        Node* fromDir = nullptr;
        std::string_view natFrom;
        if (Result r = Walk(*nf, fromDir, natFrom)) return r;
        Node* entry = Child(fromDir, natFrom);
        if (!entry) return Reason::Missing;
        Node** fromSlot = lastSlot_;
        Node* toDir = nullptr;
        std::string_view natTo;
        if (Result r = Walk(*nt, toDir, natTo)) return r;
        if (Child(toDir, natTo)) return Reason::Taken;
        *fromSlot = nullptr;  // map nodes stay where they are while others are added
        if (lastSlot_) {
            *lastSlot_ = entry;
        } else {
            toDir->kids.emplace(natTo, entry);
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
        // Where the entry is on the real disk: its folder there and its name in that folder's
        // map (the root and folders made by the run have none).
        Node* up = nullptr;
        std::string_view name;
        Type type = kUnknown;  // kDir: can be walked through (a folder, or a link to one)
        bool listed = false;   // every name of the folder is known
        bool walked = false;   // a remembered folder path runs through it
        unsigned probes = 0;
        Kids kids;  // nullptr: known to be absent
    };

    static Result CheckLength(const std::string& native) {
        if (native.size() >= PATH_MAX) return Reason::PathTooLong;
        if (TooLongName(native)) return Reason::NameTooLong;
        return std::nullopt;
    }

    Node* NewNode(Node* up, std::string_view name, Type type) {
        Node& n = nodes_.emplace_back(&pool_);
        n.up = up;
        n.name = name;
        n.type = type;
        return &n;
    }

    bool HasReal(const Node* n) const { return n == root_ || n->up; }

    // The CP932 path of a real entry (with an extra name when given); nullopt when the disk's
    // name cannot be written in CP932.
    std::optional<std::string> RealPath(const Node* n, std::string_view extra = {}) const {
        std::vector<std::string_view> parts;
        if (!extra.empty()) parts.push_back(extra);
        for (; n && n != root_; n = n->up) parts.push_back(n->name);
        std::string native;
        for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
            native.push_back('/');
            native.append(*it);
        }
        if (native.empty()) native.push_back('/');
        return Cp932(native);
    }

    Type TypeOf(Node* n) {
        if (n->type == kUnknown) {
            EntryInfo info;
            auto cp = RealPath(n);
            n->type =
                cp && Fs().Stat(*cp, info) == 0 && (info.isDir || info.isLink) ? kDir : kOther;
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
                auto cp = RealPath(dir, natName);
                EntryInfo info;
                const bool found = cp && Fs().Stat(*cp, info) == 0;
                it = dir->kids.emplace(natName, nullptr).first;
                if (found)
                    it->second = NewNode(dir, it->first, info.isDir || info.isLink ? kDir : kOther);
            }
        }
        if (it == dir->kids.end()) return nullptr;
        lastSlot_ = &it->second;
        return it->second;
    }

    bool List(Node* dir) {
        auto cp = RealPath(dir);
        std::vector<std::string> names;
        if (!cp || Fs().ListNames(*cp, names) != 0) return false;  // keep probing
        dir->listed = true;
        dir->kids.reserve(dir->kids.size() + names.size());
        for (std::string& name : names) {
            // A name already known may have been changed by the run: it stays as it is.
            auto [it, fresh] = dir->kids.emplace(name, nullptr);
            if (fresh) it->second = NewNode(dir, it->first, kUnknown);
        }
        return true;
    }

    // The folder holding a UTF-8 path, and the path's last element.
    Result Walk(std::string_view nat, Node*& parent, std::string_view& natLast) {
        if (nat.empty() || nat[0] != '/') return Reason::Missing;
        const std::size_t slash = nat.rfind('/');
        natLast = nat.substr(slash + 1);
        if (natLast.empty()) return Reason::Missing;
        const std::string_view key = nat.substr(0, slash);
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
        std::vector<Node*> path;
        Node* cur = root_;
        for (std::size_t p = 1; p <= slash;) {
            const std::size_t end = nat.find('/', p);
            const std::string_view part = nat.substr(p, end - p);
            p = end + 1;
            if (part.empty()) continue;
            cur = Child(cur, part);
            if (!cur || TypeOf(cur) != kDir) return Reason::Missing;
            path.push_back(cur);
        }
        for (Node* n : path) n->walked = true;
        parent = cur;
        dirCache_.emplace(std::string(key), cur);
        lastKey_.assign(key);
        lastDir_ = parent;
        return std::nullopt;
    }

    // Every node and name lives in the pool and goes with it at once.
    std::pmr::monotonic_buffer_resource pool_;
    std::pmr::deque<Node> nodes_{&pool_};
    Node* root_ = nullptr;
    Node** lastSlot_ = nullptr;  // set by Child
    std::unordered_map<std::string, Node*, NameHash, std::equal_to<>> dirCache_;
    std::string lastKey_;
    Node* lastDir_ = nullptr;
    std::string nf_, nt_;  // the UTF-8 paths of the change being replayed
};

// The run, replayed over SimDisk without touching the items' paths.
class Predictor {
  public:
    Predictor(CMyItem* root, const std::function<bool()>& giveUp)
        : root_(root), depth_(root->m_strTracePath), giveUp_(giveUp) {}

    ConflictPrediction Run() {
        // The name check refuses the whole run before anything else: list what it refuses.
        Refused(root_);
        if (!out_.failures.empty()) return std::move(out_);
        if (!FillDepth() || !depth_.SortByDepth()) {
            out_.stops = true;
            return std::move(out_);
        }
        if (!MakeFolders()) {
            out_.stops = true;
            return std::move(out_);
        }
        for (int index = depth_.GetItemNum() - 1; index >= 0; --index) {
            if (giveUp_ && index % 1024 == 0 && giveUp_()) {
                out_.abandoned = true;
                break;
            }
            CMyItem* item = depth_.GetItemADRS(index);
            if (!item || (item->m_bIsFolder && item->m_bUserMakeFold)) continue;
            std::string writePath;
            if (!WritePath(item, writePath)) continue;
            const std::string& path = Org(item);
            if (path == writePath) continue;
            if (Result r = disk_.Rename(path, writePath)) {
                out_.failures.push_back({item, *r, path, writePath, false});
            } else if (item->m_bIsFolder) {
                // Only a folder's path is looked up again (by the items it holds).
                org_[item] = std::move(writePath);
            }
        }
        return std::move(out_);
    }

  private:
    const std::string& Org(const CMyItem* item) const {
        auto it = org_.find(item);
        return it != org_.end() ? it->second : item->m_strOrgPath;
    }

    template <class Fn>
    static bool EachSub(CMyItem* folder, Fn fn) {
        const int n = static_cast<int>(folder->m_dwNumInFolder);
        for (int i = 0; i < n; ++i) {
            CMyItem* item = folder->GetSubItem(i);
            if (!item || !fn(item)) return false;
        }
        return true;
    }

    void Refused(CMyItem* folder) {
        EachSub(folder, [&](CMyItem* item) {
            if (item->NameRefused()) {
                item->UpdateWriteName();
                out_.failures.push_back({item, Reason::Refused, item->m_strOrgPath,
                                         JoinPath(item->m_strParentPath, item->m_strWriteName),
                                         false});
            }
            if (item->m_bIsFolder) Refused(item);
            return true;
        });
    }

    bool FillDepth(CMyItem* folder) {
        return EachSub(folder, [&](CMyItem* item) {
            return depth_.SetAndCheckItem(item) && (!item->m_bIsFolder || FillDepth(item));
        });
    }
    bool FillDepth() {
        depth_.ResetIndex();
        return FillDepth(root_);
    }

    bool MakeFolders() {
        return EachSub(root_, [&](CMyItem* item) {
            if (item->m_bUserMakeFold) {
                out_.failures.push_back({item, Reason::NotFolder, {}, item->m_strNewName, true});
                return false;
            }
            return !item->m_bIsFolder || MakeFolders(item);
        });
    }

    bool MakeFolders(CMyItem* folder) {
        return EachSub(folder, [&](CMyItem* item) {
            if (!item->m_bIsFolder) return true;
            if (item->m_bUserMakeFold && !MakeFolder(item)) return false;
            return MakeFolders(item);
        });
    }

    bool MakeFolder(CMyItem* item) {
        item->UpdateWriteName();
        const CMyItem* parent = item->m_pParent;
        std::string path;
        Result r = Reason::Other;
        if (item->m_iLayer < 2) {
            r = Reason::NotFolder;
        } else if (!item->m_strWriteName.empty() && parent && IsAbsolutePath(Org(parent))) {
            path = JoinPath(Org(parent), item->m_strWriteName);
            r = disk_.MakeDir(path);
        }
        if (!r) {
            org_[item] = path;
            return true;
        }
        out_.failures.push_back({item, *r, {}, path, true});
        return false;
    }

    bool WritePath(CMyItem* item, std::string& out) {
        item->UpdateWriteName();
        std::string folder;
        if (item->m_iLayer == 0) return false;
        if (item->m_iLayer == 1) {
            folder = item->m_strParentPath;
            if (!folder.empty() && !IsAbsolutePath(folder)) return false;
        } else {
            if (!item->m_pParent) return false;
            folder = Org(item->m_pParent);
            if (!IsAbsolutePath(folder)) return false;
        }
        out = JoinPath(folder, item->m_strWriteName);
        return true;
    }

    CMyItem* root_;
    CMyDepthInfo depth_;
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

ConflictPrediction PredictConflicts(CMyItem* root, const std::function<bool()>& giveUp) {
    if (!root) return {{}, true};
    if (giveUp && giveUp()) return {{}, false, true};
    return Predictor(root, giveUp).Run();
}

}  // namespace dov
