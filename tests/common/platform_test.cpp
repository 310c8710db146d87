#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "common/codepage.h"
#include "common/fs.h"
#include "common/paths.h"
#include "common/trace.h"
#include "support/test_support.h"

namespace {

using dovtest::Sj;

TEST(CodePage, EscapesBytes) {
    EXPECT_EQ(dov::EscapeBytes("a\xFF\n\\"), "a\\xFF\\x0A\\x5C");
}

TEST(Paths, JoinSplitWithSlash) {
    EXPECT_EQ(dov::JoinPath("/", "a"), "/a");
    EXPECT_EQ(dov::JoinPath("/x", "a"), "/x/a");
    EXPECT_EQ(dov::ParentPath("/a/b.txt"), "/a");
    EXPECT_EQ(dov::ParentPath("/a"), "");
    EXPECT_EQ(dov::BaseName("/a/b.txt"), "b.txt");
    // '/' is never a trail byte, but a trail byte '\' must not confuse the split either.
    EXPECT_EQ(dov::ParentPath("/" + Sj("表") + "/x"), "/" + Sj("表"));
}

TEST(ProgramFolder, HonoursDovrethHome) {
    dovtest::TempDir tmp;
    EXPECT_EQ(dov::ProgramFolderNative(), tmp.home());
    EXPECT_EQ(dov::ProgramFile("DataTrace.txt"), tmp.home() + "/DataTrace.txt");
}

TEST(ProgramFolder, ChoosesAPrivateFolderAndNeverASharedOne) {
    dovtest::TempDir tmp;
    const std::string t = tmp.path();
    tmp.MakeDir("plain");
    tmp.MakeDir("portable");
    tmp.WriteFile("portable/dovreth.portable");
    tmp.MakeDir("build/CMakeFiles");
    struct Case {
        const char* what;
        dov::FolderSources from;
        std::string expected;  // "" : refused
    };
    const Case cases[] = {
        {"DOVRETH_HOME first", {t + "/own/", t + "/portable", "", t + "/h", ""}, t + "/own"},
        {"a portable copy", {"", t + "/portable", "", t + "/h", ""}, t + "/portable"},
        {"a build tree", {"", t + "/build", "", t + "/h", ""}, t + "/build"},
        {"an installed copy writes in the home",
         {"", t + "/plain", "", t + "/h", ""},
         t + "/h/.local/share/dovreth"},
        {"XDG_DATA_HOME", {"", t + "/plain", t + "/x", t + "/h", ""}, t + "/x/dovreth"},
        {"a relative XDG_DATA_HOME is ignored",
         {"", "", "x", t + "/h", ""},
         t + "/h/.local/share/dovreth"},
        {"no HOME: the password database",
         {"", t + "/plain", "", "", t + "/pw"},
         t + "/pw/.local/share/dovreth"},
        {"no home at all: refused, not /tmp", {"", t + "/plain", "", "", ""}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string problem;
        EXPECT_EQ(dov::ChooseProgramFolder(c.from, problem), c.expected);
        EXPECT_EQ(problem.empty(), !c.expected.empty()) << problem;
    }
    struct stat st {};
    ASSERT_EQ(stat((t + "/h/.local/share/dovreth").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_FALSE(tmp.Exists("plain/DataTrace.txt"));
}

TEST(ProgramFolder, NothingIsWrittenThroughALinkOrIntoAFifo) {
    dovtest::TempDir tmp;
    tmp.WriteFile("victim", "keep");
    const std::string home = tmp.home();
    ASSERT_EQ(symlink((tmp / "victim").c_str(), (home + "/DataTrace.txt").c_str()), 0);
    ASSERT_EQ(symlink((tmp / "victim").c_str(), (home + "/RenameLog.txt").c_str()), 0);
    ASSERT_EQ(mkfifo((home + "/TextTree.txt").c_str(), 0600), 0);

    std::vector<std::string> got;
    dov::SetTraceFailureHandler([&](const std::string& m) { got.push_back(m); });
    dov::TraceReset(dov::DefaultTracePath());
    dov::TraceWrite(dov::DefaultTracePath(), "x");
    dov::SetTraceFailureHandler(nullptr);
    EXPECT_EQ(got, std::vector<std::string>{Sj("トレース用ファイルが開けません") + "\n" +
                                            dov::DefaultTracePath()});

    std::unique_ptr<dov::IFile> f;
    EXPECT_EQ(dov::Fs().CreateTruncate(dov::ProgramFile("RenameLog.txt"), f), ELOOP);
    EXPECT_NE(dov::Fs().CreateTruncate(dov::ProgramFile("TextTree.txt"), f), 0);  // never blocks
    EXPECT_EQ(tmp.ReadFile("victim"), "keep");
}

TEST(Trace, AppendsCp932LinesWithCrLfFromManyThreads) {
    dovtest::TempDir tmp;
    const std::string path = dov::DefaultTracePath();
    dov::TraceReset(path);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) dov::TraceF(path, "○　行 %d-%d\n", t, i);
        });
    }
    for (auto& th : threads) th.join();
    std::string text = tmp.ReadFile("home/DataTrace.txt");
    const std::string line = Sj("○　行 ");
    std::size_t lines = 0;
    for (std::size_t p = 0; (p = text.find(line, p)) != std::string::npos; ++p) ++lines;
    EXPECT_EQ(lines, 200u);
    EXPECT_EQ(text.find("\n"), text.find("\r\n") + 1);
    dov::TraceReset(path);
    EXPECT_EQ(tmp.ReadFile("home/DataTrace.txt"), "");
}

