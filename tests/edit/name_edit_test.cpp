#include "edit/name_edit.h"

#include <gtest/gtest.h>

#include "edit_fixture.h"

namespace {

using dov::CNameEdit;
using dovtest::Sj;
using edittest::Host;
using edittest::NewNames;
using edittest::Tree;

struct OpCase {
    const char* what;
    int op;
    std::string name;
    std::string key1;
    std::string key2;
    bool wild;
    bool all;
    std::string expected;
};

// A name edit over a tree of its own, reading `keys` and answering through `host`.
struct Editing {
    Tree tree;
    CMyRegExp re;
    Host host;
    dov::KeyWordSettings keys;
    CNameEdit edit{re, host, keys, tree.TracePath()};
    explicit Editing(bool autoIndex = false) : tree(autoIndex) {}
};

std::string RunOne(const OpCase& c) {
    Editing e;
    CMyItem* it = e.tree.File(c.name);
    e.keys.Key1 = c.key1;
    e.keys.Key2 = c.key2;
    e.keys.UseWildCard = c.wild;
    e.keys.EnableAllTarget = c.all;
    e.edit.RunEditCommand(c.op, {it});
    return it->m_strNewName;
}

TEST(NameEdit, Operations) {
    using namespace dov;
    const OpCase cases[] = {
        {"cut left", EDIT_CUT_LEFT, "photo_2004.jpg", "_", "", false, false, "_2004.jpg"},
        {"cut left, hit at 0", EDIT_CUT_LEFT, "_a_b", "_", "", false, false, "_a_b"},
        {"cut right", EDIT_CUT_RIGHT, "photo_2004.jpg", "_", "", false, false, "photo_"},
        {"cut key", EDIT_CUT_KEY, "photo_2004.jpg", "_", "", false, false, "photo2004.jpg"},
        {"cut key all, across deletions", EDIT_CUT_KEY, "xaabby", "ab", "", false, true, "xy"},
        {"cut key wild all", EDIT_CUT_KEY, "a1b22c", "\\d", "", true, true, "abc"},
        {"cut key star all", EDIT_CUT_KEY, "abc", "*", "", true, true, ""},
        {"paste right before ext", EDIT_PASTE_RIGHT, "photo.jpg", "_x", "", false, false,
         "photo_x.jpg"},
        {"paste right long ext", EDIT_PASTE_RIGHT, "archive.backup", "_x", "", false, false,
         "archive.backup_x"},
        {"paste right dot first", EDIT_PASTE_RIGHT, ".txt", "_x", "", false, false, "_x.txt"},
        {"paste left", EDIT_PASTE_LEFT, "a", "x_", "", false, false, "x_a"},
        {"bound1", EDIT_CUT_BOUND1, "a[1]b[2]", "[", "]", false, false, "a[]b[2]"},
        {"bound1 all", EDIT_CUT_BOUND1, "a[1]b[2]", "[", "]", false, true, "a[]b[]"},
        {"bound1 wild all", EDIT_CUT_BOUND1, "a[1]b[2]", "[", "]", true, true, "a[]b[]"},
        {"bound1 empty key1", EDIT_CUT_BOUND1, "a[1]", "", "]", false, true, "a[1]"},
        {"bound1 empty key2", EDIT_CUT_BOUND1, "a[1]", "[", "", false, true, "a[1]"},
        {"bound1 star keys all", EDIT_CUT_BOUND1, "abc", "*", "*", true, true, "abc"},
        {"bound2 whole name", EDIT_CUT_BOUND2, "(x)", "(", ")", false, false, "(x)"},
        {"bound2 whole name all", EDIT_CUT_BOUND2, "(x)", "(", ")", false, true, "(x)"},
        {"bound2", EDIT_CUT_BOUND2, "a(x)b", "(", ")", false, false, "ab"},
        {"bound2 all", EDIT_CUT_BOUND2, "(a)(b)x", "(", ")", false, true, "x"},
        {"bound2 all keeps last pair", EDIT_CUT_BOUND2, "(a)(b)", "(", ")", false, true, "(b)"},
        {"bound2 star all", EDIT_CUT_BOUND2, "abc", "*", "*", true, true, "abc"},
        {"bound2 empty key1", EDIT_CUT_BOUND2, "a(x)", "", ")", false, true, "a(x)"},
        {"key left", EDIT_PASTE_KEY_LEFT, "a-b-c", "-", "#", false, false, "a#-b-c"},
        {"key left all", EDIT_PASTE_KEY_LEFT, "a-b-c", "-", "#", false, true, "a#-b#-c"},
        {"key left wild all", EDIT_PASTE_KEY_LEFT, "a-b-c", "-", "#", true, true, "a#-b#-c"},
        {"key right", EDIT_PASTE_KEY_RIGHT, "a-b-c", "-", "#", false, false, "a-#b-c"},
        {"key right all", EDIT_PASTE_KEY_RIGHT, "a-b-c", "-", "#", false, true, "a-#b-#c"},
        {"key right wild all", EDIT_PASTE_KEY_RIGHT, "a-b-c", "-", "#", true, true, "a-#b-#c"},
        {"key left empty key", EDIT_PASTE_KEY_LEFT, "abc", "", "#", false, true, "abc"},
        {"key right star all", EDIT_PASTE_KEY_RIGHT, "abc", "*", "#", true, true, "abc#"},
        {"key left text has key", EDIT_PASTE_KEY_LEFT, "aa", "a", "a", false, true, "aaaa"},
        {"replace all", EDIT_REPLACE, "banana", "a", "b", false, true, "bbnbnb"},
        {"replace first", EDIT_REPLACE, "banana", "a", "b", false, false, "bbnana"},
        {"replace with text holding key", EDIT_REPLACE, "banana", "a", "xa", false, true,
         "bxanxanxa"},
        {"replace key with itself", EDIT_REPLACE, "aaa", "a", "a", false, true, "aaa"},
        {"replace wild star all", EDIT_REPLACE, "abc", "*", "x*", true, true, "x*"},
        {"replace by nothing all", EDIT_REPLACE, "a-b-c", "-", "", false, true, "abc"},
        {"replace empty key", EDIT_REPLACE, "abc", "", "x", false, true, "abc"},
    };
    for (const OpCase& c : cases) EXPECT_EQ(RunOne(c), c.expected) << c.what;
}

// Plain and wildcard searches never hit inside a double-byte character.
TEST(NameEdit, DoubleByteCharactersStayWhole) {
    const std::string a = Sj("ア");    // 0x83 0x41
    const std::string hyo = Sj("表");  // 0x95 0x5C
    using namespace dov;
    const OpCase cases[] = {
        {"plain trail byte", EDIT_CUT_KEY, a + "A", "A", "", false, true, a},
        {"wild class on trail byte", EDIT_CUT_KEY, a + "b", "\\a", "", true, true, a},
        {"trail+lead spanning two chars", EDIT_REPLACE, a + a, "\x41\x83", "x", false, true, a + a},
        {"trail 0x5C", EDIT_CUT_KEY, hyo + "\\", "\\", "", false, true, hyo},
    };
    for (const OpCase& c : cases) EXPECT_EQ(RunOne(c), c.expected) << c.what;
}

TEST(NameEdit, ExtensionCutAndRestore) {
    Editing e;
    CMyItem* it = e.tree.File("a.b.txt");
    CMyItem* dotFirst = e.tree.File(".txt");
    CNameEdit& edit = e.edit;
    edit.CutExtensionCommand({it, dotFirst});
    EXPECT_EQ(it->m_strNewName, "a.b");
    EXPECT_EQ(dotFirst->m_strNewName, ".txt");
    edit.RestoreExtensionCommand({it});
    EXPECT_EQ(it->m_strNewName, "a.b.txt");
    edit.RestoreExtensionCommand({it});
    EXPECT_EQ(it->m_strNewName, "a.b.txt.txt");
    EXPECT_EQ(e.host.rows, (std::vector<int>{0, 1, 0, 0}));
}

TEST(NameEdit, ResetAfterSeveralEdits) {
    Editing e;
    CMyItem* it = e.tree.File("photo_2004.jpg");
    e.keys.Key1 = "_";
    CNameEdit& edit = e.edit;
    edit.RunEditCommand(dov::EDIT_CUT_KEY, {it});
    edit.RunEditCommand(dov::EDIT_PASTE_LEFT, {it});
    ASSERT_NE(it->m_strNewName, it->m_strOrgName);
    edit.RunEditCommand(dov::EDIT_RESET_NAME, {it});
    EXPECT_EQ(it->m_strNewName, "photo_2004.jpg");
}

TEST(NameEdit, WriteNameFollowsInAutoIndexMode) {
    Editing e(true);
    e.tree.File("x");
    CMyItem* it = e.tree.File("abc");
    e.keys.Key1 = "b";
    e.edit.RunEditCommand(dov::EDIT_CUT_KEY, {it});
    EXPECT_EQ(it->m_strNewName, "ac");
    EXPECT_EQ(it->m_strWriteName, "001_ac");
}

TEST(NameEdit, IntoFoldersReachesEveryDepth) {
    for (int effect : {0, 1}) {
        Editing e;
        CMyItem* fold = e.tree.Folder("dir_a");
        CMyItem* inner = e.tree.File("f_1", fold);
        CMyItem* sub = e.tree.Folder("sub_b", fold);
        CMyItem* deep = e.tree.File("g_2", sub);
        CMyItem* outside = e.tree.File("h_3");
        e.keys.Key1 = "_";
        e.keys.EffectSubItem = effect;
        const dov::EditRunResult r = e.edit.RunEditCommand(dov::EDIT_CUT_KEY, {fold});
        EXPECT_EQ(r.iChanged, 1);
        EXPECT_EQ(fold->m_strNewName, "dira");
        EXPECT_EQ(inner->m_strNewName, effect ? "f1" : "f_1");
        EXPECT_EQ(sub->m_strNewName, effect ? "subb" : "sub_b");
        EXPECT_EQ(deep->m_strNewName, effect ? "g2" : "g_2");
        EXPECT_EQ(outside->m_strNewName, "h_3");
        // Folder labels: the folder itself, and the sub-folder when the edit went inside.
        EXPECT_EQ(e.host.labels.size(), effect ? 2u : 1u);
        EXPECT_EQ(e.host.rows, std::vector<int>{0});
    }
}

TEST(NameEdit, StopBetweenRowsAndBetweenPasses) {
    struct Case {
        const char* what;
        std::vector<std::string> names;
        long long stopAfterPolls;  // -1: none
        bool quit, all;
        int failed;
        std::vector<std::string> expected;
    } cases[] = {
        // The first row runs, STOP before the second.
        {"between rows", {"a_1", "b_2", "c_3"}, 1, false, false, 0, {"a1", "b_2", "c_3"}},
        // Row poll, then one pass; STOP before the third pass.
        {"between passes", {"a_b_c_d", "x_y"}, 2, false, true, 1, {"abc_d", "x_y"}},
        // The window is closing: the edit ends as on STOP.
        {"window closing", {"a_1"}, -1, true, false, 0, {"a_1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Editing e;
        auto rows = e.tree.Files(c.names);
        e.host.stopAfterPolls = c.stopAfterPolls;
        e.host.quit = c.quit;
        e.keys.Key1 = "_";
        e.keys.EnableAllTarget = c.all;
        const dov::EditRunResult r = e.edit.RunEditCommand(dov::EDIT_CUT_KEY, rows);
        EXPECT_TRUE(r.bStopped);
        if (c.failed) {
            EXPECT_EQ(r.iFailed, c.failed);
        }
        EXPECT_EQ(NewNames(rows), c.expected);
    }
}

TEST(NameEdit, SelectItemsByKey) {
    Editing e;
    auto rows = e.tree.Files({"a-1", "b", "c-2", "d"});
    CNameEdit& edit = e.edit;
    // One row selected: every row is tested.
    std::vector<bool> sel = {false, true, false, false};
    EXPECT_EQ(edit.SelectItemsByKey(rows, sel, "-", false), 2);
    EXPECT_EQ(sel, (std::vector<bool>{true, false, true, false}));
    // Several selected: only those are tested.
    sel = {false, true, true, true};
    EXPECT_EQ(edit.SelectItemsByKey(rows, sel, "-", false), 1);
    EXPECT_EQ(sel, (std::vector<bool>{false, false, true, false}));
    // With wildcards; names never change.
    sel = {false, false, false, false};
    EXPECT_EQ(edit.SelectItemsByKey(rows, sel, "\\d", true), 2);
    EXPECT_EQ(NewNames(rows), (std::vector<std::string>{"a-1", "b", "c-2", "d"}));
}

TEST(NameEdit, CutRunsAtTheEnds) {
    struct Case {
        const char* name;
        const char* key;
        bool wild, fromRight, ext;
        const char* expected;
    } cases[] = {
        {"--a-b", "-", false, false, false, "a-b"},
        {"ababx", "ab", false, false, false, "x"},
        {"12ab3", "\\d", true, false, false, "ab3"},
        {"xab", "", false, false, false, "xab"},
        {"a-b--", "-", false, true, false, "a-b"},
        {"a-b--.txt", "-", false, true, true, "a-b.txt"},
        {"a-b--.txt", "-", false, true, false, "a-b--.txt"},
        {"ab12", "\\d", true, true, false, "ab"},
        {"abc", "*", true, true, false, ""},
        {"abc", "", true, true, false, "abc"},
    };
    for (const Case& c : cases) {
        Editing e;
        CMyItem* it = e.tree.File(c.name);
        if (c.fromRight)
            e.edit.CutItemStrFromRight(it, c.key, c.wild, c.ext);
        else
            e.edit.CutItemStrFromLeft(it, c.key, c.wild);
        EXPECT_EQ(it->m_strNewName, c.expected) << c.name << " / " << c.key;
    }
}

TEST(NameEdit, MissingItemIsAFailureWithATraceLine) {
    Editing e;
    CNameEdit& edit = e.edit;
    EXPECT_EQ(edit.StrCutLeft(nullptr, "a", false), -1);
    EXPECT_EQ(edit.ResetItemName(nullptr), -1);
    EXPECT_EQ(edit.CutItemStrKeyBound1(nullptr, "a", "b", false), -1);
    EXPECT_EQ(edit.CutItemStrKeyBound2(nullptr, "a", "b", false), -1);
    const std::string trace = e.tree.TraceText();
    for (const char* fn :
         {"StrCutLeft", "ResetItemName", "CutItemStrKeyBound1", "CutItemStrKeyBound2"})
        EXPECT_NE(trace.find(Sj("※　引数が無効です。") + fn + "()\r\n"), std::string::npos) << fn;
}

TEST(NameEdit, RowsOfAFolder) {
    Tree tree;
    CMyItem* fold = tree.Folder("d");
    auto a = tree.File("a", fold);
    auto b = tree.File("b", fold);
    auto c = tree.File("c", fold);
    EXPECT_EQ(dov::FolderRows(fold), (std::vector<CMyItem*>{a, b, c}));
    EXPECT_EQ(dov::SelectedRows(fold, std::vector<int>{0, 2, 3, -1}),
              (std::vector<CMyItem*>{a, c}));
    EXPECT_EQ(dov::SelectedRows(fold, std::vector<bool>{false, true}), std::vector<CMyItem*>{b});
    EXPECT_TRUE(dov::FolderRows(a).empty());
}

TEST(KeyWordDialog, InputCheck) {
    dovtest::RecordingHost host;
    EXPECT_FALSE(dov::CheckKeyWordInput(1, "", "x", &host));
    EXPECT_TRUE(dov::CheckKeyWordInput(1, "a", "", &host));
    EXPECT_TRUE(dov::CheckKeyWordInput(2, "", "x", &host));
    EXPECT_FALSE(dov::CheckKeyWordInput(3, "", "", &host));
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[0].text, Sj("キーワードサイズが無効です"));
}

}  // namespace
