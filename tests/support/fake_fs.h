// File systems for tests: the real one with faults on request, an in-memory one, files that fail
// on cue, and the two ways the no-replace rename is done as a test parameter.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/fs.h"

namespace dovtest {

// The real file system with faults on request. A hook returning -1 lets the call through; any
// other value is the result. wrapRead, wrapCreate and wrapTruncate wrap a file the real call
// opened.
class FaultFs : public dov::PosixFileSystem {
  public:
    using FileHook = std::function<int(const std::string&, std::unique_ptr<dov::IFile>&)>;
    using Wrap =
        std::function<std::unique_ptr<dov::IFile>(const std::string&, std::unique_ptr<dov::IFile>)>;
    std::function<int(const std::string& from, const std::string& to)> onRename;
    std::function<int(const std::string&)> onStat;
    std::function<int(const std::string&)> onMakeDir;
    FileHook onOpenRead;
    FileHook onCreateNew;
    Wrap wrapRead;
    Wrap wrapCreate;
    Wrap wrapTruncate;

    int RenameNoReplace(const std::string& from, const std::string& to) override;
    int Stat(const std::string& path, dov::EntryInfo& out) override;
    // A hook of a test need not take calls from several threads.
    bool ConcurrentStat() const override { return !onStat; }
    int MakeDir(const std::string& path) override;
    int MakeDirMode(const std::string& path, unsigned mode) override;
    int OpenRead(const std::string& path, std::unique_ptr<dov::IFile>& out) override;
    int CreateNew(const std::string& path, std::unique_ptr<dov::IFile>& out,
                  unsigned mode = 0666) override;
    int CreateTruncate(const std::string& path, std::unique_ptr<dov::IFile>& out) override;
};

// A file in memory: reads `data`; after `readsBeforeError` reads (-1: never) every read fails
// with EIO. Writes go to `written` (when given).
class MemFile : public dov::IFile {
  public:
    explicit MemFile(std::string data, int readsBeforeError = -1, std::string* written = nullptr)
        : data_(std::move(data)), readsLeft_(readsBeforeError), written_(written) {}
    long long Read(void* buf, std::size_t n) override;
    long long Write(const void* buf, std::size_t n) override;
    int Close() override { return 0; }

  private:
    std::string data_;
    std::size_t pos_ = 0;
    int readsLeft_;
    std::string* written_;
};

// Wraps a file so that writes past `limit` bytes fail with ENOSPC (a full disk).
std::unique_ptr<dov::IFile> LimitWrites(std::unique_ptr<dov::IFile> file, long long limit);

// A file system held in memory, for tests that need no real disk semantics: folders and files
// by their CP932 paths. Links, times and permissions do not exist here.
class MemFs : public dov::IFileSystem {
  public:
    std::map<std::string, std::string> files;
    std::set<std::string> dirs{"/"};

    int ListDir(const std::string& path, std::vector<dov::EntryInfo>& out) override;
    int Stat(const std::string& path, dov::EntryInfo& out) override;
    int RenameNoReplace(const std::string& from, const std::string& to) override;
    int RenameReplace(const std::string& from, const std::string& to) override;
    int MakeDir(const std::string& path) override;
    int RemoveFile(const std::string& path) override;
    int RemoveDir(const std::string& path) override;
    int OpenRead(const std::string& path, std::unique_ptr<dov::IFile>& out) override;
    int CreateNew(const std::string& path, std::unique_ptr<dov::IFile>& out,
                  unsigned mode = 0666) override;
    int CreateTruncate(const std::string& path, std::unique_ptr<dov::IFile>& out) override;

  private:
    bool ParentExists(const std::string& path) const;
};

// A test run twice: with the kernel's no-replace rename and with the fallback used where the
// kernel has none. Declare `class Suite : public NoReplaceTest {};` and DOVTEST_BOTH_NO_REPLACE.
class NoReplaceTest : public ::testing::TestWithParam<bool> {
  protected:
    bool Fallback() const { return GetParam(); }
};

// The same, with the real file system installed for the test in that way.
class RealFsTest : public NoReplaceTest {
  protected:
    RealFsTest() {
        fs_.forceNoReplaceFallback = Fallback();
        dov::SetFileSystem(&fs_);
    }
    ~RealFsTest() override { dov::SetFileSystem(nullptr); }

  private:
    dov::PosixFileSystem fs_;
};

std::string NoReplaceName(const ::testing::TestParamInfo<bool>& info);

#define DOVTEST_BOTH_NO_REPLACE(Suite) \
    INSTANTIATE_TEST_SUITE_P(NoReplace, Suite, ::testing::Bool(), dovtest::NoReplaceName)

}  // namespace dovtest