// Each '\n' of a line, its own or an argument's, is written as CR LF, but one that follows a
// '\r' of the same line.
TEST(Trace, LineEndsBecomeCrLfOnce) {
    dovtest::TempDir tmp;
    const std::string path = dov::DefaultTracePath();
    dov::TraceReset(path);
    dov::TraceF(path, "a\n");
    dov::TraceF(path, "\nb\r\n");
    dov::TraceF(path, "[%s]\n", "x\ny");
    dov::TraceF(path, "%s\n", "ends\r");
    dov::TraceF(path, "%d%%\n%c", 5, '\n');
    dov::TraceF(path, "%5s|\n", "w\n");  // a width
    dov::TraceF(path, "%.1s\n", "pq");   // left to the C library
    dov::TraceFlush();
    EXPECT_EQ(tmp.ReadFile("home/DataTrace.txt"),
              "a\r\n\r\nb\r\n[x\r\ny]\r\nends\r\n5%\r\n\r\n   w\r\n|\r\np\r\n");
}

// The file is held open between lines: one removed meanwhile is made again for what follows.
TEST(Trace, AFileRemovedWhileHeldOpenIsMadeAgain) {
    dovtest::TempDir tmp;
    const std::string path = dov::DefaultTracePath();
    dov::TraceWrite(path, "one\n");
    dov::TraceFlush();
    ASSERT_EQ(std::remove((tmp.home() + "/DataTrace.txt").c_str()), 0);
    dov::TraceWrite(path, "two\n");
    EXPECT_EQ(tmp.ReadFile("home/DataTrace.txt"), "two\r\n");
}

TEST(Trace, ReportsAFileThatCannotBeOpenedOnce) {
    std::vector<std::string> got;
    dov::SetTraceFailureHandler([&](const std::string& m) { got.push_back(m); });
    dov::TraceWrite("/nonexistent-folder-xyz/DataTrace.txt", "x");
    dov::TraceWrite("/nonexistent-folder-xyz/DataTrace.txt", "y");
    dov::SetTraceFailureHandler(nullptr);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0],
              Sj("トレース用ファイルが開けません") + "\n/nonexistent-folder-xyz/DataTrace.txt");
}

class FsTest : public ::testing::Test {
  protected:
    dovtest::TempDir tmp;
    std::string P(const std::string& rel) { return *dov::Utf8ToCp932(tmp / rel); }
};

TEST_F(FsTest, ListsEntriesWithRecordsAndConvertsEveryName) {
    tmp.WriteFile("d/a.txt", "12345");
    tmp.MakeDir("d/sub");
    tmp.WriteFile("d/日本.txt", "");
    tmp.WriteFile("d/caf\xC3\xA9", "");  // é: CP932 cannot hold it, a pair holds it
    tmp.WriteFile("d/bad\xFF", "");      // not UTF-8: the raw byte travels as a pair
    ASSERT_EQ(symlink("sub", (tmp / "d/link").c_str()), 0);
    // Small, then large enough to be read by two threads: the same answers in listing order.
    for (const int pad : {0, 5000}) {
        for (int i = 0; i < pad; ++i) tmp.WriteFile("d/pad" + std::to_string(i), "");
        std::vector<dov::EntryInfo> entries;
        std::vector<std::string> names;
        ASSERT_EQ(dov::Fs().ListDir(P("d"), entries), 0);
        ASSERT_EQ(dov::Fs().ListNames(P("d"), names), 0);
        ASSERT_EQ(entries.size(), names.size());
        int bad = 0;
        for (std::size_t k = 0; k < entries.size(); ++k) {
            const auto& e = entries[k];
            EXPECT_EQ(e.rawName, names[k]);
            if (!e.nameOk) {
                ++bad;
                continue;
            }
            if (e.name == "a.txt") {
                EXPECT_EQ(e.findData.nFileSizeLow, 5u);
                EXPECT_EQ(e.status.m_size, 5);
                EXPECT_EQ(e.findData.dwFileAttributes, 0u);
                EXPECT_EQ(e.status.m_szFullName, P("d/a.txt"));
            } else if (e.name == "sub") {
                EXPECT_EQ(e.findData.dwFileAttributes, dov::kAttrDirectory);
                EXPECT_EQ(e.status.m_attribute & dov::kStatusDirectory, dov::kStatusDirectory);
            } else if (e.name == "link") {
                EXPECT_TRUE(e.isLink);
                EXPECT_FALSE(e.isDir);  // links are never followed
            } else if (e.name.rfind("pad", 0) == 0) {
                EXPECT_EQ(e.status.m_szFullName, P("d/" + e.name));
            } else {
                EXPECT_EQ(e.name, *dov::Utf8ToCp932(e.rawName));
                EXPECT_EQ(dov::Cp932ToUtf8(e.name), e.rawName);
            }
        }
        EXPECT_EQ(entries.size(), 6u + static_cast<std::size_t>(pad));
        EXPECT_EQ(bad, 0);
        // A large folder given up at the first look at stop (before any entry's status is
        // read): nothing comes back; never stopped, or small: the same listing.
        for (const bool stopAtOnce : {true, false}) {
            std::vector<dov::EntryInfo> part;
            const int e = dov::Fs().ListDirUnless(P("d"), part, [&] { return stopAtOnce; });
            if (!stopAtOnce || pad == 0) {
                EXPECT_EQ(e, 0);
                ASSERT_EQ(part.size(), entries.size());
                for (std::size_t k = 0; k < part.size(); ++k)
                    EXPECT_EQ(part[k].rawName, entries[k].rawName);
            } else {
                EXPECT_EQ(e, ECANCELED);
                EXPECT_TRUE(part.empty());
            }
        }
    }
}

