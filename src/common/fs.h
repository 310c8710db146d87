// The file-system layer: every call the program makes to the disk goes through IFileSystem.
//
// Paths given to and returned by this layer are CP932 byte strings with '/' as the separator;
// the layer converts them to and from UTF-8 (the disk's encoding). A path that cannot be
// converted fails with EINVAL and nothing on disk is touched. Functions return 0 on success or
// a positive errno value.
//
// The real layer reaches the loaded tree through folder handles: below a folder the user named
// (TrustFolder) every folder is opened relative to its parent's handle without following links,
// so a folder replaced by a link after loading is never entered, no call walks the whole path
// and paths longer than PATH_MAX work. Paths under no named folder (the program's own files, a
// save file the user picked) are used as plain paths.
//
// Tests replace the real layer with SetFileSystem() to inject failures (EEXIST, EACCES, EINVAL
// from an unsupported no-replace rename, a short read, a full disk).
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/filetime.h"

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
    std::string cFileName;           // up to 259 bytes in the save file
    std::string cAlternateFileName;  // always empty here; up to 13 bytes in the save file
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
    unsigned mode = 0;  // the permission bits (07777)
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
};

class IFileSystem {
  public:
    virtual ~IFileSystem() = default;

    // Every entry but "." and "..", with lstat data. Entries whose names cannot be converted
    // come back with nameOk false.
    virtual int ListDir(const std::string& path, std::vector<EntryInfo>& out) = 0;

    // The names of a folder's entries as the disk has them (UTF-8 bytes), without "." and ".."
    // and without reading each entry's status. The default takes them from ListDir.
    virtual int ListNames(const std::string& path, std::vector<std::string>& out);

    // lstat of one path; the name is the path's last element.
    virtual int Stat(const std::string& path, EntryInfo& out) = 0;

    // Renames without ever replacing an existing target (EEXIST when taken).
    virtual int RenameNoReplace(const std::string& from, const std::string& to) = 0;

    // Renames replacing the target (for the program's own files, e.g. a finished save file).
    virtual int RenameReplace(const std::string& from, const std::string& to) = 0;

    virtual int MakeDir(const std::string& path) = 0;
    virtual int RemoveFile(const std::string& path) = 0;
    virtual int RemoveDir(const std::string& path) = 0;

    // Opens a regular file for reading (anything else: EINVAL or the open error).
    virtual int OpenRead(const std::string& path, std::unique_ptr<IFile>& out) = 0;

    // Creates a new file for writing; EEXIST when the path is taken.
    virtual int CreateNew(const std::string& path, std::unique_ptr<IFile>& out) = 0;

    // Creates or empties one of the program's own files for writing; a symbolic link or anything
    // but a regular file at the path is refused (ELOOP, EINVAL) and left as it is.
    virtual int CreateTruncate(const std::string& path, std::unique_ptr<IFile>& out) = 0;

    // The target a symbolic link holds, as CP932; EINVAL when it cannot be held (a layer
    // without links always says so).
    virtual int ReadLink(const std::string& /*path*/, std::string& /*target*/) { return EINVAL; }

    // Sets the permission bits (07777) of a file (links are followed); a layer without
    // permissions has nothing to do.
    virtual int SetMode(const std::string& /*path*/, unsigned /*mode*/) { return 0; }
    // A folder the user named (the folder holding a loaded entry, the copy's output folder):
    // links on the way to it are followed as the user's path says; below it nothing that is a
    // link is entered, and a folder that is no longer there (or is now a link or a file) makes
    // the calls below it fail with ENOENT.
    virtual void TrustFolder(const std::string& /*path*/) {}

    // Closes the folder handles kept between calls; each operation (a load, a rename, a copy)
    // starts and ends with this, so a folder replaced in between is looked at afresh.
    virtual void ReleaseHandles() {}
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
    int ListNames(const std::string& path, std::vector<std::string>& out) override;

    int Stat(const std::string& path, EntryInfo& out) override;
    int RenameNoReplace(const std::string& from, const std::string& to) override;
    int RenameReplace(const std::string& from, const std::string& to) override;
    int MakeDir(const std::string& path) override;
    int RemoveFile(const std::string& path) override;
    int RemoveDir(const std::string& path) override;
    int OpenRead(const std::string& path, std::unique_ptr<IFile>& out) override;
    int CreateNew(const std::string& path, std::unique_ptr<IFile>& out) override;
    int CreateTruncate(const std::string& path, std::unique_ptr<IFile>& out) override;
    int ReadLink(const std::string& path, std::string& target) override;
    int SetMode(const std::string& path, unsigned mode) override;
    void TrustFolder(const std::string& path) override;
    void ReleaseHandles() override;

    // Folder handles open now (for tests of the cache's bound).
    std::size_t OpenHandles() const;

  private:
    int ReadNames(const std::string& path, std::vector<std::string>& names, int& dfd);

    struct Handles;
    std::unique_ptr<Handles> h_;
};

// One operation (a load, a rename, a copy): the folder handles are released when it starts and
// when it ends, and the trace is written out when it ends.
class OperationScope {
  public:
    OperationScope();
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

// Reads a whole file (for the program's own small files); 0 or errno.
int ReadWholeFile(const std::string& path, std::string& out);

// Writes a whole file: to a temporary name in the same folder first, then moved over the
// target, so a failure leaves any older file intact; 0 or errno.
int WriteFileAtomically(const std::string& path, const std::string& data);

}  // namespace dov
