#include "support/fake_fs.h"

#include <cerrno>
#include <cstring>

#include "common/paths.h"

namespace dovtest {

int FaultFs::RenameNoReplace(const std::string& from, const std::string& to) {
    if (onRename)
        if (int r = onRename(from, to); r >= 0) return r;
    return PosixFileSystem::RenameNoReplace(from, to);
}

int FaultFs::Stat(const std::string& path, dov::EntryInfo& out) {
    if (onStat)
        if (int r = onStat(path); r >= 0) return r;
    return PosixFileSystem::Stat(path, out);
}

int FaultFs::MakeDir(const std::string& path) {
    if (onMakeDir)
        if (int r = onMakeDir(path); r >= 0) return r;
    return PosixFileSystem::MakeDir(path);
}

int FaultFs::MakeDirMode(const std::string& path, unsigned mode) {
    if (onMakeDir)
        if (int r = onMakeDir(path); r >= 0) return r;
    return PosixFileSystem::MakeDirMode(path, mode);
}

int FaultFs::OpenRead(const std::string& path, std::unique_ptr<dov::IFile>& out) {
    if (onOpenRead)
        if (int r = onOpenRead(path, out); r >= 0) return r;
    int r = PosixFileSystem::OpenRead(path, out);
    if (r == 0 && wrapRead) out = wrapRead(path, std::move(out));
    return r;
}

int FaultFs::CreateNew(const std::string& path, std::unique_ptr<dov::IFile>& out, unsigned mode) {
    if (onCreateNew)
        if (int r = onCreateNew(path, out); r >= 0) return r;
    int r = PosixFileSystem::CreateNew(path, out, mode);
    if (r == 0 && wrapCreate) out = wrapCreate(path, std::move(out));
    return r;
}

int FaultFs::CreateTruncate(const std::string& path, std::unique_ptr<dov::IFile>& out) {
    int r = PosixFileSystem::CreateTruncate(path, out);
    if (r == 0 && wrapTruncate) out = wrapTruncate(path, std::move(out));
    return r;
}

long long MemFile::Read(void* buf, std::size_t n) {
    if (readsLeft_ == 0) return -EIO;
    if (readsLeft_ > 0) --readsLeft_;
    const std::size_t k = std::min(n, data_.size() - pos_);
    std::memcpy(buf, data_.data() + pos_, k);
    pos_ += k;
    return static_cast<long long>(k);
}

long long MemFile::Write(const void* buf, std::size_t n) {
    if (!written_) return -EBADF;
    written_->append(static_cast<const char*>(buf), n);
    return static_cast<long long>(n);
}

namespace {

class LimitedFile : public dov::IFile {
  public:
    LimitedFile(std::unique_ptr<dov::IFile> f, long long limit) : f_(std::move(f)), left_(limit) {}
    long long Read(void* b, std::size_t n) override { return f_->Read(b, n); }
    long long Write(const void* b, std::size_t n) override {
        if (left_ >= 0 && static_cast<long long>(n) > left_) return -ENOSPC;
        if (left_ >= 0) left_ -= static_cast<long long>(n);
        return f_->Write(b, n);
    }
    int Close() override { return f_->Close(); }

