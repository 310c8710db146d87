// Copy and rename under faults, through the session: whatever happens to the sources or the
// target, the output holds only whole copies, the sources stay as they were, and every file that
// was not copied is counted.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/codepage.h"
#include "hardening_util.h"
#include "model/item.h"
#include "rename/copy_rename.h"

namespace {

using namespace hardtest;

// src/ holds what is loaded, out/ receives the copy.
struct CopyRun : dovtest::SessionRun {
    void Load(const std::vector<std::string>& names) {
        tmp.MakeDir("out");
        std::vector<std::string> under;
        for (const std::string& n : names) under.push_back("src/" + n);
        SessionRun::Load(under);
    }
    bool Go() { return s->CopyTo(Cp(tmp / "out")).outcome != dov::Outcome::NotStarted; }
    Listing Out() { return List(tmp / "out"); }
    Listing Src() { return List(tmp / "src"); }
};

// Every file of the output is a whole copy of the source file with the same relative path
// below "Root".
void ExpectOnlyWholeCopies(const Listing& src, const Listing& out) {
    for (const auto& [rel, e] : out) {
        if (e.kind == 'd') continue;  // folders come from the tree, not from the disk
        ASSERT_EQ(rel.rfind("Root/", 0), 0u) << rel;
        const std::string srcRel = rel.substr(5);
        auto it = src.find(srcRel);
        ASSERT_NE(it, src.end()) << rel;
        EXPECT_EQ(e.kind, 'f') << rel;
        EXPECT_EQ(it->second.kind, 'f') << rel;
        EXPECT_EQ(e.size, it->second.size) << rel;
        EXPECT_EQ(e.content, it->second.content) << rel;
    }
}

// Sources that are gone or changed their kind after the load: those fail, the rest is copied,
// and nothing waits on a FIFO.
TEST(CopyFault, VanishedSourcesAndFifosFailWithoutBlocking) {
    CopyRun r;
    r.tmp.WriteFile("src/d/a.txt", "a");
    r.tmp.WriteFile("src/d/gone.txt", "soon gone");
    r.tmp.WriteFile("src/d/becomes_fifo", "a file when loaded");
    r.tmp.WriteFile("src/d/inner/gone_dir/x.txt", "x");
    r.tmp.WriteFile("src/d/inner/b.txt", "b");
    ASSERT_EQ(mkfifo((r.tmp / "src/d/inner/pipe").c_str(), 0644), 0);
    r.tmp.WriteFile("src/d/link_target.txt", "t");
    ASSERT_EQ(symlink("link_target.txt", (r.tmp / "src/d/link").c_str()), 0);
    r.Load({"d"});
    ASSERT_EQ(unlink((r.tmp / "src/d/gone.txt").c_str()), 0);
    ASSERT_EQ(unlink((r.tmp / "src/d/becomes_fifo").c_str()), 0);
    ASSERT_EQ(mkfifo((r.tmp / "src/d/becomes_fifo").c_str(), 0644), 0);
    ASSERT_EQ(unlink((r.tmp / "src/d/inner/gone_dir/x.txt").c_str()), 0);
    ASSERT_EQ(rmdir((r.tmp / "src/d/inner/gone_dir").c_str()), 0);
    const Listing src = r.Src();

    ASSERT_TRUE(r.Go());
    EXPECT_EQ(Diff(src, r.Src()), "");
    const Listing out = r.Out();
    ExpectOnlyWholeCopies(src, out);
    std::set<std::string> names;
    for (const auto& [rel, e] : out) names.insert(rel + (e.kind == 'd' ? "/" : ""));
    // A folder of the tree is made even when its source went away (it holds no file).
    EXPECT_EQ(names, (std::set<std::string>{"Root/", "Root/d/", "Root/d/a.txt", "Root/d/inner/",
                                            "Root/d/inner/b.txt", "Root/d/inner/gone_dir/",
                                            "Root/d/link_target.txt"}));
    // Made: Root, d, inner, gone_dir, three files. Failed: gone.txt, the FIFOs, x.txt, the link.
    EXPECT_EQ(r.LastMessage(), CopyReport(7, 5));
}

// A target that fills up: the file that meets the full disk is removed again, and so is every
// later one; the files copied before are whole. ENOSPC may come from a write or only from the
// close (as over NFS).
class FullDisk : public dov::IFile {
  public:
    FullDisk(std::unique_ptr<dov::IFile> inner, long long* budget, bool onClose)
        : inner_(std::move(inner)), budget_(budget), onClose_(onClose) {}
    long long Read(void* b, std::size_t n) override { return inner_->Read(b, n); }
    long long Write(const void* b, std::size_t n) override {
        long long take = std::min<long long>(static_cast<long long>(n), *budget_);
        if (onClose_) take = static_cast<long long>(n);
        if (take <= 0) return -ENOSPC;
        long long w = inner_->Write(b, static_cast<std::size_t>(take));
        if (w > 0) {
            *budget_ -= w;
            written_ += w;
        }
        return w;
    }
    int Close() override {
        int r = inner_->Close();
        if (onClose_ && *budget_ < 0) return ENOSPC;
        return r;
    }

