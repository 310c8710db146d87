// The file-system layer: every call the program makes to the disk goes through IFileSystem.
//
// Paths given to and returned by this layer are CP932 byte strings with '/' as the separator;
// the layer converts them to and from UTF-8 (the disk's encoding). A path that cannot be
// converted fails with EINVAL and nothing on disk is touched. Functions return 0 on success or
// a positive errno value.
//
// Each operation on the loaded tree (a load, a rename, a copy, an undo) is given its disk scope:
// the folders the user named (those holding the loaded entries, the copy's output folder), each
// pinned by its device and inode when it was named. While the operation runs (OperationScope),
// the real layer reaches those folders by their paths and checks the pin, and everything below
// them through folder handles, each opened relative to its parent's handle without following
// links: a folder replaced by a link is never entered, no call walks the whole path, and paths
// longer than PATH_MAX work. A path under no folder of the scope fails with ENOENT, except the
// program's own files, which are used as plain paths (as they are outside any operation).
//
// Tests replace the real layer with SetFileSystem() to inject failures (EEXIST, EACCES, EINVAL
// from an unsupported no-replace rename, a short read, a full disk).
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/filetime.h"
#include "common/rare_text.h"

namespace dov {

// The directory-entry record of an item (m_findData), as a directory listing gives it.
struct FindData {
    std::uint32_t dwFileAttributes = 0;  // 0x10 for a folder, else 0 (0x80 for a new item)
    FileTime ftCreationTime;
    FileTime ftLastAccessTime;
    FileTime ftLastWriteTime;
    std::uint32_t nFileSizeHigh = 0;
    std::uint32_t nFileSizeLow = 0;
    std::uint32_t dwReserved0 = 0;
    std::uint32_t dwReserved1 = 0;
    std::string cFileName;        // up to 259 bytes in the save file
    RareText cAlternateFileName;  // always empty here; up to 13 bytes in the save file
    bool operator==(const FindData&) const = default;
};

// The file status record of an item (m_status).
struct FileStatus {
    std::int32_t m_ctime = 0;  // seconds since 1970
    std::int32_t m_mtime = 0;
    std::int32_t m_atime = 0;
    std::int32_t m_size = 0;       // the size as a signed 32-bit value, as stored
    std::uint8_t m_attribute = 0;  // 0x10 folder, 0x01 not writable
    std::uint8_t m_padding = 0;
    std::string m_szFullName;  // up to 259 bytes in the save file
    std::uint64_t size64 = 0;  // the true size, kept in memory only
    // What the entry was when its status was read, kept in memory only (not in the save file):
    // its device and inode, and its type ('d' folder, 'l' link, 'f' anything else; 0 unknown,
    // as for an item made in the tree or read from a save file).
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    char type = 0;
    bool operator==(const FileStatus&) const = default;
};

constexpr std::uint32_t kAttrDirectory = 0x10;
constexpr std::uint32_t kAttrNormal = 0x80;
constexpr std::uint8_t kStatusReadOnly = 0x01;
constexpr std::uint8_t kStatusDirectory = 0x10;

// What lstat() says of one path or directory entry.
struct EntryInfo {
    std::string name;     // CP932 name (empty when nameOk is false)
    std::string rawName;  // the name's bytes on disk
    bool nameOk = true;   // false: the entry's status cannot be read
    bool isDir = false;   // a real folder (links are never followed)
    bool isLink = false;
    bool isRegular = false;
    std::uint64_t size = 0;
    std::uint64_t inode = 0;
    std::uint64_t device = 0;
    unsigned mode = 0;        // the permission bits (07777)
    unsigned uid = 0;         // the owner
    std::uint64_t links = 1;  // the number of hard links
    FindData findData;
    FileStatus status;
};

// An open file for reading or writing.
class IFile {
  public:
    virtual ~IFile() = default;
    // Bytes read (0 at the end) or -errno.
    virtual long long Read(void* buf, std::size_t n) = 0;
    // Bytes written or -errno; a short count is a failure for the caller to report.
    virtual long long Write(const void* buf, std::size_t n) = 0;
    // 0 or errno; flushes what was written.
    virtual int Close() = 0;
    // 0 or errno: what was written is on the disk's stable storage (fdatasync).
    virtual int Sync() { return 0; }
    // The permission bits (0777) of the open file; ENOTSUP for a layer without them.
    virtual int GetMode(unsigned& /*mode*/) { return ENOTSUP; }
    // Sets the permission bits of the open file; nothing to do for a layer without them.
    virtual int SetMode(unsigned /*mode*/) { return 0; }
};

// One folder of a disk scope: its path as the user named it, and what it led to then.
struct ScopeRoot {
    std::string path;  // CP932, absolute, no trailing '/' (but "/")
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const ScopeRoot&) const = default;
};