  private:
    std::unique_ptr<dov::IFile> f_;
    long long left_;
};

bool IsUnder(const std::string& path, const std::string& folder) {
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           (folder == "/" || path[folder.size()] == '/');
}

}  // namespace

std::unique_ptr<dov::IFile> LimitWrites(std::unique_ptr<dov::IFile> file, long long limit) {
    return std::make_unique<LimitedFile>(std::move(file), limit);
}

bool MemFs::ParentExists(const std::string& path) const {
    const std::string parent = dov::ParentPath(path);
    return dirs.count(parent.empty() ? std::string("/") : parent) > 0;
}

int MemFs::ListDir(const std::string& path, std::vector<dov::EntryInfo>& out) {
    out.clear();
    if (!dirs.count(path)) return files.count(path) ? ENOTDIR : ENOENT;
    auto add = [&](const std::string& p) {
        if (dov::ParentPath(p) != (path == "/" ? std::string() : path)) return;
        dov::EntryInfo e;
        Stat(p, e);
        out.push_back(std::move(e));
    };
    for (const std::string& d : dirs)
        if (d != "/") add(d);
    for (const auto& [p, data] : files) add(p);
    return 0;
}

int MemFs::Stat(const std::string& path, dov::EntryInfo& out) {
    const bool dir = dirs.count(path) > 0;
    auto f = files.find(path);
    if (!dir && f == files.end()) return ENOENT;
    struct stat st {};
    st.st_mode = dir ? (S_IFDIR | 0755) : (S_IFREG | 0644);
    st.st_size = dir ? 0 : static_cast<off_t>(f->second.size());
    out = dov::EntryInfo{};
    out.name = dov::BaseName(path);
    out.rawName = out.name;
    dov::FillRecords(st, out.name, path, out);
    return 0;
}

int MemFs::RenameNoReplace(const std::string& from, const std::string& to) {
    if (files.count(to) || dirs.count(to)) return EEXIST;
    return RenameReplace(from, to);
}

int MemFs::RenameReplace(const std::string& from, const std::string& to) {
    if (!ParentExists(to)) return ENOENT;
    if (auto f = files.find(from); f != files.end()) {
        files[to] = std::move(f->second);
        files.erase(from);
        return 0;
    }
    if (!dirs.count(from)) return ENOENT;
    if (IsUnder(to, from)) return EINVAL;
    auto moved = [&](const std::string& p) { return to + p.substr(from.size()); };
    std::vector<std::string> folders;
    for (const std::string& d : dirs)
        if (d == from || IsUnder(d, from)) folders.push_back(d);
    for (const std::string& d : folders) {
        dirs.erase(d);
        dirs.insert(moved(d));
    }
    std::vector<std::string> below;
    for (const auto& [p, data] : files)
        if (IsUnder(p, from)) below.push_back(p);
    for (const std::string& p : below) {
        auto node = files.extract(p);
        node.key() = moved(p);
        files.insert(std::move(node));
    }
    return 0;
}

int MemFs::MakeDir(const std::string& path) {
    if (files.count(path) || dirs.count(path)) return EEXIST;
    if (!ParentExists(path)) return ENOENT;
    dirs.insert(path);
    return 0;
}

int MemFs::RemoveFile(const std::string& path) {
    return files.erase(path) ? 0 : ENOENT;
}

int MemFs::RemoveDir(const std::string& path) {
    if (!dirs.count(path)) return ENOENT;
    for (const std::string& d : dirs)
        if (IsUnder(d, path)) return ENOTEMPTY;
    for (const auto& [p, data] : files)
        if (IsUnder(p, path)) return ENOTEMPTY;
    dirs.erase(path);
    return 0;
}

int MemFs::OpenRead(const std::string& path, std::unique_ptr<dov::IFile>& out) {
    auto f = files.find(path);
    if (f == files.end()) return dirs.count(path) ? EINVAL : ENOENT;
    out = std::make_unique<MemFile>(f->second);
    return 0;
}

int MemFs::CreateNew(const std::string& path, std::unique_ptr<dov::IFile>& out, unsigned) {
    if (files.count(path) || dirs.count(path)) return EEXIST;
    return CreateTruncate(path, out);
}

int MemFs::CreateTruncate(const std::string& path, std::unique_ptr<dov::IFile>& out) {
    if (dirs.count(path)) return EISDIR;
    if (!ParentExists(path)) return ENOENT;
    std::string& data = files[path];
    data.clear();
    out = std::make_unique<MemFile>(std::string(), -1, &data);
    return 0;
}

std::string NoReplaceName(const ::testing::TestParamInfo<bool>& info) {
    return info.param ? "Fallback" : "Kernel";
}

}  // namespace dovtest
