#include "edit/serial.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "edit_fixture.h"

namespace {

using dov::CSerialNumber;
using edittest::Host;
using edittest::NewNames;
using edittest::Tree;
using Names = std::vector<std::string>;

TEST(Serial, QuickCommands) {
    struct Case {
        int cmd;
        Names expected;
    } cases[] = {
        {2041, {"a000.txt", "b001.txt", "c002"}},
        {2042, {"a002.txt", "b001.txt", "c000"}},
        {2043, {"a001.txt", "b002.txt", "c003"}},
        {2044, {"a003.txt", "b002.txt", "c001"}},
    };
    for (const Case& c : cases) {
        Tree tree;
        auto rows = tree.Files({"a.txt", "b.txt", "c"});
        CMyRegExp re;
        Host host;
        CSerialNumber serial(re, host);
        EXPECT_EQ(serial.SerialNumberQuick(c.cmd, rows), 3);
        EXPECT_EQ(NewNames(rows), c.expected) << c.cmd;
        EXPECT_EQ(host.rows, (std::vector<int>{0, 1, 2}));
    }
}

TEST(Serial, SimpleCommandsKeepThreeDigits) {
    EXPECT_EQ(dov::MakeSimpleSerialText(1234), "234");
    EXPECT_EQ(dov::MakeSimpleSerialText(1000), "000");
    EXPECT_EQ(dov::MakeSimpleSerialText(-5), "-05");
    EXPECT_EQ(dov::MakeSimpleSerialText(-1234), "-234");
    EXPECT_EQ(dov::MakeSimpleSerialText(7), "007");

    Tree tree;
    auto rows = tree.Files({"x", "y.jpg", "z"});
    CMyRegExp re;
    Host host;
    CSerialNumber serial(re, host);
    serial.SerialNumberSimple(998, true, rows);
    EXPECT_EQ(NewNames(rows), (Names{"x998", "y999.jpg", "z000"}));
    serial.SerialNumberSimple(1, false, rows);
    EXPECT_EQ(NewNames(rows), (Names{"x998001", "y999000.jpg", "z000-01"}));

    dov::SerialSettings s;
    s.PresetType = dov::PRE_ZERO;
    dov::PrepareSerialSimple(s, false);
    EXPECT_EQ(s.UpDownType, dov::UPDOWN_DOWN);
    EXPECT_EQ(s.PresetType, dov::PRE_MANUAL);
}

TEST(Serial, DesignatedSize) {
    struct Case {
        long long v;
        int w;
        const char* text;
    } cases[] = {
        {-123, 3, "123"}, {-1, 3, "0-1"}, {5, 0, "5"},      {7, -1, ""},
        {98, 2, "98"},    {100, 2, "00"}, {42, 5, "00042"}, {0, 1, "0"},
    };
    for (const Case& c : cases) {
        std::string out = "junk";
        dov::MakeDesignatedSizeNum(c.v, c.w, &out);
        EXPECT_EQ(out, c.text) << c.v << " / " << c.w;
    }
    std::string huge;
    dov::MakeDesignatedSizeNum(1, 1 << 30, &huge);
    EXPECT_EQ(huge.size(), static_cast<std::size_t>(dov::kMaxSerialWidth));
}

struct DetailCase {
    const char* what;
    Names names;
    dov::SerialSettings s;
    Names expected;
};

dov::SerialSettings Settings(int pos, int sep, int digitType, int digitSize, int preset,
                             int presetData, int upDown, int deltaSize = 1) {
    dov::SerialSettings s;
    s.InsertPosType = pos;
    s.SeparateType = sep;
    s.DigitType = digitType;
    s.DigitSize = digitSize;
    s.PresetType = preset;
    s.PresetData = presetData;
    s.UpDownType = upDown;
    s.DeltaType = deltaSize == 1 ? dov::DELTA_ONE : dov::DELTA_MANUAL;
    s.DeltaSize = deltaSize;
    return s;
}

TEST(Serial, DetailedNumbering) {
    using namespace dov;
    SerialSettings keyLeft = Settings(POS_KEYLEFT, SEP_NONE, DIGIT_AUTO, 3, PRE_ZERO, 0, 0);
    keyLeft.InsertPosKey1 = "-";
    SerialSettings bound = Settings(POS_KEYBOUND, SEP_NONE, DIGIT_MANUAL, 2, PRE_MANUAL, 7, 0);
    bound.InsertPosKey1 = "[";
    bound.InsertPosKey2 = "]";
    SerialSettings bound2 = bound;
    bound2.InsertPosType = POS_KEYBOUND2;
    SerialSettings wildRight = Settings(POS_KEYRIGHT, SEP_BOTH, DIGIT_AUTO, 3, PRE_ZERO, 0, 0);
    wildRight.InsertPosKey1 = "\\d\\d";
    wildRight.UseWildCard = 1;
    wildRight.SeparateStrL = "(";
    wildRight.SeparateStrR = ")";
    SerialSettings onlyKey2 = bound;
    onlyKey2.InsertPosKey1.clear();
    SerialSettings noKeys = bound;
    noKeys.InsertPosKey1.clear();
    noKeys.InsertPosKey2.clear();
    const DetailCase cases[] = {
        {"width 2 wraps",
         {"a", "b", "c"},
         Settings(POS_LEFT, SEP_RIGHT, DIGIT_MANUAL, 2, PRE_MANUAL, 98, UPDOWN_UP),
         {"98_a", "99_b", "00_c"}},
        {"auto width",
         {"a", "b", "c"},
         Settings(POS_RIGHT, SEP_NONE, DIGIT_AUTO, 3, PRE_MANUAL, 9, UPDOWN_UP),
         {"a9", "b10", "c11"}},
        {"down through zero",
         {"a", "b", "c"},
         Settings(POS_RIGHT, SEP_NONE, DIGIT_MANUAL, 3, PRE_MANUAL, 1, UPDOWN_DOWN),
         {"a001", "b000", "c0-1"}},
        {"step 5 left separator",
         {"a", "b"},
         Settings(POS_LEFT, SEP_LEFT, DIGIT_AUTO, 3, PRE_ZERO, 0, UPDOWN_UP, 5),
         {"_0a", "_5b"}},
        {"missing keyword uses no number", {"a-b", "ab", "c-d"}, keyLeft, {"a0-b", "ab", "c1-d"}},
        {"key bound", {"a[old]b", "a[]b", "ab"}, bound, {"a[07]b", "a[08]b", "ab"}},
        {"key bound 2", {"a[old]b"}, bound2, {"a07b"}},
        {"only keyword 2", {"a]b"}, onlyKey2, {"a07b"}},
        {"no keywords counts", {"ab", "cd"}, noKeys, {"ab", "cd"}},
        {"pre-extension",
         {"a", "b.txt"},
         Settings(POS_PREEXT, SEP_NONE, DIGIT_AUTO, 3, PRE_ZERO, 0, UPDOWN_UP),
         {"a", "b0.txt"}},
        {"right of whole name",
         {"a.txt"},
         Settings(POS_RIGHT, SEP_NONE, DIGIT_AUTO, 3, PRE_MANUAL, 5, UPDOWN_UP),
         {"a.txt5"}},
        {"wildcard key right", {"x12y", "zz"}, wildRight, {"x12(0)y", "zz"}},
        {"bad position", {"a"}, Settings(9, SEP_NONE, DIGIT_AUTO, 3, PRE_ZERO, 0, 0), {"a"}},
    };
    for (const DetailCase& c : cases) {
        Tree tree;
        auto rows = tree.Files(c.names);
        CMyRegExp re;
        Host host;
        CSerialNumber serial(re, host);
        serial.SerialNumberByDetail(c.s, rows);
        EXPECT_EQ(NewNames(rows), c.expected) << c.what;
    }
}

TEST(Serial, StartAtIndexOfFirstSelectedRow) {
    Tree tree;
    auto all = tree.Files({"a", "b", "c", "d"});
    CMyRegExp re;
    Host host;
    CSerialNumber serial(re, host);
    const dov::SerialSettings s =
        Settings(dov::POS_RIGHT, dov::SEP_NONE, dov::DIGIT_AUTO, 3, dov::PRE_INDEX, 0, 0);
    serial.SerialNumberByDetail(s, {all[2], all[0]});
    EXPECT_EQ(NewNames(all), (Names{"a3", "b", "c2", "d"}));
}

TEST(Serial, StopBeforeARow) {
    Tree tree;
    auto rows = tree.Files({"a", "b"});
    CMyRegExp re;
    Host host;
    host.stopAfterPolls = 1;
    CSerialNumber serial(re, host);
    EXPECT_EQ(serial.SerialNumberByDetail(dov::SerialSettings{}, rows), 1);
    EXPECT_TRUE(serial.Stopped());
    EXPECT_EQ(NewNames(rows), (Names{"0a", "b"}));
    Host closing;
    closing.quit = true;  // closing the window ends it as STOP does
    CSerialNumber again(re, closing);
    EXPECT_EQ(again.SerialNumberByDetail(dov::SerialSettings{}, rows), 0);
    EXPECT_EQ(NewNames(rows), (Names{"0a", "b"}));
}

TEST(SerialSettings, DialogOpeningResets) {
    dov::SerialSettings bad;
    bad.InsertPosType = 7;
    bad.SeparateType = -1;
    bad.UpDownType = 2;
    bad.DeltaType = 5;
    bad.DeltaSize = -1000001;
    bad.PresetType = 3;
    bad.PresetData = 10000001;
    bad.DigitType = 2;
    bad.DigitSize = 9;
    dov::ResetSerialSettingsRange(bad);
    EXPECT_EQ(bad.InsertPosType, 0);
    EXPECT_EQ(bad.SeparateType, 2);
    EXPECT_EQ(bad.UpDownType, 0);
    EXPECT_EQ(bad.DeltaType, 0);
    EXPECT_EQ(bad.DeltaSize, 1);
    EXPECT_EQ(bad.PresetType, 0);
    EXPECT_EQ(bad.PresetData, 0);
    EXPECT_EQ(bad.DigitType, 1);
    EXPECT_EQ(bad.DigitSize, 3);

    dov::SerialSettings edge;
    edge.InsertPosType = 6;
    edge.DeltaSize = -1000000;
    edge.PresetData = -10000000;
    edge.DigitSize = 8;
    dov::SerialSettings kept = edge;
    dov::ResetSerialSettingsRange(edge);
    EXPECT_EQ(edge.InsertPosType, kept.InsertPosType);
    EXPECT_EQ(edge.DeltaSize, kept.DeltaSize);
    EXPECT_EQ(edge.PresetData, kept.PresetData);
    EXPECT_EQ(edge.DigitSize, kept.DigitSize);
    dov::SerialSettings extreme;
    extreme.DeltaSize = INT32_MIN;
    dov::ResetSerialSettingsRange(extreme);
    EXPECT_EQ(extreme.DeltaSize, 1);
}

TEST(SerialSettings, NameTable) {
    const auto& table = dov::SerialNameTable();
    static_assert(sizeof(dov::SerialNameRecord) == 100);
    EXPECT_STREQ(table[0].szName, "POS_LEFT");
    EXPECT_STREQ(table[6].szName, "POS_KEYBOUND2");
    EXPECT_STREQ(table[19].szName, "DELTA_MANUAL");
    EXPECT_STREQ(table[19].szValue, "1");
    int v = -1;
    EXPECT_TRUE(dov::FindSerialName("SEP_BOTH", &v));
    EXPECT_EQ(v, 3);
    EXPECT_TRUE(dov::FindSerialName("PRE_MANUAL", &v));
    EXPECT_EQ(v, 2);
    EXPECT_FALSE(dov::FindSerialName("pos_left", &v));
    EXPECT_FALSE(dov::FindSerialName("POS_LEFTX", &v));
}

TEST(SerialSettings, DialogHelpers) {
    EXPECT_EQ(dov::ParseLeadingInt("12ab"), 12);
    EXPECT_EQ(dov::ParseLeadingInt(" -7"), -7);
    EXPECT_EQ(dov::ParseLeadingInt("x1"), 0);
    EXPECT_EQ(dov::ParseLeadingInt(""), 0);
    EXPECT_EQ(dov::ParseLeadingInt("99999999999"), INT32_MAX);
    dov::SerialSettings s;
    s.InsertPosType = dov::POS_KEYRIGHT;
    s.SeparateType = dov::SEP_LEFT;
    s.DigitType = dov::DIGIT_MANUAL;
    const dov::SerialDialogEnables e = dov::GetSerialDialogEnables(s);
    EXPECT_TRUE(e.key1 && e.wildCard && !e.key2);
    EXPECT_TRUE(e.sepLeft && !e.sepRight);
    EXPECT_TRUE(e.digit && !e.delta && !e.preset);
}

TEST(Serial, AutoIndexSwitch) {
    Tree tree;
    CMyItem* fold = tree.Folder("d");
    CMyItem* f = tree.File("x.txt", fold);
    Host host;
    EXPECT_EQ(dov::SwitchAutoIndexMode(tree.root(), true, host), 1);
    EXPECT_EQ(f->m_strWriteName, "000_x.txt");
    EXPECT_EQ(fold->m_strWriteName, "000_d");
    EXPECT_EQ(f->m_strNewName, "x.txt");
    EXPECT_EQ(dov::SwitchAutoIndexMode(tree.root(), true, host), 0);
    EXPECT_EQ(dov::SwitchAutoIndexMode(tree.root(), false, host), 1);
    EXPECT_EQ(f->m_strWriteName, "x.txt");
    EXPECT_EQ(dov::SwitchAutoIndexMode(nullptr, true, host), -1);
    EXPECT_EQ(host.messages.size(), 1u);
}

}  // namespace