TEST_F(FsTest, RenameNeverReplacesOnEitherPath) {
    for (bool fallback : {false, true}) {
        dov::PosixFileSystem fs;
        fs.forceNoReplaceFallback = fallback;
        tmp.WriteFile("a", "A");
        tmp.WriteFile("b", "B");
        tmp.MakeDir("d1/inner");
        tmp.MakeDir("d2");
        EXPECT_EQ(fs.RenameNoReplace(P("a"), P("b")), EEXIST);
        EXPECT_EQ(tmp.ReadFile("a"), "A");
        EXPECT_EQ(tmp.ReadFile("b"), "B");
        EXPECT_EQ(fs.RenameNoReplace(P("d1"), P("d2")), EEXIST);
        EXPECT_TRUE(tmp.Exists("d1/inner"));
        EXPECT_EQ(fs.RenameNoReplace(P("d1"), P("d1/inner/x")), EINVAL);
        EXPECT_EQ(fs.RenameNoReplace(P("a"), P("c")), 0);
        EXPECT_EQ(tmp.ReadFile("c"), "A");
        EXPECT_FALSE(tmp.Exists("a"));
        EXPECT_EQ(fs.RenameNoReplace(P("d1"), P("d3")), 0);
        EXPECT_TRUE(tmp.Exists("d3/inner"));
        EXPECT_EQ(fs.RenameNoReplace(P("missing"), P("zz")), ENOENT);
        EXPECT_EQ(fs.RenameNoReplace(P("c"), P("x") + "\x82"), EINVAL);  // not valid CP932
        std::filesystem::remove_all(tmp.path() + "/d3");
        std::filesystem::remove_all(tmp.path() + "/d2");
        std::filesystem::remove(tmp.path() + "/b");
        std::filesystem::remove(tmp.path() + "/c");
    }
}

TEST_F(FsTest, OpenReadRefusesAFifoWithoutBlocking) {
    ASSERT_EQ(mkfifo((tmp / "fifo").c_str(), 0600), 0);
    std::unique_ptr<dov::IFile> f;
    EXPECT_EQ(dov::Fs().OpenRead(P("fifo"), f), EINVAL);
}

TEST_F(FsTest, AtomicWriteKeepsTheOldFileOnFailure) {
    EXPECT_EQ(dov::WriteFileAtomically(P("f"), "one"), 0);
    EXPECT_EQ(tmp.ReadFile("f"), "one");
    EXPECT_EQ(dov::WriteFileAtomically(P("f"), "two"), 0);
    EXPECT_EQ(tmp.ReadFile("f"), "two");
    if (geteuid() != 0) {  // root writes anywhere
        chmod(tmp.path().c_str(), 0555);
        EXPECT_NE(dov::WriteFileAtomically(P("f"), "three"), 0);
        chmod(tmp.path().c_str(), 0755);
        EXPECT_EQ(tmp.ReadFile("f"), "two");
    }
}

}  // namespace

namespace {

TEST(CodePage, CachedConversionFollowsTheTextNotItsAddress) {
    std::string buf = "表";
    const std::string first = dov::Sj(buf.c_str());
    buf = "あ";  // same buffer, new text
    EXPECT_EQ(first, "\x95\x5C");
    EXPECT_EQ(dov::Sj(buf.c_str()), "\x82\xA0");
    EXPECT_EQ(dov::Sj(buf.c_str()), "\x82\xA0");  // answered again from the same address
    buf = "表";
    EXPECT_EQ(dov::Sj(buf.c_str()), "\x95\x5C");
}

}  // namespace
