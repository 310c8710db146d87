#include "shell/filedrop.h"

#include <QDir>
#include <QMimeData>
#include <map>
#include <set>

#include "common/codepage.h"
#include "shell/filesort.h"

namespace dov {

namespace {
// The folder of a native (UTF-8) path: "" for an entry of the root.
std::string NativeParent(const std::string& p) {
    const auto slash = p.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string() : p.substr(0, slash);
}
}  // namespace

bool HasLocalFiles(const QMimeData* mime) {
    if (!mime || !mime->hasUrls()) return false;
    for (const QUrl& u : mime->urls())
        if (u.isLocalFile()) return true;
    return false;
}

DropReading ReadDroppedUrls(const QList<QUrl>& urls) {
    DropReading out;
    // Native paths, cleaned, without repeats, in drop order.
    std::vector<std::string> paths;
    std::set<std::string> seen;
    for (const QUrl& u : urls) {
        const QString clean = u.isLocalFile() ? QDir::cleanPath(u.toLocalFile()) : QString();
        if (!clean.startsWith(QLatin1Char('/')) || clean == QLatin1String("/")) {
            ++out.refused;
            continue;
        }
        std::string p = clean.toStdString();
        if (seen.insert(p).second) paths.push_back(std::move(p));
    }
    // An entry inside another dropped folder comes with that folder already.
    std::map<std::string, std::size_t> index;  // CP932 folder -> its place in out.folders
    std::map<std::string, std::vector<EntryInfo>> listings;
    for (const std::string& p : paths) {
        bool inside = false;
        for (std::string up = NativeParent(p); !up.empty() && !inside; up = NativeParent(up))
            inside = seen.count(up) > 0;
        const std::string parent = NativeParent(p);
        const auto folder = Utf8ToCp932(parent.empty() ? "/" : parent);
        if (inside || !folder) {
            ++out.refused;
            continue;
        }
        auto [at, fresh] = listings.try_emplace(*folder);
        if (fresh) ListFolderEntries(*folder, at->second);
        const std::string name = p.substr(p.rfind('/') + 1);
        const EntryInfo* found = nullptr;
        for (const EntryInfo& e : at->second)
            if (e.rawName == name) found = &e;
        if (!found) {
            ++out.refused;
            continue;
        }
        auto [slot, added] = index.try_emplace(*folder, out.folders.size());
        if (added) out.folders.push_back({*folder, {}});
        out.folders[slot->second].picked.push_back(*found);
    }
    return out;
}

}  // namespace dov