// The folders an operation may reach the disk below. There is no bound and nothing is dropped.
class DiskScope {
  public:
    // Adds a folder, pinned by what its path leads to now (links on the way are followed, as
    // the user's path says). false when it is not a folder now (nothing added). A folder added
    // before keeps its first pin.
    bool Add(const std::string& path);
    // Adds a folder pinned earlier (a journal's record).
    void AddPinned(ScopeRoot root);
    // The folder of the scope that path is or lies below (the nearest), or nullptr.
    const ScopeRoot* RootOf(std::string_view path) const;
    bool Contains(std::string_view path) const { return RootOf(path) != nullptr; }
    std::vector<ScopeRoot> Roots() const;
    std::size_t Size() const { return roots_.size(); }
    void Clear() { roots_.clear(); }

  private:
    std::map<std::string, ScopeRoot, std::less<>> roots_;
};

class IFileSystem {
  public:
    virtual ~IFileSystem() = default;

    // Every entry but "." and "..", with lstat data. Entries whose names cannot be converted
    // come back with nameOk false.
    virtual int ListDir(const std::string& path, std::vector<EntryInfo>& out) = 0;

    // The same, given up when stop() says so: ECANCELED with out empty. stop is called on the
    // calling thread only, before and between blocks of a few hundred entries (not at all
    // for a smaller folder). The default lists the whole folder.
    virtual int ListDirUnless(const std::string& path, std::vector<EntryInfo>& out,
                              const std::function<bool()>& stop);

    // The names of a folder's entries as the disk has them (UTF-8 bytes), without "." and ".."
    // and without reading each entry's status. The default takes them from ListDir.
    virtual int ListNames(const std::string& path, std::vector<std::string>& out);

    // lstat of one path; the name is the path's last element.
    virtual int Stat(const std::string& path, EntryInfo& out) = 0;
    // Whether Stat may be called from several threads at once (their calls then overlap).
    virtual bool ConcurrentStat() const { return false; }

    // stat of a folder the user named, links on the way followed (to pin it); the default is
    // Stat.
    virtual int StatNamed(const std::string& path, EntryInfo& out) { return Stat(path, out); }

    // Renames without ever replacing an existing target (EEXIST when taken).
    virtual int RenameNoReplace(const std::string& from, const std::string& to) = 0;

    // Renames replacing the target (for the program's own files, e.g. a finished save file).
    virtual int RenameReplace(const std::string& from, const std::string& to) = 0;

    virtual int MakeDir(const std::string& path) = 0;
    // Makes a folder with these permission bits (less the umask); a layer without permissions
    // makes a plain one.
    virtual int MakeDirMode(const std::string& path, unsigned /*mode*/) { return MakeDir(path); }
    virtual int RemoveFile(const std::string& path) = 0;
    virtual int RemoveDir(const std::string& path) = 0;

    // Opens a regular file for reading (anything else: EINVAL or the open error).
    virtual int OpenRead(const std::string& path, std::unique_ptr<IFile>& out) = 0;

    // Creates a new file for writing with these permission bits (less the umask); EEXIST when
    // the path is taken.
    virtual int CreateNew(const std::string& path, std::unique_ptr<IFile>& out,
                          unsigned mode = 0666) = 0;

    // Creates or empties one of the program's own files for writing; a symbolic link or anything
    // but a regular file at the path is refused (ELOOP, EINVAL) and left as it is.
    virtual int CreateTruncate(const std::string& path, std::unique_ptr<IFile>& out) = 0;

    // Opens one of the program's own files to go on writing it after its first `keep` bytes
    // (what follows is cut off). The default reads the file and writes those bytes again.
    virtual int OpenContinue(const std::string& path, std::size_t keep,
                             std::unique_ptr<IFile>& out);

    // Sets the permission bits (07777) of a file (links are followed); a layer without
    // permissions has nothing to do.
    virtual int SetMode(const std::string& /*path*/, unsigned /*mode*/) { return 0; }

