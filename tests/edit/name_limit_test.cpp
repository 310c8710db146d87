#include "edit/name_limit.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "edit_fixture.h"

namespace {

using dovtest::Sj;
using edittest::Host;
using edittest::Tree;

TEST(NameLimit, CutsBeforeTheExtension) {
    const std::string a = Sj("ア");
    struct Case {
        const char* what;
        std::string name;
        int limit;
        std::string expected;
    } cases[] = {
        {"plain", "abcdefghij.txt", 12, "abcdefgh.txt"},
        {"fits", "abcdefgh.txt", 12, "abcdefgh.txt"},
        {"no extension", "abcdefghijklmn", 12, "abcdefghijkl"},
        {"cut on a lead byte", "abcdefg" + a + ".txt", 12, "abcdefg.txt"},
        {"cut inside a pair", "abcde\xF0\x4A\xF5\xA1.txt", 12, "abcde.txt"},
        {"a pair whole", "abcd\xF0\x4A\xF5\xA1x.txt", 12, "abcd\xF0\x4A\xF5\xA1.txt"},
        {"cut after a whole character", "abcdef" + a + "x.txt", 12, "abcdef" + a + ".txt"},
        {"extension alone too long", "ab.html", 4, "ab.html"},
        {"limit 0 without extension", "abc", 0, ""},
        {"limit 0 with extension", "abc.d", 0, "abc.d"},
    };
    for (const auto& c : cases) {
        Tree tree;
        CMyItem* it = tree.File(c.name);
        EXPECT_EQ(dov::LimitNameLength(it, c.limit), c.expected != c.name ? 1 : 0) << c.what;
        EXPECT_EQ(it->m_strNewName, c.expected) << c.what;
    }
}

TEST(NameLimit, UntouchedNamesWriteNoTrace) {
    Tree tree;
    CMyItem* shortName = tree.File("abc.txt");
    CMyItem* longName = tree.File("abcdefghij.txt");
    Host host;
    EXPECT_EQ(dov::LimitNameLengthCommand({shortName}, 12, false, host), 0);
    EXPECT_EQ(tree.TraceText().find(Sj("旧ファイル名")), std::string::npos);
    EXPECT_EQ(dov::LimitNameLengthCommand({longName}, 12, false, host), 1);
    const std::string trace = tree.TraceText();
    EXPECT_NE(
        trace.find(Sj("【ファイル名長の制限】制限サイズ[12]\r\n　旧ファイル名： abcdefghij.txt")),
        std::string::npos);
    EXPECT_NE(trace.find(Sj("　新ファイル名： abcdefgh.txt")), std::string::npos);
}

TEST(NameLimit, AutoIndexMode) {
    Tree tree(true);
    tree.File("first");
    CMyItem* it = tree.File("abcdefghij.txt");
    ASSERT_EQ(it->m_strWriteName, "001_abcdefghij.txt");
    Host host;
    // Too small for the prefix: refused, nothing changes.
    EXPECT_EQ(dov::LimitNameLengthCommand({it}, 5, false, host), -1);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, Sj("自動インデックスモードでは使えないサイズです"));
    EXPECT_EQ(it->m_strNewName, "abcdefghij.txt");
    EXPECT_EQ(dov::LimitNameLengthCommand({it}, 12, false, host), 1);
    EXPECT_EQ(it->m_strNewName, "abcd.txt");
    EXPECT_EQ(it->m_strWriteName, "001_abcd.txt");
}

TEST(NameLimit, SmallLimitWithoutAutoIndex) {
    Tree tree;
    CMyItem* it = tree.File("abcdefg");
    Host host;
    EXPECT_EQ(dov::LimitNameLengthCommand({it}, 5, false, host), 1);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(it->m_strNewName, "abcde");
}

// Indexes from 1000 on have a longer prefix; the written name must still fit.
TEST(NameLimit, LongIndexPrefixStillFits) {
    Tree tree(true);
    CMyItem* it = nullptr;
    for (int i = 0; i <= 1000; ++i) it = tree.File("abcdefghij.txt");
    ASSERT_EQ(it->m_strWriteName, "1000_abcdefghij.txt");
    EXPECT_EQ(dov::LimitNameLength(it, 12), 1);
    EXPECT_EQ(it->m_strWriteName, "1000_abc.txt");
}

TEST(NameLimit, FoldersAndIntoFolders) {
    for (bool effect : {false, true}) {
        Tree tree;
        CMyItem* fold = tree.Folder("long.folder.names");
        CMyItem* inner = tree.File("innerfile.txt", fold);
        CMyItem* sub = tree.Folder("subfolder", fold);
        CMyItem* deep = tree.File("deepnamefile", sub);
        Host host;
        dov::LimitNameLengthCommand({fold}, 6, effect, host);
        EXPECT_EQ(fold->m_strNewName, "long.f");
        EXPECT_EQ(inner->m_strNewName, effect ? "in.txt" : "innerfile.txt");
        EXPECT_EQ(sub->m_strNewName, effect ? "subfol" : "subfolder");
        EXPECT_EQ(deep->m_strNewName, effect ? "deepna" : "deepnamefile");
        EXPECT_EQ(host.rows, std::vector<int>{0});
    }
}

TEST(NameLimit, DialogHelpers) {
    EXPECT_EQ(dov::LimitPresetValue(1), 12);
    EXPECT_EQ(dov::LimitPresetValue(2), 31);
    EXPECT_EQ(dov::LimitPresetValue(3), 64);
    EXPECT_EQ(dov::LimitPresetValue(4), 124);
    EXPECT_EQ(dov::LimitPresetValue(0), -1);
    EXPECT_EQ(dov::LimitDialogInitialValue(-1), 31);
    EXPECT_EQ(dov::LimitDialogInitialValue(12), 12);
    dovtest::RecordingHost host;
    int v = -1;
    EXPECT_TRUE(dov::ParseLimitField("", &v, &host));
    EXPECT_EQ(v, 0);
    EXPECT_TRUE(dov::ParseLimitField("124", &v, &host));
    EXPECT_EQ(v, 124);
    EXPECT_FALSE(dov::ParseLimitField("-1", &v, &host));
    EXPECT_FALSE(dov::ParseLimitField("12a", &v, &host));
    EXPECT_TRUE(dov::ParseLimitField("99999999999", &v, &host));
    EXPECT_EQ(v, INT32_MAX);
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[0].text, Sj("数字を入力してください"));
}

}  // namespace
