#include "common/fs.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "common/codepage.h"
#include "common/paths.h"

namespace dov {
namespace {

std::atomic<IFileSystem*> g_override{nullptr};

// CP932 path -> native path; nullopt when the bytes cannot be converted.
std::optional<std::string> Native(const std::string& cp932) {
    return Cp932ToUtf8(cp932);
}

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
    int Close() override {
        if (fd_ < 0) return 0;
        int r = ::close(fd_);
        fd_ = -1;
        return r == 0 ? 0 : errno;
    }

  private:
    int fd_;
};

bool SameEntry(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    if (::lstat(a.c_str(), &sa) != 0 || ::lstat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// rename without replacing, when the kernel's no-replace flag is not supported: no step
// checks first and acts later, so another process cannot slip a file in between.
int FallbackNoReplace(const std::string& from, const std::string& to) {
    struct stat st {};
    if (::lstat(from.c_str(), &st) != 0) return errno;
    if (!S_ISDIR(st.st_mode)) {
        // link() fails with EEXIST instead of replacing.
        if (::link(from.c_str(), to.c_str()) != 0) {
            int e = errno;
            if (e == EPERM || e == EMLINK || e == ENOTSUP || e == EOPNOTSUPP) {
                // No hard links here (vfat and friends): make the target exclusively, then
                // rename onto that empty placeholder.
                int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
                if (fd < 0) return errno;
                ::close(fd);
                if (::rename(from.c_str(), to.c_str()) != 0) {
                    int e2 = errno;
                    ::unlink(to.c_str());
                    return e2;
                }
                return 0;
            }
            return e;
        }
        if (::unlink(from.c_str()) != 0) {
            int e = errno;
            ::unlink(to.c_str());  // leave things as they were
            return e;
        }
        return 0;
    }
    // A folder: take the target name with mkdir (EEXIST when taken), then move onto it.
    if (::mkdir(to.c_str(), 0700) != 0) return errno;
    if (::rename(from.c_str(), to.c_str()) != 0) {
        int e = errno;
        ::rmdir(to.c_str());
        return e;
    }
    return 0;
}

int RawRenameNoReplace(const std::string& from, const std::string& to, bool forceFallback) {
    // A folder into itself answers EINVAL too; rule it out before reading EINVAL as "the flag
    // is not supported".
    if (to.size() > from.size() && to.compare(0, from.size(), from) == 0 && to[from.size()] == '/')
        return EINVAL;
    int r = forceFallback
                ? -1
                : ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
    if (r == 0) return 0;
    int e = forceFallback ? EINVAL : errno;
    if (e == EINVAL || e == ENOSYS) return FallbackNoReplace(from, to);
    return e;
}

}  // namespace

void FillRecords(const struct stat& st, const std::string& cp932Name, const std::string& fullPath,
                 EntryInfo& out) {
    out.isDir = S_ISDIR(st.st_mode);
    out.isLink = S_ISLNK(st.st_mode);
    out.isRegular = S_ISREG(st.st_mode);
    out.size = out.isDir ? 0 : static_cast<std::uint64_t>(st.st_size);
    out.inode = st.st_ino;
    out.device = st.st_dev;

    FindData& fd = out.findData;
    fd = FindData{};
    fd.dwFileAttributes = out.isDir ? kAttrDirectory : 0;
    fd.ftCreationTime = UnixToFileTime(st.st_ctim.tv_sec, st.st_ctim.tv_nsec);
    fd.ftLastAccessTime = UnixToFileTime(st.st_atim.tv_sec, st.st_atim.tv_nsec);
    fd.ftLastWriteTime = UnixToFileTime(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    fd.nFileSizeHigh = static_cast<std::uint32_t>(out.size >> 32);
    fd.nFileSizeLow = static_cast<std::uint32_t>(out.size);
    fd.cFileName = cp932Name;

    FileStatus& fs = out.status;
    fs = FileStatus{};
    fs.m_ctime = ToTime32(st.st_ctim.tv_sec);
    fs.m_mtime = ToTime32(st.st_mtim.tv_sec);
    fs.m_atime = ToTime32(st.st_atim.tv_sec);
    fs.m_size = static_cast<std::int32_t>(static_cast<std::uint32_t>(out.size));
    fs.m_attribute = static_cast<std::uint8_t>((out.isDir ? kStatusDirectory : 0) |
                                               ((st.st_mode & S_IWUSR) ? 0 : kStatusReadOnly));
    fs.m_szFullName = fullPath;
    fs.size64 = out.size;
}

int PosixFileSystem::ListDir(const std::string& path, std::vector<EntryInfo>& out) {
    out.clear();
    auto native = Native(path);
    if (!native) return EINVAL;
    int dfd = ::open(native->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0) return errno;
    DIR* dir = ::fdopendir(dfd);
    if (!dir) {
        int e = errno;
        ::close(dfd);
        return e;
    }
    errno = 0;
    while (struct dirent* de = ::readdir(dir)) {
        const char* n = de->d_name;
        if (std::strcmp(n, ".") == 0 || std::strcmp(n, "..") == 0) continue;
        EntryInfo info;
        info.rawName = n;
        auto cp = Utf8ToCp932(info.rawName);
        info.nameOk = cp.has_value();
        struct stat st {};
        if (::fstatat(dfd, n, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            info.nameOk = false;  // vanished or unreadable: the loader counts it as failed
        } else if (info.nameOk) {
            info.name = *cp;
            FillRecords(st, info.name, JoinPath(path, info.name), info);
        }
        out.push_back(std::move(info));
        errno = 0;
    }
    int e = errno;
    ::closedir(dir);
    return e;
}

int IFileSystem::ListNames(const std::string& path, std::vector<std::string>& out) {
    out.clear();
    std::vector<EntryInfo> entries;
    const int e = ListDir(path, entries);
    for (EntryInfo& info : entries) out.push_back(std::move(info.rawName));
    return e;
}

int PosixFileSystem::ListNames(const std::string& path, std::vector<std::string>& out) {
    out.clear();
    auto native = Native(path);
    if (!native) return EINVAL;
    DIR* dir = ::opendir(native->c_str());
    if (!dir) return errno;
    errno = 0;
    while (struct dirent* de = ::readdir(dir)) {
        if (std::strcmp(de->d_name, ".") != 0 && std::strcmp(de->d_name, "..") != 0)
            out.emplace_back(de->d_name);
        errno = 0;
    }
    const int e = errno;
    ::closedir(dir);
    return e;
}

int PosixFileSystem::Stat(const std::string& path, EntryInfo& out) {
    auto native = Native(path);
    if (!native) return EINVAL;
    struct stat st {};
    if (::lstat(native->c_str(), &st) != 0) return errno;
    out = EntryInfo{};
    out.name = BaseName(path);
    out.rawName = BaseName(*native);
    FillRecords(st, out.name, path, out);
    return 0;
}

int PosixFileSystem::RenameNoReplace(const std::string& from, const std::string& to) {
    auto nf = Native(from);
    auto nt = Native(to);
    if (!nf || !nt) return EINVAL;
    int e = RawRenameNoReplace(*nf, *nt, forceNoReplaceFallback);
    if (e == EEXIST && *nf != *nt && SameEntry(*nf, *nt)) {
        // A case-only rename on a case-insensitive file system meets the entry itself: go
        // through a temporary name that nothing else uses.
        for (int i = 0; i < 100; ++i) {
            std::string tmp =
                *nf + ".dovreth-tmp" + std::to_string(::getpid()) + "_" + std::to_string(i);
            int e1 = RawRenameNoReplace(*nf, tmp, forceNoReplaceFallback);
            if (e1 == EEXIST) continue;
            if (e1 != 0) return e1;
            int e2 = RawRenameNoReplace(tmp, *nt, forceNoReplaceFallback);
            if (e2 != 0) {
                RawRenameNoReplace(tmp, *nf, forceNoReplaceFallback);
                return e2;
            }
            return 0;
        }
        return EEXIST;
    }
    return e;
}

int PosixFileSystem::RenameReplace(const std::string& from, const std::string& to) {
    auto nf = Native(from);
    auto nt = Native(to);
    if (!nf || !nt) return EINVAL;
    return ::rename(nf->c_str(), nt->c_str()) == 0 ? 0 : errno;
}

int PosixFileSystem::MakeDir(const std::string& path) {
    auto n = Native(path);
    if (!n) return EINVAL;
    return ::mkdir(n->c_str(), 0777) == 0 ? 0 : errno;
}

int PosixFileSystem::RemoveFile(const std::string& path) {
    auto n = Native(path);
    if (!n) return EINVAL;
    return ::unlink(n->c_str()) == 0 ? 0 : errno;
}

int PosixFileSystem::RemoveDir(const std::string& path) {
    auto n = Native(path);
    if (!n) return EINVAL;
    return ::rmdir(n->c_str()) == 0 ? 0 : errno;
}

int PosixFileSystem::OpenRead(const std::string& path, std::unique_ptr<IFile>& out) {
    auto n = Native(path);
    if (!n) return EINVAL;
    // O_NONBLOCK keeps a FIFO from blocking the open; anything but a regular file is refused.
    int fd = ::open(n->c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
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

int PosixFileSystem::CreateNew(const std::string& path, std::unique_ptr<IFile>& out) {
    auto n = Native(path);
    if (!n) return EINVAL;
    int fd = ::open(n->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return errno;
    out = std::make_unique<PosixFile>(fd);
    return 0;
}

int PosixFileSystem::CreateTruncate(const std::string& path, std::unique_ptr<IFile>& out) {
    auto n = Native(path);
    if (!n) return EINVAL;
    int fd = OpenOwnFileForWrite(*n, false);
    if (fd < 0) return -fd;
    out = std::make_unique<PosixFile>(fd);
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
