// Names people really have on a Linux disk: characters CP932 lacks or holds lossily, decomposed
// kana, bytes that are not UTF-8, Windows-forbidden characters, IBM extension kanji. Each
// group is loaded, edited, saved and opened, copied, renamed and undone, and every byte of
// every name but the edit survives.
#include <gtest/gtest.h>

#include <map>

#include "common/codepage.h"
#include "hardening_util.h"
#include "model/item.h"

namespace {

using namespace hardtest;
using Files = std::map<std::string, std::string>;  // relative path -> content

struct Group {
    const char* folder;
    std::vector<std::string> names;
};

const std::vector<Group>& Groups() {
    static const std::vector<Group> groups = {
        {"composed",
         {"魔法少女〜まどか〜 第01話.mp4", "恋する♥ハート 第02話.mp4", "Café de Tōkyō 第03話.mp4",
          "简体中文 动画 第04話.mp4", "がぎぐげご ヴァ ぱ 第05話.mp4",
          "\xF0\x9F\x98\x80 絵文字 第06話.mp4", "ﾎﾟｹﾓﾝ Ørsted ø 第07話.mp4"}},
        {"decomposed",
         {"か\u3099き\u3099く\u3099 第01話.mp4", "Cafe\u0301 de To\u0304kyo\u0304 第02話.mp4",
          "ハ\u309Aン 〜 第03話.mp4"}},
        {"tildes", {"～全角.txt", "〜波.txt", "～〜.txt", "〜～.txt"}},
        {"legacy",
         {"caf\xE9.txt", "na\xEFve r\xE9sum\xE9.txt", "\x93\xFA\x96\x7B\x8C\xEA.txt",
          "\x83\x74\x83\x40\x83\x43\x83\x8B.txt"}},
        {"ibm", {"髙橋.txt", "纊x.txt", "﨑.txt", "x纊.txt"}},
    };
    return groups;
}

// The regular files below a native folder, by relative path.
Files FilesBelow(const std::string& folder) {
    Files out;
    for (const auto& [k, v] : List(folder))
        if (v.kind == 'f') out[k] = v.content;
    return out;
}

Files Expected(const std::vector<Group>& groups, const std::string& top, const char* prefix) {
    Files out;
    for (const Group& g : groups)
        for (const std::string& n : g.names) out[top + g.folder + "/" + prefix + n] = n;
    return out;
}

void PasteLeft(dov::CSession& s, const std::string& folder, const char* text, int expected) {
    s.ShowFolder(s.FindFolder(Cp(folder)));
    s.SelectAll();
    s.KeyWords().Key1 = text;
    EXPECT_EQ(s.RunListCommand(dov::CMD_PASTE_LEFT), expected) << folder;
}

struct AllowLinuxNames {
    explicit AllowLinuxNames(bool on) { CMyItem::SetAllowLinuxNames(on); }
    ~AllowLinuxNames() { CMyItem::SetAllowLinuxNames(false); }
};

TEST(RealNames, EveryByteSurvivesCopySaveOpenRenameAndUndo) {
    dovtest::SessionRun r;
    for (const Group& g : Groups())
        for (const std::string& n : g.names)
            r.tmp.WriteFile("t/" + std::string(g.folder) + "/" + n, n);
    const Files before = FilesBelow(r.tmp / "t");
    ASSERT_EQ(before, Expected(Groups(), "", ""));
    r.Load({"t"});
    dov::CSession& s = *r.s;
    for (const Group& g : Groups())
        PasteLeft(s, "t/" + std::string(g.folder), "p_", static_cast<int>(g.names.size()));

    ASSERT_EQ(s.SaveAs(Cp(r.tmp / "home/t.dvt")), dov::Outcome::Done);
    s.Reset();
    ASSERT_EQ(s.Open(Cp(r.tmp / "home/t.dvt")), dov::Outcome::Done);
    EXPECT_TRUE(s.Check().conflicts.empty());

    r.tmp.MakeDir("out");
    ASSERT_EQ(s.CopyTo(Cp(r.tmp / "out")).outcome, dov::Outcome::Done);
    EXPECT_EQ(FilesBelow(r.tmp / "out"), Expected(Groups(), "Root/t/", "p_"));

    const dov::CommandResult renamed = s.Rename();
    ASSERT_EQ(renamed.outcome, dov::Outcome::Done) << dov::DisplayUtf8(r.LastMessage());
    EXPECT_EQ(renamed.counts.failed, 0u);
    EXPECT_EQ(FilesBelow(r.tmp / "t"), Expected(Groups(), "", "p_"));
    // The log holds a pair as its two user-defined characters.
    EXPECT_GT(Count(HomeFile("RenameLog.txt"), *dov::Utf8ToCp932("p_〜波.txt")), 0);

    ASSERT_EQ(s.Undo().outcome, dov::Outcome::Done);
    EXPECT_EQ(FilesBelow(r.tmp / "t"), before);
}

// Windows-forbidden characters: an unchanged name is never refused; a changed one is refused
// by default (the preview lists it), and renames once the setting allows it. Raw Shift-JIS
// names whose trail byte is 0x5C hold a real '\' on a Linux disk.
TEST(RealNames, ForbiddenCharactersAreRefusedOnlyInChangedNames) {
    const std::vector<std::string> odd = {"a:b.txt", "why?.txt", "one, two.txt", "x*y|z<>\\.txt",
                                          "\x95\x5C\x8E\xA6.txt"};
    dovtest::SessionRun r;
    for (const std::string& n : odd) r.tmp.WriteFile("t/" + n, n);
    r.tmp.WriteFile("t/plain.txt", "plain");
    r.Load({"t"});
    dov::CSession& s = *r.s;
    s.ShowFolder(s.FindFolder("t"));
    s.SelectOnly(2);  // a:b, one, plain, why, x*, raw: sorted by name
    ASSERT_EQ(s.RowItem(2)->m_strOrgName, "plain.txt");
    s.KeyWords().Key1 = "p_";
    ASSERT_EQ(s.RunListCommand(dov::CMD_PASTE_LEFT), 1);
    EXPECT_TRUE(s.Check().conflicts.empty());
    ASSERT_EQ(s.Rename().counts.ok, 1u);
    EXPECT_EQ(r.tmp.ReadFile("t/p_plain.txt"), "plain");

    PasteLeft(s, "t", "q_", 6);
    const Files before = FilesBelow(r.tmp / "t");
    const dov::ConflictCheck check = s.Check();
    EXPECT_EQ(check.conflicts.size(), odd.size());
    for (const dov::Conflict& c : check.conflicts) EXPECT_EQ(c.reason, "refused name");
    EXPECT_EQ(s.Rename().outcome, dov::Outcome::NotStarted);
    EXPECT_EQ(r.LastMessage(), Sj("※　無効なファイル名があります。"));
    EXPECT_EQ(FilesBelow(r.tmp / "t"), before);

    AllowLinuxNames allow(true);
    EXPECT_TRUE(s.Check().conflicts.empty());
    EXPECT_EQ(s.Rename().counts.ok, 6u);
    for (const std::string& n : odd) EXPECT_EQ(r.tmp.ReadFile("t/q_" + n), n);
}

}  // namespace