  private:
    std::unique_ptr<dov::IFile> inner_;
    long long* budget_;
    bool onClose_;
    long long written_ = 0;
};

TEST(CopyFault, FullTargetLeavesNoHalfFile) {
    for (bool onClose : {false, true}) {
        SCOPED_TRACE(onClose ? "ENOSPC on close" : "ENOSPC on write");
        CopyRun r;
        // Loaded (and copied) by name: 1.bin, 2.bin, 3.bin, 4.bin.
        r.tmp.WriteFile("src/d/1.bin", std::string(3000, '1'));
        r.tmp.WriteFile("src/d/2.bin", std::string(3000, '2'));
        r.tmp.WriteFile("src/d/3.bin", std::string(3000, '3'));
        r.tmp.WriteFile("src/d/4.bin", "");
        r.Load({"d"});
        long long budget = 5000;  // room for 1.bin and part of 2.bin
        r.fs.wrapCreate = [&](const std::string&, std::unique_ptr<dov::IFile> f) {
            return std::unique_ptr<dov::IFile>(
                std::make_unique<FullDisk>(std::move(f), &budget, onClose));
        };
        const Listing src = r.Src();
        ASSERT_TRUE(r.Go());
        const Listing out = r.Out();
        ExpectOnlyWholeCopies(src, out);
        EXPECT_TRUE(out.count("Root/d/1.bin"));
        EXPECT_FALSE(out.count("Root/d/2.bin"));
        EXPECT_FALSE(out.count("Root/d/3.bin"));
        // An empty file needs no room, but a disk that reports on close fails it too.
        EXPECT_EQ(out.count("Root/d/4.bin"), onClose ? 0u : 1u);
        EXPECT_EQ(r.LastMessage(), onClose ? CopyReport(3, 3) : CopyReport(4, 2));
        EXPECT_EQ(Diff(src, r.Src()), "");
    }
}

// STOP at every point of a run: whatever was made is whole, the rest is not there.
TEST(CopyFault, StopAtAnyPointLeavesOnlyWholeFiles) {
    for (long long polls = 0; polls < 40; ++polls) {
        SCOPED_TRACE(polls);
        CopyRun r;
        r.tmp.WriteFile("src/d/big.bin", std::string(5000, 'b'));
        r.tmp.WriteFile("src/d/e/mid.bin", std::string(2500, 'm'));
        r.tmp.WriteFile("src/d/e/small.txt", "s");
        r.tmp.WriteFile("src/top.txt", "t");
        r.Load({"d", "top.txt"});
        r.host.polls = 0;
        r.host.stopAfterPolls = polls;
        const Listing src = r.Src();
        // The session's tree with a small block, so STOP also comes between the blocks of one
        // file.
        dov::CCopyRun run(r.host);
        run.m_chunk = 1000;
        ASSERT_EQ(dov::CopyAndRename(run, r.s->Root(), Cp(r.tmp / "out"), {}), 0);
        ExpectOnlyWholeCopies(src, r.Out());
        EXPECT_EQ(Diff(src, r.Src()), "");
    }
}

// A sparse file past 4 GiB is copied whole: its size and the bytes on both sides of the 4 GiB
// mark and at its end.
TEST(CopyFault, SparseFilePastFourGigabytesIsCopiedWhole) {
    CopyRun r;
    const off_t size = (off_t{1} << 32) + 4096 + 17;
    struct statvfs vfs {};
    if (statvfs(r.tmp.path().c_str(), &vfs) != 0)
        GTEST_SKIP() << "cannot read the free space of the temporary file system";
    const unsigned long long freeBytes =
        static_cast<unsigned long long>(vfs.f_bavail) * vfs.f_frsize;
    // The copy is written out in full: it needs its whole size plus room to spare.
    if (freeBytes < static_cast<unsigned long long>(size) + (1ull << 30))
        GTEST_SKIP() << "the temporary file system has " << (freeBytes >> 20)
                     << " MiB free; the copy needs more than 5 GiB";
    r.tmp.MakeDir("src/d");
    const std::string big = r.tmp / "src/d/sparse.bin";
    int fd = ::open(big.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0);
    struct Mark {
        off_t at;
        const char* bytes;
    } marks[] = {{0, "head"}, {(off_t{1} << 32) - 2, "ACROSS"}, {size - 4, "tail"}};
    bool sparseOk = ftruncate(fd, size) == 0;
    for (const Mark& m : marks)
        sparseOk = sparseOk && pwrite(fd, m.bytes, std::strlen(m.bytes), m.at) ==
                                   static_cast<ssize_t>(std::strlen(m.bytes));
    ::close(fd);
    if (!sparseOk) GTEST_SKIP() << "the temporary file system does not take a sparse file";
    r.Load({"d"});
    ASSERT_TRUE(r.Go());
    EXPECT_EQ(r.LastMessage(), CopyReport(3, 0));
    const std::string copy = r.tmp / "out/Root/d/sparse.bin";
    struct stat st {};
    ASSERT_EQ(stat(copy.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, size);
    // The marks with a byte of the zeros around them, read from the source and the copy.
    auto readAround = [&](const std::string& path, const Mark& m) {
        const off_t at = m.at > 0 ? m.at - 1 : 0;
        std::string got(
            static_cast<std::size_t>(std::min<off_t>(std::strlen(m.bytes) + 2, size - at)), '?');
        int f = ::open(path.c_str(), O_RDONLY);
        const ssize_t n = f >= 0 ? pread(f, got.data(), got.size(), at) : -1;
        if (f >= 0) ::close(f);
        return n == static_cast<ssize_t>(got.size()) ? got : std::string("<unreadable>");
    };
    for (const Mark& m : marks) {
        const std::string got = readAround(copy, m);
        EXPECT_EQ(got, readAround(big, m)) << m.bytes;
        EXPECT_NE(got.find(m.bytes), std::string::npos) << m.bytes;
    }
    // Give the space back at once.
    unlink(copy.c_str());
    unlink(big.c_str());
}

}  // namespace
