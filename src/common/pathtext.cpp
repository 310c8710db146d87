#include "common/pathtext.h"

#include <cstring>

#include "common/paths.h"
#include "common/sjis.h"

namespace dov {

bool IsAbsolutePath(std::string_view path) {
    return !path.empty() && path[0] == '/';
}

bool IsCleanPath(std::string_view path, RootPath root) {
    if (!IsAbsolutePath(path) || path.find('\0') != std::string_view::npos) return false;
    if (path.size() == 1) return root == RootPath::Clean;
    std::size_t start = 1;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        const std::string_view elem = path.substr(start, end - start);
        if (elem.empty() || elem == "." || elem == "..") return false;
        start = end + 1;
    }
    return true;
}

bool IsUnderPath(std::string_view path, std::string_view folder) {
    if (folder == "/") return IsAbsolutePath(path);
    return path.size() > folder.size() && path.substr(0, folder.size()) == folder &&
           path[folder.size()] == '/';
}

bool IsNameIn(std::string_view path, std::string_view folder) {
    const bool root = folder == "/";
    const std::size_t at = root ? 1 : folder.size() + 1;
    if (path.size() <= at || path.substr(0, folder.size()) != folder) return false;
    if (!root && path[folder.size()] != '/') return false;
    return path.find('/', at) == std::string_view::npos;
}

int CountSeparators(std::string_view path, int most) {
    int count = 0;
    const char* end = path.data() + path.size();
    for (const char* p = path.data(); count < most && p != end; ++p) {
        p = static_cast<const char*>(std::memchr(p, '/', static_cast<std::size_t>(end - p)));
        if (!p) break;
        ++count;
    }
    return count;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string out;
    out.reserve(PathCapacity(folder.size() + 1 + name.size()));  // one allocation
    out.append(folder);
    if (out.empty() || out.back() != '/') out.push_back('/');
    out.append(name);
    return out;
}

std::string ParentPath(std::string_view path) {
    int slash = FindLastCharDbcs(path, '/');
    if (slash <= 0) return {};
    return std::string(path.substr(0, static_cast<std::size_t>(slash)));
}

std::string ParentFolder(std::string_view path) {
    if (path == "/") return {};
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return {};
    return slash == 0 ? std::string("/") : std::string(path.substr(0, slash));
}

std::string BaseName(std::string_view path) {
    int slash = FindLastCharDbcs(path, '/');
    return std::string(path.substr(static_cast<std::size_t>(slash + 1)));
}

bool SplitPath(std::string_view path, std::string& folder, std::string& name) {
    if (path.size() < 2 || !IsAbsolutePath(path) || path.back() == '/') return false;
    const std::size_t slash = path.rfind('/');
    folder = slash == 0 ? std::string("/") : std::string(path.substr(0, slash));
    name = std::string(path.substr(slash + 1));
    return true;
}

}  // namespace dov
