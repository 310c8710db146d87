#include "common/paths.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "common/codepage.h"

namespace dov {
namespace {

std::mutex g_mu;
std::string g_native;
std::string g_cp932;
std::string g_problem;
bool g_decided = false;

// Makes the folder and any missing parents, each with mode 0700 (folders already there keep
// theirs). True when the path is a folder at the end.
bool MakeDirs(const std::string& path) {
    if (path.empty()) return false;
    for (std::size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            const std::string part = path.substr(0, i);
            if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        }
    }
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
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

std::string PasswdHome() {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buf(size > 0 ? static_cast<std::size_t>(size) : 16384);
    struct passwd pw {};
    struct passwd* found = nullptr;
    while (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) == ERANGE &&
           buf.size() < (1u << 20)) {
        buf.resize(buf.size() * 2);
    }
    return found && found->pw_dir ? std::string(found->pw_dir) : std::string();
}

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

bool Usable(const std::string& native) {
    return !native.empty() && access(native.c_str(), W_OK | X_OK) == 0 &&
           Utf8ToCp932(native).has_value();
}

// The folder is the user's own and no one else may write into it (as ssh asks of its files):
// another user could otherwise plant a journal that an undo would act on.
bool OwnFolder(const std::string& native, std::string& problem) {
    struct stat st {};
    if (stat(native.c_str(), &st) != 0) return true;  // Usable() tells
    if (st.st_uid == geteuid() && (st.st_mode & 022) == 0) return true;
    problem = "refusing the folder " + native + " for the program's own files: " +
              (st.st_uid != geteuid() ? std::string("it is not owned by you")
                                      : std::string("group or others can write into it")) +
              " (chmod go-w it, or set DOVRETH_HOME to a folder of your own)";
    return false;
}

std::string Trimmed(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

void Decide() {
    if (g_decided) return;
    g_problem.clear();
    g_native = ChooseProgramFolder(CurrentFolderSources(), g_problem);
    if (g_native.empty()) {
        g_cp932.clear();
    } else {
        auto cp = Utf8ToCp932(g_native);
        g_cp932 = cp ? *cp : EscapeBytes(g_native);
    }
    g_decided = true;
}

}  // namespace

FolderSources CurrentFolderSources() {
    FolderSources s;
    s.dovrethHome = Env("DOVRETH_HOME");
    s.exeFolder = ExecutableFolder();
    s.xdgDataHome = Env("XDG_DATA_HOME");
    s.home = Env("HOME");
    if (!IsAbsolutePath(s.xdgDataHome) && !IsAbsolutePath(s.home)) s.passwdHome = PasswdHome();
    return s;
}

std::string ChooseProgramFolder(const FolderSources& from, std::string& problem) {
    problem.clear();
    if (!from.dovrethHome.empty()) {
        const std::string h = Trimmed(from.dovrethHome);
        MakeDirs(h);
        if (Usable(h)) return OwnFolder(h, problem) ? h : std::string();
    }
    if (IsAbsolutePath(from.exeFolder)) {
        const std::string& exe = from.exeFolder;
        const bool buildTree =
            Exists(JoinPath(exe, "CMakeFiles")) || Exists(JoinPath(exe, "cmake_install.cmake"));
        const bool portable = Exists(JoinPath(exe, "dovreth.portable"));
        if ((buildTree || portable) && Usable(exe))
            return OwnFolder(exe, problem) ? Trimmed(exe) : std::string();
    }
    std::string base;
    if (IsAbsolutePath(from.xdgDataHome)) {
        base = Trimmed(from.xdgDataHome);
    } else {
        const std::string home = IsAbsolutePath(from.home) ? from.home : from.passwdHome;
        if (!IsAbsolutePath(home)) {
            problem =
                "no folder for the program's own files: HOME is not set and the user has no home "
                "folder in the password database; set DOVRETH_HOME to a folder of your own";
            return {};
        }
        base = JoinPath(Trimmed(home), ".local/share");
    }
    const std::string chosen = JoinPath(base, "dovreth");
    const bool made = MakeDirs(chosen);
    if (!made || !Usable(chosen)) {
        problem = "cannot use " + chosen + " for the program's own files (" +
                  std::strerror(made ? EACCES : errno) +
                  "); set DOVRETH_HOME to a folder of "
                  "your own";
        return {};
    }
    return OwnFolder(chosen, problem) ? chosen : std::string();
}

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

std::string ProgramFolderProblem() {
    std::lock_guard<std::mutex> lock(g_mu);
    Decide();
    return g_problem;
}

std::string ProgramFile(std::string_view name) {
    const std::string& folder = ProgramFolder();
    return folder.empty() ? std::string() : JoinPath(folder, name);
}

void ResetProgramFolderForTest() {
    std::lock_guard<std::mutex> lock(g_mu);
    g_decided = false;
}

int OpenOwnFileForWrite(const std::string& nativePath, bool append) {
    // O_NONBLOCK keeps a FIFO from blocking the open; the file is emptied only once it is known
    // to be a regular file.
    int fd = ::open(
        nativePath.c_str(),
        O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | (append ? O_APPEND : 0), 0666);
    if (fd < 0) return -errno;
    struct stat st {};
    int err = 0;
    if (::fstat(fd, &st) != 0) {
        err = errno;
    } else if (!S_ISREG(st.st_mode)) {
        err = EINVAL;
    } else if (!append && ::ftruncate(fd, 0) != 0) {
        err = errno;
    } else {
        int flags = ::fcntl(fd, F_GETFL);
        if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    if (err != 0) {
        ::close(fd);
        return -err;
    }
    return fd;
}

}  // namespace dov
