#include "common/fs.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <exception>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "common/codepage.h"
#include "common/format.h"
#include "common/paths.h"
#include "common/pathtext.h"
#include "common/sjis.h"
#include "common/trace.h"

namespace dov {
namespace {

std::atomic<IFileSystem*> g_override{nullptr};

class PosixFile : public IFile {
  public:
    explicit PosixFile(int fd) : fd_(fd) {}
    ~PosixFile() override {
        if (fd_ >= 0) ::close(fd_);
    }
    long long Read(void* buf, std::size_t n) override {
        for (;;) {
            ssize_t r = ::read(fd_, buf, n);
            if (r >= 0) return r;
            if (errno != EINTR) return -errno;
        }
    }
    long long Write(const void* buf, std::size_t n) override {
        const char* p = static_cast<const char*>(buf);
        std::size_t done = 0;
        while (done < n) {
            ssize_t r = ::write(fd_, p + done, n - done);
            if (r < 0) {
                if (errno == EINTR) continue;
                return done > 0 ? static_cast<long long>(done) : -errno;
            }
            if (r == 0) break;
            done += static_cast<std::size_t>(r);
        }
        return static_cast<long long>(done);
    }
    int Sync() override {
        if (fd_ < 0) return EBADF;
        return ::fdatasync(fd_) == 0 ? 0 : errno;
    }
    int GetMode(unsigned& mode) override {
        struct stat st {};
        if (fd_ < 0 || ::fstat(fd_, &st) != 0) return fd_ < 0 ? EBADF : errno;
        mode = st.st_mode & 0777;
        return 0;
    }
    int SetMode(unsigned mode) override {
        if (fd_ < 0) return EBADF;
        return ::fchmod(fd_, static_cast<mode_t>(mode & 0777)) == 0 ? 0 : errno;
    }
    int Close() override {
        if (fd_ < 0) return 0;
        int r = ::close(fd_);
        fd_ = -1;
        return r == 0 ? 0 : errno;
    }

