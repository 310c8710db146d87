// Names and trees on disk that the program should not follow: loading finishes, every name
// loads with its bytes, and nothing on disk changes, neither by loading nor by a save, an open
// or a rename run over the loaded tree.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/codepage.h"
#include "hardening_util.h"
#include "model/item.h"

namespace {

using namespace hardtest;

// Makes a chain of `levels` folders named `name` below a native folder, with a file at the
// bottom. Works through descriptors, so the chain may be longer than a path can be.
void MakeDeepTree(const std::string& top, const std::string& name, int levels) {
    int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int i = 0; i < levels; ++i) {
        ASSERT_EQ(mkdirat(fd, name.c_str(), 0755), 0) << i;
        int sub = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        ASSERT_GE(sub, 0) << i;
        fd = sub;
    }
    int f = openat(fd, "bottom.txt", O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(f, 0);
    ASSERT_EQ(write(f, "bottom", 6), 6);
    ::close(f);
    ::close(fd);
}

int TotalItems(CMyItem* folder) {
    int n = 0;
    for (std::uint32_t i = 0; i < folder->m_dwNumInFolder; ++i) {
        CMyItem* s = folder->GetSubItem(static_cast<int>(i));
        ++n;
        if (s->m_bIsFolder) n += TotalItems(s);
    }
    return n;
}

TEST(HostileNames, LoadingFinishesTakesEveryNameAndChangesNothing) {
    dovtest::SessionRun r;
    const std::string h = r.tmp / "h";
    r.tmp.MakeDir("h");
    // Names CP932 cannot hold: they load as pairs.
    const std::vector<std::string> paired = {
        "bad\xff\xfe.txt",            // not UTF-8
        "cut\xe3\x81.txt",            // a UTF-8 sequence cut short
        "emoji\xf0\x9f\x98\x80.txt",  // outside CP932
        "\xed\x95\x9c\xea\xb8\x80",   // Hangul
        "caf\xc3\xa9.txt",            // Latin letter with an accent
        // A dash and a tilde that CP932 takes in but gives back as other characters: the name
        // would lead to another entry.
        "\xe2\x80\x94\xef\xbd\x9e",
    };
    r.tmp.WriteFile("h/in_sub/\xff\xff", "deep, not UTF-8");
    // Names that are unusual.
    std::vector<std::string> loadable = {
        "new\nline.txt",
        "tab\tname.txt",
        " leading space",
        "trailing dot.",
        "-dash",
        std::string(251, 'a') + ".txt",  // 255 bytes
        [] {                             // 255 bytes of UTF-8, 170 in CP932
            std::string s;
            for (int i = 0; i < 85; ++i) s += "\xe3\x81\x82";
            return s;
        }(),
    };
    loadable.insert(loadable.end(), paired.begin(), paired.end());
    for (const std::string& n : loadable) r.tmp.WriteFile("h/" + n, "l:" + n);
    // Links: a loop, a link to itself, links to a parent and to the top. None is followed.
    ASSERT_EQ(symlink("loop2", (h + "/loop1").c_str()), 0);
    ASSERT_EQ(symlink("loop1", (h + "/loop2").c_str()), 0);
    ASSERT_EQ(symlink("self", (h + "/self").c_str()), 0);
    ASSERT_EQ(symlink("..", (h + "/up").c_str()), 0);
    ASSERT_EQ(symlink(h.c_str(), (h + "/in_sub/top").c_str()), 0);
    // Deep trees: 300 levels, once within the path length limit and once far beyond it.
    MakeDeepTree(h, "d", 300);
    r.tmp.MakeDir("h/long");
    MakeDeepTree(h + "/long", "fifteen_bytes__", 300);

    const Listing before = List(r.tmp.path());
    {
        r.Load({"h"});
        dov::CSession& s = *r.s;
        CMyItem* top = s.FindFolder("h");
        ASSERT_NE(top, nullptr);
        // Loadable names all made it, with their bytes.
        for (const std::string& n : loadable) {
            const std::string cp = *dov::Utf8ToCp932(n);
            bool found = false;
            for (std::uint32_t i = 0; i < top->m_dwNumInFolder; ++i)
                found = found || top->GetSubItem(static_cast<int>(i))->m_strOrgName == cp;
            EXPECT_TRUE(found) << n;
        }
        // The short chain is loaded to its bottom.
        std::string chain = "h";
        for (int i = 0; i < 300; ++i) chain += "/d";
        CMyItem* bottom = s.FindFolder(chain);
        ASSERT_NE(bottom, nullptr);
        ASSERT_EQ(bottom->m_dwNumInFolder, 1u);
        EXPECT_EQ(bottom->GetSubItem(0)->m_strOrgName, "bottom.txt");
        const std::string trace = HomeFile("DataTrace.txt");
        EXPECT_EQ(Count(trace, Sj("※　ファイルステータスの取得に失敗")), 0)
            << dov::DisplayUtf8(trace);
        // The long chain too, though its paths are longer than PATH_MAX: the disk is reached
        // folder by folder.
        EXPECT_EQ(Count(trace, Sj("※　フォルダを読めません")), 0);
        std::string longChain = "h/long";
        for (int i = 0; i < 300; ++i) longChain += "/fifteen_bytes__";
        CMyItem* longBottom = s.FindFolder(longChain);
        ASSERT_NE(longBottom, nullptr);
        ASSERT_EQ(longBottom->m_dwNumInFolder, 1u);
        const int items = TotalItems(s.Root());
        EXPECT_GT(items, 500);

        // Saved, opened again, and the same number of items.
        ASSERT_EQ(s.SaveAs(Cp(r.tmp / "home/hostile.dvt")), dov::Outcome::Done);
        ASSERT_EQ(s.Open(Cp(r.tmp / "home/hostile.dvt")), dov::Outcome::Done);
        EXPECT_EQ(TotalItems(s.Root()), items);

        // A rename run over the tree as loaded changes nothing.
        EXPECT_NE(s.Rename().outcome, dov::Outcome::NotStarted);
        r.s.reset();
    }
    EXPECT_EQ(Diff(before, List(r.tmp.path())), "");
}

}  // namespace
