#include "common/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>

#include "common/codepage.h"
#include "common/sjis.h"

namespace dov {
namespace {

std::mutex g_mu;
std::string g_native;
std::string g_cp932;
bool g_decided = false;

bool MakeDirs(const std::string& path) {
    if (path.empty()) return false;
    std::string part;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || (path[i] == '/' && i > 0)) {
            part = path.substr(0, i);
            if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
        }
    }
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ExecutableFolder() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    std::string exe(buf, static_cast<std::size_t>(n));
    auto slash = exe.rfind('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? std::string("/") : exe.substr(0, slash);
}

bool Usable(const std::string& native) {
    return !native.empty() && access(native.c_str(), W_OK | X_OK) == 0 &&
           Utf8ToCp932(native).has_value();
}

void Decide() {
    if (g_decided) return;
    std::string chosen;
    if (const char* home = std::getenv("DOVRETH_HOME"); home && *home) {
        std::string h(home);
        MakeDirs(h);
        if (Usable(h)) chosen = h;
    }
    if (chosen.empty()) {
        std::string exe = ExecutableFolder();
        if (Usable(exe)) chosen = exe;
    }
    if (chosen.empty()) {
        std::string base;
        if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg && xdg[0] == '/') {
            base = xdg;
        } else if (const char* home = std::getenv("HOME"); home && *home) {
            base = std::string(home) + "/.local/share";
        } else {
            base = "/tmp";
        }
        chosen = base + "/dovreth";
        MakeDirs(chosen);
    }
    while (chosen.size() > 1 && chosen.back() == '/') chosen.pop_back();
    g_native = chosen;
    auto cp = Utf8ToCp932(chosen);
    g_cp932 = cp ? *cp : EscapeBytes(chosen);
    g_decided = true;
}

}  // namespace

const std::string& ProgramFolderNative() {
    std::lock_guard<std::mutex> lock(g_mu);
    Decide();
    return g_native;
}

const std::string& ProgramFolder() {
    std::lock_guard<std::mutex> lock(g_mu);
    Decide();
    return g_cp932;
}

std::string ProgramFile(std::string_view name) {
    return JoinPath(ProgramFolder(), name);
}

void ResetProgramFolderForTest() {
    std::lock_guard<std::mutex> lock(g_mu);
    g_decided = false;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string out(folder);
    if (out.empty() || out.back() != '/') out.push_back('/');
    out.append(name);
    return out;
}

std::string ParentPath(std::string_view path) {
    int slash = FindLastCharDbcs(path, '/');
    if (slash <= 0) return {};
    return std::string(path.substr(0, static_cast<std::size_t>(slash)));
}

std::string BaseName(std::string_view path) {
    int slash = FindLastCharDbcs(path, '/');
    return std::string(path.substr(static_cast<std::size_t>(slash + 1)));
}

}  // namespace dov