  private:
    int fd_;
};

// Where a call lands: a folder handle and a name in it, or (for paths under no trusted
// folder) AT_FDCWD and the whole native path.
struct Loc {
    int dfd = AT_FDCWD;
    std::string name;  // native (UTF-8)
    bool viaHandle = false;
};

// A folder that cannot be reached as loaded (gone, a link now, a file now) is "not found".
int Unreachable(int e) {
    return (e == ELOOP || e == ENOTDIR) ? ENOENT : e;
}

// One of the program's own files (in its own folder).
bool OwnFile(const std::string& path) {
    const std::string& own = ProgramFolder();
    return !own.empty() && IsUnderPath(path, own);
}

// rename without replacing, when the kernel's no-replace flag is not supported: no step
// checks first and acts later, so another process cannot slip a file in between.
int FallbackNoReplace(const Loc& from, const Loc& to) {
    struct stat st {};
    if (::fstatat(from.dfd, from.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    const char* f = from.name.c_str();
    const char* t = to.name.c_str();
    if (!S_ISDIR(st.st_mode)) {
        // link() fails with EEXIST instead of replacing.
        if (::linkat(from.dfd, f, to.dfd, t, 0) != 0) {
            int e = errno;
            if (e == EPERM || e == EMLINK || e == ENOTSUP || e == EOPNOTSUPP) {
                // No hard links here (vfat and friends): make the target exclusively, then
                // rename onto that empty placeholder.
                int fd = ::openat(to.dfd, t, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
                if (fd < 0) return errno;
                ::close(fd);
                if (::renameat(from.dfd, f, to.dfd, t) != 0) {
                    int e2 = errno;
                    ::unlinkat(to.dfd, t, 0);
                    return e2;
                }
                return 0;
            }
            return e;
        }
        if (::unlinkat(from.dfd, f, 0) != 0) {
            int e = errno;
            ::unlinkat(to.dfd, t, 0);  // leave things as they were
            return e;
        }
        return 0;
    }
    // A folder: take the target name with mkdir (EEXIST when taken), then move onto it.
    if (::mkdirat(to.dfd, t, 0700) != 0) return errno;
    if (::renameat(from.dfd, f, to.dfd, t) != 0) {
        int e = errno;
        ::unlinkat(to.dfd, t, AT_REMOVEDIR);
        return e;
    }
    return 0;
}

// When b is a name (not empty) in the folder holding a, where that name starts in b; else 0 ('/'
// is never a byte of a double-byte character).
std::size_t NameInSameFolder(std::string_view a, std::string_view b) {
    const void* at = a.empty() ? nullptr : ::memrchr(a.data(), '/', a.size());
    if (!at) return 0;
    const std::size_t name = static_cast<std::size_t>(static_cast<const char*>(at) - a.data()) + 1;
    const bool same = b.size() > name && std::memcmp(a.data(), b.data(), name) == 0 &&
                      !std::memchr(b.data() + name, '/', b.size() - name);
    return same ? name : 0;
}

int RawRenameNoReplace(const Loc& from, const Loc& to, bool forceFallback) {
    int r = forceFallback ? -1
                          : ::renameat2(from.dfd, from.name.c_str(), to.dfd, to.name.c_str(),
                                        RENAME_NOREPLACE);
    if (r == 0) return 0;
    int e = forceFallback ? EINVAL : errno;
    if (e == EINVAL || e == ENOSYS) return FallbackNoReplace(from, to);
    return e;
}

// Where the last '/' of a path is (npos: none). '/' is never part of a double-byte character.
std::size_t LastSlash(const std::string& path) {
    const void* found = ::memrchr(path.data(), '/', path.size());
    return found ? static_cast<std::size_t>(static_cast<const char*>(found) - path.data())
                 : std::string::npos;
}

std::size_t HandleLimit() {
    struct rlimit rl {};
    std::size_t soft = 1024;
    if (::getrlimit(RLIMIT_NOFILE, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY)
        soft = static_cast<std::size_t>(rl.rlim_cur);
    return std::clamp<std::size_t>(soft / 8, 8, 256);
}

}  // namespace

// The scope of the running operation, and the open handles of folders at and below its
// folders, keyed by their CP932 paths. Held under one lock for the whole of each call, except
// for Stat's system call: the handle it uses is pinned meanwhile, and a pinned handle that is
// dropped is closed only when its last user is done, so a handle is never closed (nor its
// number reused) while another thread uses it.
struct PosixFileSystem::Handles {
    struct Dir {
        int fd = -1;
        std::uint64_t used = 0;
        // What the folder was when it was opened (0: not known).
        dev_t dev = 0;
        ino_t ino = 0;
    };
    using Id = std::pair<dev_t, ino_t>;
    // The folder each folder opened in this operation was opened from (by identity): a folder
    // is reopened from a child of its own only when it is still that one.
    std::map<Id, Id> parentOf;
    std::mutex mu;
    std::optional<DiskScope> scope;
    std::map<std::string, Dir> dirs;
    std::uint64_t tick = 0;
    std::uint64_t callStart = 0;
    std::size_t limit = HandleLimit();
    // The folder of the last path each thread located (items of one folder come one after
    // another, and threads that look at the disk side by side each keep their own): valid
    // while its generation is this one's, which every change to dirs or to the scope renews.
    using DirIt = std::map<std::string, Dir>::iterator;
    struct Last {
        std::uint64_t gen = 0;
        DirIt it;
    };
    static inline std::atomic<std::uint64_t> generations{0};
    std::uint64_t gen = ++generations;
    static Last& Mine() {
        thread_local Last last;
        return last;
    }
    void Invalidate() { gen = ++generations; }
    DirIt LastDir() {
        const Last& l = Mine();
        return l.gen == gen ? l.it : dirs.end();
    }
    void SetLast(DirIt it) { Mine() = {gen, it}; }

    // Handles in use outside the lock, with their number of users; handles dropped while in
    // use, to be closed after.
    std::vector<std::pair<int, int>> pinned;
    std::vector<int> dropped;

    ~Handles() { CloseAll(); }

    void Pin(int fd) {
        for (auto& [f, users] : pinned)
            if (f == fd) {
                ++users;
                return;
            }
        pinned.emplace_back(fd, 1);
    }
    void Unpin(int fd) {
        for (std::size_t k = 0; k < pinned.size(); ++k) {
            if (pinned[k].first != fd || --pinned[k].second > 0) continue;
            pinned.erase(pinned.begin() + static_cast<std::ptrdiff_t>(k));
            if (auto it = std::find(dropped.begin(), dropped.end(), fd); it != dropped.end()) {
                dropped.erase(it);
                ::close(fd);
            }
            return;
        }
    }
    void Close(int fd) {
        for (const auto& [f, users] : pinned)
            if (f == fd) {
                dropped.push_back(fd);
                return;
            }
        ::close(fd);
    }

    void CloseAll() {
        for (auto& [path, d] : dirs) Close(d.fd);
        dirs.clear();
        parentOf.clear();
        Invalidate();
    }

    void BeginCall() { callStart = ++tick; }

    bool InScope(const std::string& dir) const { return scope && scope->Contains(dir); }

    void Keep(const std::string& dir, const Dir& d) {
        Invalidate();
        // Over the bound: close the least recently used handle not touched by this call.
        while (dirs.size() >= limit) {
            auto victim = dirs.end();
            for (auto it = dirs.begin(); it != dirs.end(); ++it)
                if (it->second.used < callStart &&
                    (victim == dirs.end() || it->second.used < victim->second.used))
                    victim = it;
            if (victim == dirs.end()) break;
            Close(victim->second.fd);
            dirs.erase(victim);
        }
        Dir kept = d;
        kept.used = ++tick;
        dirs[dir] = kept;
    }

    // A folder reopened from a child still open, as the child's "..", when it is still the
    // folder the child was opened from: going back up a deep tree costs one open a level,
    // whatever the bound of the open handles. -1 when there is no such child.
    int OpenFromChild(const std::string& dir, Dir& out) {
        const std::string prefix = dir == "/" ? dir : dir + "/";
        int looked = 0;
        for (auto it = dirs.lower_bound(prefix);
             it != dirs.end() && looked < 8 && it->first.compare(0, prefix.size(), prefix) == 0;
             ++it, ++looked) {
            if (it->first.find('/', prefix.size()) != std::string::npos) continue;
            const Dir& child = it->second;
            const auto parent = parentOf.find(Id{child.dev, child.ino});
            if (child.ino == 0 || parent == parentOf.end()) continue;
            const int fd = ::openat(child.fd, "..", O_PATH | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
            if (fd < 0) return -1;
            struct stat st {};
            if (::fstat(fd, &st) != 0 || Id{st.st_dev, st.st_ino} != parent->second) {
                ::close(fd);
                return -1;
            }
            out = Dir{fd, 0, st.st_dev, st.st_ino};
            return 0;
        }
        return -1;
    }

    // The handle of a folder at or below a folder of the scope: a scope folder is opened by its
    // path and must still be what it was pinned to; below it each folder is opened from its
    // parent's handle without following links. 0 or errno.
    int OpenDir(const std::string& dir, int& fd) {
        if (auto it = dirs.find(dir); it != dirs.end()) {
            it->second.used = ++tick;
            fd = it->second.fd;
            return 0;
        }
        const ScopeRoot* root = scope ? scope->RootOf(dir) : nullptr;
        if (!root) return ENOENT;
        int nfd;
        Dir made;
        if (root->path != dir && OpenFromChild(dir, made) == 0) {
            // Its own parent is looked up when a child of its own is reopened from it.
            nfd = made.fd;
        } else if (root->path == dir) {
            auto native = Cp932ToUtf8(dir);
            if (!native) return EINVAL;
            nfd = ::open(native->c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            if (nfd < 0) return Unreachable(errno);
            struct stat st {};
            if (::fstat(nfd, &st) != 0 || st.st_dev != root->device || st.st_ino != root->inode) {
                // The path leads elsewhere now: what was named is not found there.
                ::close(nfd);
                return ENOENT;
            }
            made = Dir{nfd, 0, st.st_dev, st.st_ino};
        } else {
            std::string parent, base;
            if (!SplitPath(dir, parent, base)) return EINVAL;
            int pfd;
            if (int e = OpenDir(parent, pfd)) return e;
            auto native = Cp932ToUtf8(base);
            if (!native) return EINVAL;
            nfd = ::openat(pfd, native->c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
            if (nfd < 0) return Unreachable(errno);
            made = Dir{nfd, 0, 0, 0};
            struct stat st {};
            const Dir& p = dirs.find(parent)->second;
            if (p.ino != 0 && ::fstat(nfd, &st) == 0) {
                made = Dir{nfd, 0, st.st_dev, st.st_ino};
                parentOf[Id{st.st_dev, st.st_ino}] = Id{p.dev, p.ino};
            }
        }
        Keep(dir, made);
        fd = nfd;
        return 0;
    }

    // The folder of this thread's last call, when the path, whose last '/' is at slash, names
    // an entry of it; dirs.end() otherwise.
    DirIt InLast(std::string_view path, std::size_t slash) {
        const DirIt last = LastDir();
        if (last == dirs.end() || slash == std::string_view::npos || slash + 1 == path.size())
            return dirs.end();
        const std::string& dir = last->first;
        // The root's entries have their '/' at 0; any other folder's right after its path.
        if (dir.size() == 1 && dir[0] == '/') return slash == 0 ? last : dirs.end();
        return slash == dir.size() && std::memcmp(path.data(), dir.data(), slash) == 0 ? last
                                                                                       : dirs.end();
    }

    // Where a call on this path lands; 0 or errno.
    int Locate(const std::string& path, Loc& loc) {
        const std::size_t slash = LastSlash(path);
        if (const DirIt last = InLast(path, slash); last != dirs.end()) {
            // In the same folder as the last call. An ASCII name is its own disk form.
            const std::string_view name = std::string_view(path).substr(slash + 1);
            if (IsAscii(name)) {
                loc.name.clear();
                loc.name.append(name);
            } else {
                auto native = Cp932ToUtf8(name);
                if (!native) return EINVAL;
                loc.name = std::move(*native);
            }
            last->second.used = ++tick;
            loc.dfd = last->second.fd;
            loc.viaHandle = true;
            return 0;
        }
        std::string dir, base;
        if (SplitPath(path, dir, base) && InScope(dir)) {
            auto native = Cp932ToUtf8(base);
            if (!native) return EINVAL;
            if (int e = OpenDir(dir, loc.dfd)) return e;
            SetLast(dirs.find(dir));
            loc.name = std::move(*native);
            loc.viaHandle = true;
            return 0;
        }
        // During an operation nothing outside its scope is reached, but the program's own files.
        if (scope && !OwnFile(path)) return ENOENT;
        auto native = Cp932ToUtf8(path);
        if (!native) return EINVAL;
        loc.dfd = AT_FDCWD;
        loc.name = std::move(*native);
        loc.viaHandle = false;
        return 0;
    }

    // A folder renamed: its handle and those below it now answer to the new path.
    void Moved(const std::string& from, const std::string& to) {
        std::vector<std::pair<std::string, Dir>> moved;
        for (auto it = dirs.lower_bound(from);
             it != dirs.end() && it->first.compare(0, from.size(), from) == 0;) {
            if (it->first.size() == from.size() || it->first[from.size()] == '/') {
                moved.emplace_back(to + it->first.substr(from.size()), it->second);
                it = dirs.erase(it);
            } else {
                ++it;
            }
        }
        if (!moved.empty()) Invalidate();
        for (auto& [path, d] : moved) {
            if (auto old = dirs.find(path); old != dirs.end()) {
                Close(old->second.fd);
                dirs.erase(old);
            }
            dirs.emplace(std::move(path), d);
        }
    }

    void Forget(const std::string& dir) {
        Invalidate();
        for (auto it = dirs.lower_bound(dir);
             it != dirs.end() && it->first.compare(0, dir.size(), dir) == 0;) {
            if (it->first.size() == dir.size() || it->first[dir.size()] == '/') {
                Close(it->second.fd);
                it = dirs.erase(it);
            } else {
                ++it;
            }
        }
    }
};

void FillRecords(const struct stat& st, const std::string& cp932Name, const std::string& fullPath,
                 EntryInfo& out) {
    FillRecords(st, cp932Name, std::string(fullPath), out);
}

void FillRecords(const struct stat& st, const std::string& cp932Name, std::string&& fullPath,
                 EntryInfo& out) {
    out.isDir = S_ISDIR(st.st_mode);
    out.isLink = S_ISLNK(st.st_mode);
    out.isRegular = S_ISREG(st.st_mode);
    out.size = out.isDir ? 0 : static_cast<std::uint64_t>(st.st_size);
    out.inode = st.st_ino;
    out.device = st.st_dev;
    out.mode = st.st_mode & 07777;
    out.uid = st.st_uid;
    out.links = st.st_nlink;

    // Every field set in place: the strings keep their storage when out is reused.
    FindData& fd = out.findData;
    fd.dwFileAttributes = out.isDir ? kAttrDirectory : 0;
    fd.ftCreationTime = UnixToFileTime(st.st_ctim.tv_sec, st.st_ctim.tv_nsec);
    fd.ftLastAccessTime = UnixToFileTime(st.st_atim.tv_sec, st.st_atim.tv_nsec);
    fd.ftLastWriteTime = UnixToFileTime(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    fd.nFileSizeHigh = static_cast<std::uint32_t>(out.size >> 32);
    fd.nFileSizeLow = static_cast<std::uint32_t>(out.size);
    fd.dwReserved0 = 0;
    fd.dwReserved1 = 0;
    fd.cFileName = cp932Name;
    fd.cAlternateFileName.clear();

    FileStatus& fs = out.status;
    fs.m_padding = 0;
    fs.m_ctime = ToTime32(st.st_ctim.tv_sec);
    fs.m_mtime = ToTime32(st.st_mtim.tv_sec);
    fs.m_atime = ToTime32(st.st_atim.tv_sec);
    fs.m_size = static_cast<std::int32_t>(static_cast<std::uint32_t>(out.size));
    fs.m_attribute = static_cast<std::uint8_t>((out.isDir ? kStatusDirectory : 0) |
                                               ((st.st_mode & S_IWUSR) ? 0 : kStatusReadOnly));
    fs.m_szFullName = std::move(fullPath);
    fs.size64 = out.size;
    fs.device = out.device;
    fs.inode = out.inode;
    fs.type = out.isDir ? 'd' : out.isLink ? 'l' : 'f';
}

PosixFileSystem::PosixFileSystem() : h_(std::make_unique<Handles>()) {}
PosixFileSystem::~PosixFileSystem() = default;

void PosixFileSystem::EnterScope(const DiskScope& scope) {
    std::lock_guard<std::mutex> lock(h_->mu);
    h_->CloseAll();
    h_->scope = scope;
}

void PosixFileSystem::LeaveScope() {
    std::lock_guard<std::mutex> lock(h_->mu);
    h_->CloseAll();
    h_->scope.reset();
}

std::size_t PosixFileSystem::OpenHandles() const {
    std::lock_guard<std::mutex> lock(h_->mu);
    return h_->dirs.size();
}

// Reads the names of a folder (without "." and ".."); dfd stays open for the caller to close
// (-1 when the folder could not be opened). Returns 0 or errno; after a read error the names
// read so far are kept.
int PosixFileSystem::ReadNames(const std::string& path, std::vector<std::string>& names, int& dfd) {
    names.clear();
    dfd = -1;
    std::string dirPath = path;
    while (dirPath.size() > 1 && dirPath.back() == '/') dirPath.pop_back();
    {
        std::lock_guard<std::mutex> lock(h_->mu);
        h_->BeginCall();
        if (dirPath.size() > 0 && dirPath[0] == '/' && h_->InScope(dirPath)) {
            int hfd;
            if (int e = h_->OpenDir(dirPath, hfd)) return e;
            dfd = ::openat(hfd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        } else if (h_->scope) {
            return ENOENT;
        } else {
            auto native = Cp932ToUtf8(path);
            if (!native) return EINVAL;
            dfd = ::open(native->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        }
        if (dfd < 0) return errno;
    }
    // The stream reads through its own duplicate, so that dfd outlives it.
    const int sfd = ::fcntl(dfd, F_DUPFD_CLOEXEC, 0);
    DIR* dir = sfd < 0 ? nullptr : ::fdopendir(sfd);
    if (!dir) {
        const int e = errno;
        if (sfd >= 0) ::close(sfd);
        return e;
    }
    errno = 0;
    while (struct dirent* de = ::readdir(dir)) {
        if (std::strcmp(de->d_name, ".") != 0 && std::strcmp(de->d_name, "..") != 0)
            names.emplace_back(de->d_name);
        errno = 0;
    }
    const int e = errno;
    ::closedir(dir);
    return e;
}

namespace {

// One entry of a listing: its status read relative to the folder's handle.
void ReadEntry(int dfd, const std::string& path, std::string& rawName, EntryInfo& info) {
    info.rawName = std::move(rawName);
    auto cp = Utf8ToCp932(info.rawName);
    info.nameOk = cp.has_value();
    struct stat st {};
    if (::fstatat(dfd, info.rawName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        info.nameOk = false;  // vanished or unreadable: the loader counts it as failed
    } else if (info.nameOk) {
        info.name = std::move(*cp);
        FillRecords(st, info.name, JoinPath(path, info.name), info);
    }
}

// A folder this large has its entries read by two threads.
constexpr std::size_t kSplitListingAt = 512;
// A stoppable listing looks at its stop before and between blocks of this many entries (a
// smaller folder is read without a look).
constexpr std::size_t kBlock = 256;

}  // namespace

int PosixFileSystem::ListDir(const std::string& path, std::vector<EntryInfo>& out) {
    return ListDirUnless(path, out, nullptr);
}

int PosixFileSystem::ListDirUnless(const std::string& path, std::vector<EntryInfo>& out,
                                   const std::function<bool()>& stop) {
    out.clear();
    std::vector<std::string> names;
    int dfd = -1;
    const int e = ReadNames(path, names, dfd);
    if (dfd < 0) return e;
    if (names.size() > kBlock && stop && stop()) {
        ::close(dfd);
        return ECANCELED;
    }
    out.resize(names.size());
    // The entries are read in blocks taken in turn, so that the calling thread can look at
    // stop between its blocks and the helper gives up after its block.
    const std::size_t n = names.size();
    std::atomic<std::size_t> next{0};
    std::atomic<bool> cancelled{false};
    auto read = [&](bool caller) {
        for (;;) {
            if (cancelled.load(std::memory_order_relaxed)) return;
            const std::size_t from = next.fetch_add(kBlock);
            if (from >= n) return;
            const std::size_t to = std::min(n, from + kBlock);
            for (std::size_t i = from; i < to; ++i) ReadEntry(dfd, path, names[i], out[i]);
            if (caller && to < n && stop && stop()) {
                cancelled = true;
                return;
            }
        }
    };
    std::exception_ptr failed;
    std::thread helper;
    if (n >= kSplitListingAt && std::thread::hardware_concurrency() > 1) {
        // A helper thread reads blocks beside this one; the entries keep their order.
        helper = std::thread([&] {
            try {
                read(false);
            } catch (...) {
                failed = std::current_exception();
                cancelled = true;
            }
        });
    }
    try {
        read(true);
    } catch (...) {
        cancelled = true;
        if (helper.joinable()) helper.join();
        ::close(dfd);
        throw;
    }
    if (helper.joinable()) helper.join();
    ::close(dfd);
    if (failed) std::rethrow_exception(failed);
    if (cancelled) {
        out.clear();
        return ECANCELED;
    }
    return e;
}

int IFileSystem::ListDirUnless(const std::string& path, std::vector<EntryInfo>& out,
                               const std::function<bool()>& /*stop*/) {
    return ListDir(path, out);
}

int IFileSystem::ListNames(const std::string& path, std::vector<std::string>& out) {
    out.clear();
    std::vector<EntryInfo> entries;
    const int e = ListDir(path, entries);
    for (EntryInfo& info : entries) out.push_back(std::move(info.rawName));
    return e;
}

int PosixFileSystem::ListNames(const std::string& path, std::vector<std::string>& out) {
    int dfd = -1;
    const int e = ReadNames(path, out, dfd);
    if (dfd >= 0) ::close(dfd);
    return e;
}

int PosixFileSystem::Stat(const std::string& path, EntryInfo& out) {
    std::unique_lock<std::mutex> lock(h_->mu);
    h_->BeginCall();
    const std::size_t slash = LastSlash(path);
    const std::string_view name =
        std::string_view(path).substr(slash == std::string::npos ? 0 : slash + 1);
    int dfd;
    const char* native;
    Loc loc;
    const auto last = IsAscii(name) ? h_->InLast(path, slash) : h_->dirs.end();
    const bool inLast = last != h_->dirs.end();
    if (inLast) {
        // An ASCII name is its own disk form: looked up in the folder of the last call without
        // a copy (the name is the end of the path, so it ends with the path's NUL).
        last->second.used = ++h_->tick;
        dfd = last->second.fd;
        native = path.c_str() + (path.size() - name.size());
    } else {
        if (int e = h_->Locate(path, loc)) return e;
        dfd = loc.dfd;
        native = loc.name.c_str();
    }
    // The call itself is made outside the lock, so that looks from several threads overlap;
    // the handle stays open until it returns.
    const bool pin = dfd >= 0;
    if (pin) h_->Pin(dfd);
    lock.unlock();
    struct stat st;  // filled by fstatat
    const int err = ::fstatat(dfd, native, &st, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
    if (pin) {
        lock.lock();
        h_->Unpin(dfd);
        lock.unlock();
    }
    if (err != 0) return err;
    // The texts are set by clear and append, which keep their storage when out is reused (the
    // log reads every entry into the same one). Through a handle the native text is the name
    // alone.
    auto put = [](std::string& to, std::string_view text) {
        to.clear();
        to.append(text);
    };
    if (inLast)
        put(out.rawName, name);
    else if (loc.viaHandle)
        out.rawName.swap(loc.name);
    else
        out.rawName = BaseName(loc.name);
    // FillRecords sets every other field.
    out.nameOk = true;
    put(out.name, name);
    std::string full = std::move(out.status.m_szFullName);
    put(full, path);
    FillRecords(st, out.name, std::move(full), out);
    return 0;
}

int PosixFileSystem::RenameNoReplace(const std::string& from, const std::string& to) {
    // A folder into itself answers EINVAL too; rule it out before reading EINVAL as "the flag
    // is not supported".
    if (from != "/" && to.size() > from.size() && to[from.size()] == '/' && IsUnderPath(to, from))
        return EINVAL;
    std::lock_guard<std::mutex> lock(h_->mu);
    h_->BeginCall();
    Loc lf, lt;
    if (int e = h_->Locate(from, lf)) return e;
    if (const std::size_t name = lf.viaHandle ? NameInSameFolder(from, to) : 0; name > 0) {
        // Where Locate would find it: the folder's handle, just used for from.
        auto native = Cp932ToUtf8(std::string_view(to).substr(name));
        if (!native) return EINVAL;
        lt.dfd = lf.dfd;
        lt.name = std::move(*native);
        lt.viaHandle = true;
    } else if (int e = h_->Locate(to, lt)) {
        return e;
    }
    // A case-only rename on a case-insensitive disk meets the entry itself (EEXIST): the
    // caller goes through a temporary name, each step journaled.
    const int e = RawRenameNoReplace(lf, lt, forceNoReplaceFallback);
    if (e == 0 && lf.viaHandle) h_->Moved(from, to);
    return e;
}

int PosixFileSystem::RenameReplace(const std::string& from, const std::string& to) {
    std::lock_guard<std::mutex> lock(h_->mu);
    h_->BeginCall();
    Loc lf, lt;
    if (int e = h_->Locate(from, lf)) return e;
    if (int e = h_->Locate(to, lt)) return e;
    if (::renameat(lf.dfd, lf.name.c_str(), lt.dfd, lt.name.c_str()) != 0) return errno;
    if (lf.viaHandle) h_->Moved(from, to);
    return 0;
}

int PosixFileSystem::MakeDir(const std::string& path) {
    std::lock_guard<std::mutex> lock(h_->mu);
    h_->BeginCall();
    Loc loc;
    if (int e = h_->Locate(path, loc)) return e;
    return ::mkdirat(loc.dfd, loc.name.c_str(), 0777) == 0 ? 0 : errno;
}

int PosixFileSystem::RemoveFile(const std::string& path) {
    std::lock_guard<std::mutex> lock(h_->mu);
    h_->BeginCall();
    Loc loc;
    if (int e = h_->Locate(path, loc)) return e;
    return ::unlinkat(loc.dfd, loc.name.c_str(), 0) == 0 ? 0 : errno;
}

int PosixFileSystem::RemoveDir(const std::string& path) {
    std::lock_guard<std::mutex> lock(h_->mu);
    h_->BeginCall();
    Loc loc;
    if (int e = h_->Locate(path, loc)) return e;
    if (::unlinkat(loc.dfd, loc.name.c_str(), AT_REMOVEDIR) != 0) return errno;
    h_->Forget(path);
    return 0;
}

int PosixFileSystem::OpenRead(const std::string& path, std::unique_ptr<IFile>& out) {
    std::lock_guard<std::mutex> lock(h_->mu);
    h_->BeginCall();
    Loc loc;
    if (int e = h_->Locate(path, loc)) return e;
    // O_NONBLOCK keeps a FIFO from blocking the open; anything but a regular file is refused.
    int fd = ::openat(loc.dfd, loc.name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return errno;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return EINVAL;
    }
    int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    out = std::make_unique<PosixFile>(fd);
    return 0;
}

int PosixFileSystem::CreateNew(const std::string& path, std::unique_ptr<IFile>& out,
                               unsigned mode) {
    std::lock_guard<std::mutex> lock(h_->mu);
    h_->BeginCall();
    Loc loc;
    if (int e = h_->Locate(path, loc)) return e;
    int fd = ::openat(loc.dfd, loc.name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                      static_cast<mode_t>(mode & 0777));
    if (fd < 0) return errno;
    out = std::make_unique<PosixFile>(fd);
    return 0;
}

int PosixFileSystem::CreateTruncate(const std::string& path, std::unique_ptr<IFile>& out) {
    // The program's own files: reached by their path, never written through a link.
    auto n = Cp932ToUtf8(path);
    if (!n) return EINVAL;
    int fd = OpenOwnFileForWrite(*n, false);
    if (fd < 0) return -fd;
    out = std::make_unique<PosixFile>(fd);
    return 0;
}

int PosixFileSystem::ResolveOwnLink(const std::string& path, std::string& target) {
    auto n = Cp932ToUtf8(path);
    if (!n) return EINVAL;
    const int fd = ::open(n->c_str(), O_PATH | O_CLOEXEC);
    if (fd < 0) return errno;
    std::string buf(PATH_MAX + 1, '\0');
    const std::string proc = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t len = ::readlink(proc.c_str(), buf.data(), buf.size());
    const int e = errno;
    ::close(fd);
    if (len < 0) return e;
    if (static_cast<std::size_t>(len) >= buf.size()) return ENAMETOOLONG;
    buf.resize(static_cast<std::size_t>(len));
    auto cp = Utf8ToCp932(buf);
    if (!cp || buf.empty() || buf[0] != '/') return EINVAL;
    target = std::move(*cp);
    return 0;
}

int PosixFileSystem::StatNamed(const std::string& path, EntryInfo& out) {
    auto n = Cp932ToUtf8(path);
    if (!n) return EINVAL;
    struct stat st {};
    if (::stat(n->c_str(), &st) != 0) return errno;
    out = EntryInfo{};
    out.name = BaseName(path);
    FillRecords(st, out.name, path, out);
    return 0;
}

int PosixFileSystem::MakeDirMode(const std::string& path, unsigned mode) {
    std::lock_guard<std::mutex> lock(h_->mu);
    h_->BeginCall();
    Loc loc;
    if (int e = h_->Locate(path, loc)) return e;
    return ::mkdirat(loc.dfd, loc.name.c_str(), static_cast<mode_t>(mode & 0777)) == 0 ? 0 : errno;
}

int PosixFileSystem::OpenContinue(const std::string& path, std::size_t keep,
                                  std::unique_ptr<IFile>& out) {
    auto n = Cp932ToUtf8(path);
    if (!n) return EINVAL;
    int fd = OpenOwnFileForWrite(*n, true);
    if (fd < 0) return -fd;
    if (::ftruncate(fd, static_cast<off_t>(keep)) != 0) {
        const int e = errno;
        ::close(fd);
        return e;
    }
    out = std::make_unique<PosixFile>(fd);
    return 0;
}

int PosixFileSystem::SetMode(const std::string& path, unsigned mode) {
    auto n = Cp932ToUtf8(path);
    if (!n) return EINVAL;
    return ::chmod(n->c_str(), static_cast<mode_t>(mode & 07777)) == 0 ? 0 : errno;
}

OperationScope::OperationScope(const DiskScope& scope) {
    Fs().EnterScope(scope);
}
OperationScope::~OperationScope() {
    Fs().LeaveScope();
    TraceFlush();
}

bool DiskScope::Add(const std::string& given) {
    if (given.empty() || given[0] != '/') return false;
    std::string path = given;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (roots_.count(path)) return true;
    EntryInfo info;
    if (Fs().StatNamed(path, info) != 0 || !info.isDir) return false;
    roots_.emplace(path, ScopeRoot{path, info.device, info.inode});
    return true;
}

void DiskScope::AddPinned(ScopeRoot root) {
    std::string path = root.path;
    roots_.emplace(std::move(path), std::move(root));
}

const ScopeRoot* DiskScope::RootOf(std::string_view path) const {
    if (path.empty() || path[0] != '/') return nullptr;
    // The path itself, then each folder above it.
    for (std::string_view p = path;;) {
        if (auto it = roots_.find(p); it != roots_.end()) return &it->second;
        if (p == "/") return nullptr;
        const std::size_t slash = p.rfind('/');
        p = slash == 0 ? std::string_view("/") : p.substr(0, slash);
    }
}

std::vector<ScopeRoot> DiskScope::Roots() const {
    std::vector<ScopeRoot> out;
    out.reserve(roots_.size());
    for (const auto& [path, root] : roots_) out.push_back(root);
    return out;
}

int IFileSystem::OpenContinue(const std::string& path, std::size_t keep,
                              std::unique_ptr<IFile>& out) {
    std::string data;
    if (int e = ReadWholeFile(path, data)) return e;
    if (int e = CreateTruncate(path, out)) return e;
    const std::size_t n = std::min(keep, data.size());
    const long long w = out->Write(data.data(), n);
    if (w < 0 || static_cast<std::size_t>(w) != n) {
        out.reset();
        return w < 0 ? static_cast<int>(-w) : EIO;
    }
    return 0;
}

IFileSystem& Fs() {
    static PosixFileSystem real;
    IFileSystem* o = g_override.load();
    return o ? *o : real;
}

void SetFileSystem(IFileSystem* fs) {
    g_override.store(fs);
}

int ReadWholeFile(const std::string& path, std::string& out) {
    out.clear();
    std::unique_ptr<IFile> f;
    if (int e = Fs().OpenRead(path, f)) return e;
    char buf[65536];
    for (;;) {
        long long n = f->Read(buf, sizeof buf);
        if (n < 0) return static_cast<int>(-n);
        if (n == 0) break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    return f->Close();
}

int WriteFileAtomically(const std::string& path, const std::string& data) {
    std::string tmp;
    std::unique_ptr<IFile> f;
    int e = 0;
    for (int i = 0; i < 100; ++i) {
        tmp = path + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(i);
        e = Fs().CreateNew(tmp, f);
        if (e != EEXIST) break;
    }
    if (e) return e;
    long long w = f->Write(data.data(), data.size());
    int c = f->Close();
    if (w < 0 || static_cast<std::size_t>(w) != data.size() || c != 0) {
        Fs().RemoveFile(tmp);
        return w < 0 ? static_cast<int>(-w) : (c ? c : ENOSPC);
    }
    if (int r = Fs().RenameReplace(tmp, path)) {
        Fs().RemoveFile(tmp);
        return r;
    }
    return 0;
}

}  // namespace dov
