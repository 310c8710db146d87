#include "rename/conflict_preview.h"

#include <climits>
#include <deque>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "common/codepage.h"
#include "common/fs.h"
#include "common/paths.h"
#include "model/item.h"
#include "rename/depth_info.h"

namespace dov {
namespace {

using Reason = ConflictReason;
using Result = std::optional<Reason>;  // nullopt: the change succeeds

constexpr std::size_t kNameMax = 255;
// A folder asked about this many times is listed once rather than probed name by name.
constexpr unsigned kListAfterProbes = 32;

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

std::optional<std::string> Native(const std::string& cp932) {
    bool ascii = AsciiIsIdentity();
    for (std::size_t i = 0; ascii && i < cp932.size(); ++i)
        ascii = static_cast<unsigned char>(cp932[i]) < 0x80 && cp932[i] != 0;
    if (ascii) return cp932;
    return Cp932ToUtf8(cp932);
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

// The disk as the run will see it, built lazily from the real one, which is never changed.
// Names are keyed by their UTF-8 bytes, as the disk compares them.
class SimDisk {
  public:
    SimDisk() {
        Node& root = nodes_.emplace_back();
        root.real.push_back('/');
        root.dir = true;
        root_ = &root;
    }

    Result MakeDir(const std::string& path) {
        auto native = Native(path);
        if (!native) return Reason::NotConvertible;
        if (Result r = CheckLength(*native)) return r;
        Node* parent = nullptr;
        std::string_view cpName, natName;
        if (Result r = Walk(path, *native, parent, cpName, natName)) return r;
        if (Child(parent, natName, cpName)) return Reason::Taken;
        Node& made = nodes_.emplace_back();
        made.dir = true;
        made.listed = true;  // made empty by the run
        parent->kids[std::string(natName)] = &made;
        return std::nullopt;
    }

    Result Rename(const std::string& from, const std::string& to) {
        auto nf = Native(from);
        auto nt = Native(to);
        if (!nf || !nt) return Reason::NotConvertible;
        if (nt->size() > nf->size() && nt->compare(0, nf->size(), *nf) == 0 &&
            (*nt)[nf->size()] == '/')
            return Reason::IntoItself;
        if (Result r = CheckLength(*nf)) return r;
        if (Result r = CheckLength(*nt)) return r;
        Node* fromDir = nullptr;
        std::string_view cpFrom, natFrom;
        if (Result r = Walk(from, *nf, fromDir, cpFrom, natFrom)) return r;
        Node* entry = Child(fromDir, natFrom, cpFrom);
        if (!entry) return Reason::Missing;
        Node* toDir = nullptr;
        std::string_view cpTo, natTo;
        if (Result r = Walk(to, *nt, toDir, cpTo, natTo)) return r;
        if (Child(toDir, natTo, cpTo)) return Reason::Taken;
        fromDir->kids[std::string(natFrom)] = nullptr;
        toDir->kids[std::string(natTo)] = entry;
        if (entry->dir) dirCache_.clear();
        return std::nullopt;
    }

  private:
    struct Node {
        std::string real;  // CP932 path of the entry on the real disk; "" for none
        bool dir = false;  // can be walked through (a folder or a link)
        bool listed = false;
        unsigned probes = 0;
        std::unordered_map<std::string, Node*> kids;  // nullptr: known to be absent
    };

    static Result CheckLength(const std::string& native) {
        if (native.size() >= PATH_MAX) return Reason::PathTooLong;
        if (TooLongName(native)) return Reason::NameTooLong;
        return std::nullopt;
    }

    Node* Child(Node* dir, std::string_view natName, std::string_view cpName) {
        const std::string key(natName);
        auto it = dir->kids.find(key);
        if (it != dir->kids.end()) return it->second;
        if (dir->real.empty() || dir->listed) return dir->kids[key] = nullptr;
        if (++dir->probes >= kListAfterProbes) {
            List(dir);
            it = dir->kids.find(key);
            return it != dir->kids.end() ? it->second : (dir->kids[key] = nullptr);
        }
        EntryInfo info;
        if (Fs().Stat(JoinPath(dir->real, cpName), info) != 0) return dir->kids[key] = nullptr;
        return dir->kids[key] = NewNode(JoinPath(dir->real, cpName), info);
    }

    Node* NewNode(std::string real, const EntryInfo& info) {
        Node& n = nodes_.emplace_back();
        n.real = std::move(real);
        n.dir = info.isDir || info.isLink;
        return &n;
    }

    void List(Node* dir) {
        std::vector<EntryInfo> entries;
        if (Fs().ListDir(dir->real, entries) != 0) return;  // keep probing
        dir->listed = true;
        for (const EntryInfo& e : entries) {
            auto it = dir->kids.find(e.rawName);
            if (it != dir->kids.end()) continue;  // already known, maybe changed by the run
            dir->kids.emplace(e.rawName, NewNode(e.nameOk ? JoinPath(dir->real, e.name) : "", e));
        }
    }

    // The folder holding path and the path's last element (CP932 and UTF-8).
    Result Walk(std::string_view cp, std::string_view nat, Node*& parent, std::string_view& cpLast,
                std::string_view& natLast) {
        if (cp.empty() || cp[0] != '/' || nat.empty() || nat[0] != '/') return Reason::Missing;
        const std::size_t cpSlash = cp.rfind('/');
        const std::size_t natSlash = nat.rfind('/');
        cpLast = cp.substr(cpSlash + 1);
        natLast = nat.substr(natSlash + 1);
        if (natLast.empty()) return Reason::Missing;
        const std::string key(nat.substr(0, natSlash));
        if (auto it = dirCache_.find(key); it != dirCache_.end()) {
            parent = it->second;
            return std::nullopt;
        }
        Node* cur = root_;
        std::size_t cp0 = 1, nat0 = 1;
        while (nat0 <= natSlash && cp0 <= cpSlash) {
            std::size_t cpEnd = cp.find('/', cp0);
            std::size_t natEnd = nat.find('/', nat0);
            const std::string_view cpPart = cp.substr(cp0, cpEnd - cp0);
            const std::string_view natPart = nat.substr(nat0, natEnd - nat0);
            cp0 = cpEnd + 1;
            nat0 = natEnd + 1;
            if (natPart.empty()) continue;
            if (!cur->dir) return Reason::Missing;
            cur = Child(cur, natPart, cpPart);
            if (!cur) return Reason::Missing;
        }
        if (!cur->dir) return Reason::Missing;
        parent = cur;
        dirCache_.emplace(key, cur);
        return std::nullopt;
    }

    std::deque<Node> nodes_;
    Node* root_ = nullptr;
    std::unordered_map<std::string, Node*> dirCache_;  // folder path (UTF-8) -> node
};

bool IsAbsolute(const std::string& path) {
    return !path.empty() && path[0] == '/';
}

// The run, replayed over SimDisk without touching the items' paths.
class Predictor {
  public:
    explicit Predictor(CMyItem* root) : root_(root), depth_(root->m_strTracePath) {}

    ConflictPrediction Run() {
        if (!FillDepth() || !depth_.SortByDepth()) {
            out_.stops = true;
            return std::move(out_);
        }
        org_.reserve(static_cast<std::size_t>(depth_.GetItemNum()));
        if (!MakeFolders()) {
            out_.stops = true;
            return std::move(out_);
        }
        for (int index = depth_.GetItemNum() - 1; index >= 0; --index) {
            CMyItem* item = depth_.GetItemADRS(index);
            if (!item || (item->m_bIsFolder && item->m_bUserMakeFold)) continue;
            std::string writePath;
            if (!WritePath(item, writePath)) continue;
            const std::string& path = Org(item);
            if (path == writePath) continue;
            if (Result r = disk_.Rename(path, writePath)) {
                out_.failures.push_back({item, *r, path, writePath, false});
            } else {
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
        } else if (!item->m_strWriteName.empty() && parent && IsAbsolute(Org(parent))) {
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
            if (!folder.empty() && !IsAbsolute(folder)) return false;
        } else {
            if (!item->m_pParent) return false;
            folder = Org(item->m_pParent);
            if (!IsAbsolute(folder)) return false;
        }
        out = JoinPath(folder, item->m_strWriteName);
        return true;
    }

    CMyItem* root_;
    CMyDepthInfo depth_;
    SimDisk disk_;
    std::unordered_map<const CMyItem*, std::string> org_;  // paths the run has changed
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
        case Reason::Other:
            break;
    }
    return "other";
}

ConflictPrediction PredictConflicts(CMyItem* root) {
    if (!root) return {{}, true};
    return Predictor(root).Run();
}

}  // namespace dov