    // The path a link leads to, as the kernel resolves it when the link is opened (its rules on
    // links in shared sticky folders apply), as CP932; EINVAL for a layer without links.
    virtual int ResolveOwnLink(const std::string& /*path*/, std::string& /*target*/) {
        return EINVAL;
    }

    // The scope of the operation that starts / ends (see OperationScope); the open folder
    // handles are closed at both.
    virtual void EnterScope(const DiskScope& /*scope*/) {}
    virtual void LeaveScope() {}
};

// The real layer over the Linux system calls.
class PosixFileSystem : public IFileSystem {
  public:
    PosixFileSystem();
    ~PosixFileSystem() override;
    PosixFileSystem(const PosixFileSystem&) = delete;
    PosixFileSystem& operator=(const PosixFileSystem&) = delete;

    // Test seam: behave as if renameat2(RENAME_NOREPLACE) were unsupported (as on NFS, 9p and
    // many FUSE file systems), so the fallback path runs.
    bool forceNoReplaceFallback = false;

    int ListDir(const std::string& path, std::vector<EntryInfo>& out) override;
    int ListDirUnless(const std::string& path, std::vector<EntryInfo>& out,
                      const std::function<bool()>& stop) override;
    int ListNames(const std::string& path, std::vector<std::string>& out) override;

    int Stat(const std::string& path, EntryInfo& out) override;
    bool ConcurrentStat() const override { return true; }
    int RenameNoReplace(const std::string& from, const std::string& to) override;
    int RenameReplace(const std::string& from, const std::string& to) override;
    int MakeDir(const std::string& path) override;
    int RemoveFile(const std::string& path) override;
    int RemoveDir(const std::string& path) override;
    int OpenRead(const std::string& path, std::unique_ptr<IFile>& out) override;
    int CreateNew(const std::string& path, std::unique_ptr<IFile>& out,
                  unsigned mode = 0666) override;
    int CreateTruncate(const std::string& path, std::unique_ptr<IFile>& out) override;
    int SetMode(const std::string& path, unsigned mode) override;
    int ResolveOwnLink(const std::string& path, std::string& target) override;
    int MakeDirMode(const std::string& path, unsigned mode) override;
    int StatNamed(const std::string& path, EntryInfo& out) override;
    int OpenContinue(const std::string& path, std::size_t keep,
                     std::unique_ptr<IFile>& out) override;
    void EnterScope(const DiskScope& scope) override;
    void LeaveScope() override;

    // Folder handles open now (for tests of the cache's bound).
    std::size_t OpenHandles() const;

  private:
    int ReadNames(const std::string& path, std::vector<std::string>& names, int& dfd);

    struct Handles;
    std::unique_ptr<Handles> h_;
};

// One operation (a load, a rename, a copy, an undo) over its disk scope: the disk is reached
// only below the scope's folders while it lasts; the folder handles are released when it starts
// and when it ends, and the trace is written out when it ends. Operations do not nest.
class OperationScope {
  public:
    explicit OperationScope(const DiskScope& scope);
    ~OperationScope();
    OperationScope(const OperationScope&) = delete;
    OperationScope& operator=(const OperationScope&) = delete;
};

// The layer in use (the real one unless a test installed another).
IFileSystem& Fs();

// Installs another layer; nullptr restores the real one. The caller keeps ownership.
void SetFileSystem(IFileSystem* fs);

// Installs a layer for the lifetime of a scope.
class ScopedFileSystem {
  public:
    explicit ScopedFileSystem(IFileSystem* fs) { SetFileSystem(fs); }
    ~ScopedFileSystem() { SetFileSystem(nullptr); }
    ScopedFileSystem(const ScopedFileSystem&) = delete;
    ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;
};

// Fills the records of an entry from lstat data (shared by ListDir and Stat).
void FillRecords(const struct stat& st, const std::string& cp932Name, const std::string& fullPath,
                 EntryInfo& out);
// The same, taking over the path's storage.
void FillRecords(const struct stat& st, const std::string& cp932Name, std::string&& fullPath,
                 EntryInfo& out);

// Reads a whole file (for the program's own small files); 0 or errno.
int ReadWholeFile(const std::string& path, std::string& out);

// Writes a whole file: to a temporary name in the same folder first, then moved over the
// target, so a failure leaves any older file intact; 0 or errno.
int WriteFileAtomically(const std::string& path, const std::string& data);

}  // namespace dov
