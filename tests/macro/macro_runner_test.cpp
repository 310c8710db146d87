#include "macro/macro_runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/codepage.h"
#include "common/fs.h"
#include "common/paths.h"
#include "common/trace.h"
#include "macro_test_util.h"
#include "model/item.h"
#include "model/loader.h"
#include "support/fake_fs.h"
#include "support/test_support.h"

namespace {

using dovtest::Sj;

// A folder of files on disk, loaded into a fresh tree whose root is the list's folder.
class MacroRun : public ::testing::Test, public dov::IMacroRequests {
  protected:
    dovtest::TempDir tmp;
    dovtest::RecordingHost host;
    std::unique_ptr<CMyItem> root;
    dov::MacroTarget target;
    int resets = 0;
    bool resetFails = false;
    bool closeAsked = false;
    std::vector<std::string> namesAtReset;

    int ResetTree(dov::MacroTarget& t) override {
        if (resetFails) return 0;
        ++resets;
        namesAtReset = NewNames();
        root = MakeRootItem(dov::DefaultTracePath(), false);
        t.pFolder = root.get();
        t.selected.clear();
        t.iCurrentRow = -1;
        return root ? 1 : 0;
    }

    // Loads the files (and folders, names ending in '/') from disk into a new tree.
    void Load(const std::vector<std::string>& names) {
        for (const std::string& n : names) {
            if (!n.empty() && n.back() == '/')
                tmp.MakeDir("data/" + n);
            else
                tmp.WriteFile("data/" + n, "x");
        }
        root = MakeRootItem(dov::DefaultTracePath(), false);
        ASSERT_TRUE(root);
        std::string folder = *dov::Utf8ToCp932(tmp / "data");
        std::vector<dov::EntryInfo> picked;
        ASSERT_EQ(dov::Fs().ListDir(folder, picked), 0);
        // As the file selection hands them over: folders first, then by name.
        std::sort(picked.begin(), picked.end(),
                  [](const dov::EntryInfo& a, const dov::EntryInfo& b) {
                      if (a.isDir != b.isDir) return a.isDir;
                      return a.name < b.name;
                  });
        dov::CItemLoader loader(host, dov::DefaultTracePath());
        loader.LoadPickedEntries(root.get(), folder, picked);
        ASSERT_EQ(static_cast<int>(root->m_dwNumInFolder), static_cast<int>(names.size()));
        target.pFolder = root.get();
        target.selected.clear();
    }

    // Rows' new names in the order of their original names, joined by '|'.
    std::string NewNamesByOrgName() const {
        std::vector<std::pair<std::string, std::string>> v;
        for (int r = 0; r < target.RowCount(); ++r) {
            CMyItem* p = target.RowItem(r);
            v.emplace_back(p->m_strOrgName, p->m_strNewName);
        }
        std::sort(v.begin(), v.end());
        std::string out;
        for (auto& [org, nn] : v) out += (out.empty() ? "" : "|") + nn;
        return out;
    }
    std::vector<std::string> NewNames() const {
        std::vector<std::string> v;
        for (int r = 0; r < target.RowCount(); ++r) v.push_back(target.RowItem(r)->m_strNewName);
        return v;
    }
    int RowOf(const std::string& orgName) const {
        for (int r = 0; r < target.RowCount(); ++r)
            if (target.RowItem(r)->m_strOrgName == orgName) return r;
        return -1;
    }

    void WriteMacro(int num, const std::string& content) {
        tmp.WriteFile("home/" + dov::MacroFileName(num), content);
    }
    int Run(int num, const std::string& content) {
        WriteMacro(num, content);
        dov::CMacroRunner runner(target, host, {}, this);
        const int r = runner.ExecuteMacro(num);
        closeAsked = runner.CloseAsked();
        return r;
    }
};

// ---- Each function's effect, one row per macro text ------------------------------------------

struct EffectRow {
    const char* macro;     // run after SelectListAll() on a.txt-like rows (UTF-8)
    const char* expected;  // new names in original-name order, '|' between
};

class MacroEffect : public MacroRun, public ::testing::WithParamInterface<EffectRow> {};

TEST_P(MacroEffect, ChangesNewNames) {
    Load({"a-b-c.txt", "k[1]m[2].dat", "photo_2004.jpg"});
    ASSERT_EQ(Run(1, "SelectListAll()\r\n" + Sj(GetParam().macro)), 1);
    EXPECT_EQ(NewNamesByOrgName(), Sj(GetParam().expected)) << GetParam().macro;
}

// clang-format off
const EffectRow kEffects[] = {
    {"CutListString(0, 0, \"_\")", "a-b-c.txt|k[1]m[2].dat|photo2004.jpg"},
    {"CutListString(1, 0, \"?-\")", "c.txt|k[1]m[2].dat|photo_2004.jpg"},
    {"CutLeftListString(0, \"_\")", "a-b-c.txt|k[1]m[2].dat|_2004.jpg"},
    {"CutRightListString(0, \"-\")", "a-|k[1]m[2].dat|photo_2004.jpg"},
    {"CutBoundListStringA(0, 0, \"[\", \"]\")", "a-b-c.txt|k[]m[2].dat|photo_2004.jpg"},
    {"CutBoundListStringA(1, 0, \"[\", \"]\")", "a-b-c.txt|k[]m[].dat|photo_2004.jpg"},
    {"CutBoundListStringB(0, 0, \"[\", \"]\")", "a-b-c.txt|km[2].dat|photo_2004.jpg"},
    {"PasteLeftListString(\"x_\")", "x_a-b-c.txt|x_k[1]m[2].dat|x_photo_2004.jpg"},
    {"PasteRightListString(\"_x\")", "a-b-c_x.txt|k[1]m[2]_x.dat|photo_2004_x.jpg"},
    {"PasteLeftOnKeyListString(0, 0, \"-\", \"#\")", "a#-b-c.txt|k[1]m[2].dat|photo_2004.jpg"},
    {"PasteLeftOnKeyListString(1, 0, \"-\", \"#\")", "a#-b#-c.txt|k[1]m[2].dat|photo_2004.jpg"},
    {"PasteRightOnKeyListString(1, 0, \"-\", \"#\")", "a-#b-#c.txt|k[1]m[2].dat|photo_2004.jpg"},
    {"ChangeExtListString(\"x\")", "a-b-c.txt|k[1]m[2].dat|photo_2004.jpg"},
    {"ReplaceListString(0, 0, \"o\", \"0\")", "a-b-c.txt|k[1]m[2].dat|ph0to_2004.jpg"},
    {"ReplaceListString(1, 0, \"o\", \"0\")", "a-b-c.txt|k[1]m[2].dat|ph0t0_2004.jpg"},
    {"SetModeAutoSerial(1)\nSetModeEffectSubItem(1)", "a-b-c.txt|k[1]m[2].dat|photo_2004.jpg"},
    {"SetSerialPos(0, \"POS_LEFT\", \"\", \"\")\nSetSerialSepPos(\"SEP_RIGHT\", \"\", \"_\")\n"
     "SetSerialDigitType(\"DIGIT_MANUAL\", 2)\nSetSerialUpDown(\"UPDOWN_UP\")\n"
     "SetSerialPreset(\"PRE_MANUAL\", 98)\nSetSerialDeltaSize(\"DELTA_ONE\", 0)\n"
     "AddSerialListString()",
     "98_a-b-c.txt|99_k[1]m[2].dat|00_photo_2004.jpg"},
    {"SetSerialPos(0, \"POS_KEYBOUND\", \"[\", \"]\")\nSetSerialSepPos(\"SEP_NONE\", \"\", \"\")\n"
     "SetSerialDigitType(\"DIGIT_AUTO\", 0)\nSetSerialUpDown(\"UPDOWN_DOWN\")\n"
     "SetSerialPreset(\"PRE_MANUAL\", 7)\nSetSerialDeltaSize(\"DELTA_MANUAL\", 3)\n"
     "AddSerialListString()",
     "a-b-c.txt|k[7]m[2].dat|photo_2004.jpg"},
    {"CutListStringFromLeft(0, \"k[\")", "a-b-c.txt|1]m[2].dat|photo_2004.jpg"},
    {"CutListStringFromRight(0, 0, \"t\")", "a-b-c.tx|k[1]m[2].da|photo_2004.jpg"},
    {"CutListStringFromRight(0, 1, \"c\")", "a-b-.txt|k[1]m[2].dat|photo_2004.jpg"},
    // Lines that do not match an entry are skipped; the next line still runs.
    {"CutLeftListString(\"_\")\nPasteLeftListString(\"#\")", "#a-b-c.txt|#k[1]m[2].dat|#photo_2004.jpg"},
    {"cutleftliststring(0, \"_\")", "a-b-c.txt|k[1]m[2].dat|photo_2004.jpg"},
    {"CutLeftListString(0, \"_\", 1)", "a-b-c.txt|k[1]m[2].dat|photo_2004.jpg"},
    {"CutLeftListString(\"0\", \"_\")", "a-b-c.txt|k[1]m[2].dat|photo_2004.jpg"},
    {"Unknown(1)\nnot a statement\n\n(1)\nPasteRightListString(\"!\")",
     "a-b-c!.txt|k[1]m[2]!.dat|photo_2004!.jpg"},
    // Double-byte text passes through keyword and name untouched.
    {"PasteLeftListString(\"表\")\nCutRightListString(0, \"表\")", "表|表|表"},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Functions, MacroEffect, ::testing::ValuesIn(kEffects));

TEST_F(MacroRun, SelectsAllAndCutsAKeyword) {
    Load({"photo_2004.jpg", "my_doc.txt", "plain.txt"});
    ASSERT_EQ(Run(1, "SelectListAll()\nCutListString(0, 0, \"_\")\n"), 1);
    EXPECT_EQ(target.SelectedRows(), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(target.iCurrentRow, 0);
    EXPECT_EQ(NewNamesByOrgName(), "mydoc.txt|photo2004.jpg|plain.txt");
    // The keyword setup is kept as the dialog would keep it.
    EXPECT_EQ(target.keyWord.Key1, "_");
    EXPECT_EQ(target.keyWord.UseWildCard, 0);
}

TEST_F(MacroRun, OnlySelectedRowsAreEdited) {
    Load({"a_1.txt", "b_2.txt", "c_3.txt"});
    target.SetSelected(RowOf("b_2.txt"), true);
    ASSERT_EQ(Run(2, "CutListString(0, 0, \"_\")"), 1);
    EXPECT_EQ(NewNamesByOrgName(), "a_1.txt|b2.txt|c_3.txt");
}

TEST_F(MacroRun, FindItemAllSelectsByKeyword) {
    Load({"a_1.txt", "b2.txt", "c_3.txt", "d4.txt"});
    // At most one row selected: every row is tested.
    ASSERT_EQ(Run(1, "FindItemAll(0, \"_\")"), 1);
    EXPECT_EQ(target.SelectedRows(), (std::vector<int>{RowOf("a_1.txt"), RowOf("c_3.txt")}));
    // Several selected: only those are tested (a_1 drops out, the others stay unselected).
    ASSERT_EQ(Run(1, "FindItemAll(1, \"c*\")"), 1);
    EXPECT_EQ(target.SelectedRows(), (std::vector<int>{RowOf("c_3.txt")}));
    EXPECT_EQ(target.keyWord.UseWildCard, 1);
    EXPECT_EQ(target.keyWord.EnableAllTarget, 1);
}

struct UpDownRow {
    const char* arg;
    int start;
    int expected;
};
class MacroUpDown : public MacroRun, public ::testing::WithParamInterface<UpDownRow> {};

TEST_P(MacroUpDown, SetsUpDownType) {
    target.serial.UpDownType = GetParam().start;
    ASSERT_EQ(Run(3, std::string("SetSerialUpDown(\"") + GetParam().arg + "\")\n"), 1);
    EXPECT_EQ(target.serial.UpDownType, GetParam().expected) << GetParam().arg;
}

INSTANTIATE_TEST_SUITE_P(Names, MacroUpDown,
                         ::testing::Values(UpDownRow{"UPDOWN_DOWN", 0, 1}, UpDownRow{"1", 0, 1},
                                           UpDownRow{"NO_SUCH_NAME", 1, 0},
                                           UpDownRow{"updown_down", 1, 0},
                                           UpDownRow{"POS_KEYLEFT", 0, 3}, UpDownRow{"", 1, 0}));

TEST_F(MacroRun, SerialSettingsFunctionsFillEveryField) {
    ASSERT_EQ(Run(4,
                  "SetSerialPos(1, \"POS_KEYBOUND2\", \"[\", \"]\")\n"
                  "SetSerialSepPos(\"SEP_BOTH\", \"<\", \">\")\n"
                  "SetSerialDigitType(\"DIGIT_MANUAL\", 5)\n"
                  "SetSerialPreset(\"PRE_INDEX\", 4294967295)\n"
                  "SetSerialDeltaSize(\"DELTA_MANUAL\", 0x10)\n"),
              1);
    const dov::SerialSettings& s = target.serial;
    EXPECT_EQ(s.UseWildCard, 1);
    EXPECT_EQ(s.InsertPosType, dov::POS_KEYBOUND2);
    EXPECT_EQ(s.InsertPosKey1, "[");
    EXPECT_EQ(s.InsertPosKey2, "]");
    EXPECT_EQ(s.SeparateType, dov::SEP_BOTH);
    EXPECT_EQ(s.SeparateStrL, "<");
    EXPECT_EQ(s.SeparateStrR, ">");
    EXPECT_EQ(s.DigitType, dov::DIGIT_MANUAL);
    EXPECT_EQ(s.DigitSize, 5);
    EXPECT_EQ(s.PresetType, dov::PRE_INDEX);
    EXPECT_EQ(s.PresetData, -1);  // the 32-bit number read as the setting's signed value
    EXPECT_EQ(s.DeltaType, dov::DELTA_MANUAL);
    EXPECT_EQ(s.DeltaSize, 16);
}

TEST_F(MacroRun, StopEndsTheRunAfterTheCurrentLine) {
    host.stopAfterPolls = 0;  // STOP is seen at the first poll, after line 1
    ASSERT_EQ(Run(5,
                  "SetSerialUpDown(\"UPDOWN_DOWN\")\n"
                  "SetSerialPreset(\"PRE_MANUAL\", 5)\n"),
              1);
    EXPECT_EQ(target.serial.UpDownType, 1);
    EXPECT_EQ(target.serial.PresetType, dov::PRE_ZERO);
}

TEST_F(MacroRun, StopInsideAListOperationLeavesTheRestOfTheRows) {
    Load({"a.txt", "b.txt", "c.txt"});
    host.stop = true;
    ASSERT_EQ(Run(5, "SelectListAll()\nPasteLeftListString(\"x\")\n"), 1);
    // SelectListAll ran; STOP ended the run before the paste.
    EXPECT_EQ(target.SelectedRows().size(), 3u);
    EXPECT_EQ(NewNamesByOrgName(), "a.txt|b.txt|c.txt");

    // The close request counts as STOP inside the operation too.
    host.stop = false;
    host.quit = true;
    dov::CMacroRunner runner(target, host);
    CMacroParser parser;
    ASSERT_EQ(parser.CheckAndSetString(std::string_view("PasteLeftListString(\"x\")")), 1);
    EXPECT_EQ(runner.ExeMacro(runner.CheckMacroStr(parser.GetStatement()), parser.GetStatement()),
              1);
    EXPECT_EQ(NewNamesByOrgName(), "a.txt|b.txt|c.txt");
}

TEST_F(MacroRun, EveryFunctionRunsFromOneFile) {
    Load({"a-b-c.txt", "k[1]m[2].dat", "photo_2004.jpg", "sub/"});
    const std::string macro =
        "SelectListAll()\n"
        "FindItemAll(0, \".\")\n"
        "CutListString(0, 0, \"_\")\n"
        "CutLeftListString(0, \"b\")\n"
        "CutRightListString(0, \"2004\")\n"
        "CutBoundListStringA(0, 0, \"[\", \"]\")\n"
        "CutBoundListStringB(0, 0, \"m[\", \"]\")\n"
        "PasteLeftListString(\"L\")\n"
        "PasteRightListString(\"R\")\n"
        "PasteLeftOnKeyListString(1, 0, \"-\", \"<\")\n"
        "PasteRightOnKeyListString(1, 0, \"-\", \">\")\n"
        "ChangeExtListString(\"txt\")\n"
        "ReplaceListString(1, 0, \"<->\", \"=\")\n"
        "SetModeAutoSerial(0)\n"
        "SetModeEffectSubItem(0)\n"
        "SetSerialPos(0, \"POS_RIGHT\", \"\", \"\")\n"
        "SetSerialSepPos(\"SEP_LEFT\", \"#\", \"\")\n"
        "SetSerialDigitType(\"DIGIT_MANUAL\", 2)\n"
        "SetSerialUpDown(\"UPDOWN_UP\")\n"
        "SetSerialPreset(\"PRE_MANUAL\", 1)\n"
        "SetSerialDeltaSize(\"DELTA_ONE\", 1)\n"
        "AddSerialListString()\n"
        "CutListStringFromLeft(0, \"L\")\n"
        "CutListStringFromRight(0, 0, \"#03\")\n"
        "ClearAllItem()\n";
    WriteMacro(12, macro);
    dov::CMacroRunner runner(target, host, {}, this);
    ASSERT_EQ(runner.ExecuteMacro(12), 1);
    EXPECT_EQ(runner.LinesRun(), 25);
    EXPECT_EQ(resets, 1);
    // Rows before the reset, in list order (the folder first). FindItemAll kept the three files
    // with a dot; each step's effect shows in the final names.
    ASSERT_EQ(namesAtReset.size(), 4u);
    EXPECT_EQ(namesAtReset[0], "sub");
    EXPECT_EQ(namesAtReset[1], "b=cR.txt#01");
    EXPECT_EQ(namesAtReset[2], "k[]R.dat#02");
    EXPECT_EQ(namesAtReset[3], "photo2004R");
    // The reset left an empty tree behind.
    EXPECT_EQ(target.RowCount(), 0);
    EXPECT_EQ(target.pFolder->m_strOrgName, "Root");
}

TEST_F(MacroRun, FailedResetRequestsTheCloseAndEndsTheRun) {
    Load({"a.txt"});
    resetFails = true;
    ASSERT_EQ(Run(6, "SelectListAll()\nClearAllItem()\nPasteLeftListString(\"x\")\n"), 1);
    EXPECT_TRUE(closeAsked);
    EXPECT_EQ(NewNamesByOrgName(), "a.txt");
}

TEST_F(MacroRun, FilesAreFoundCreatedAndReadWithEitherLineEnd) {
    Load({"a.txt"});
    // A missing file is created empty and runs nothing.
    EXPECT_EQ(Run(0, ""), 0);  // no such number: nothing, not even a file
    dov::CMacroRunner runner(target, host);
    EXPECT_FALSE(tmp.Exists("home/DovMac05.txt"));
    EXPECT_EQ(runner.ExecuteMacro(5), 1);
    EXPECT_TRUE(tmp.Exists("home/DovMac05.txt"));
    EXPECT_EQ(tmp.ReadFile("home/DovMac05.txt"), "");
    EXPECT_EQ(runner.LinesRead(), 0);
    EXPECT_EQ(runner.ExecuteMacro(13), 0);
    // LF, CR LF, empty lines and a last line without its line end.
    WriteMacro(7,
               "SelectListAll()\n\r\n\nPasteLeftListString(\"1\")\r\nPasteLeftListString(\"2\")\n"
               "PasteLeftListString(\"3\")");
    EXPECT_EQ(runner.ExecuteMacro(7), 1);
    EXPECT_EQ(runner.LinesRun(), 4);
    EXPECT_EQ(runner.LinesRead(), 6);
    EXPECT_EQ(NewNamesByOrgName(), "321a.txt");
    EXPECT_FALSE(dov::IsMacroFileOpen());
}

// A host that tries to start a second macro while the first one runs.
class ReentryHost : public dovtest::RecordingHost {
  public:
    void ListRowChanged(int) override {
        openSeen = dov::IsMacroFileOpen();
        canStart = dov::MacroCanStart(3);
    }
    bool openSeen = false;
    bool canStart = true;
};

TEST_F(MacroRun, SecondStartIsRefusedWhileAFileIsOpen) {
    Load({"a.txt"});
    ReentryHost reentry;
    WriteMacro(1, "SelectListAll()\n");
    macrotest::ResetTrace();
    dov::CMacroRunner runner(target, reentry);
    ASSERT_EQ(runner.ExecuteMacro(1), 1);
    EXPECT_TRUE(reentry.openSeen);
    EXPECT_FALSE(reentry.canStart);
    EXPECT_NE(macrotest::ReadTraceUtf8().find(
                  "※　マクロファイル[3]は既にオープンされてます。CheckAndExeFuncKey()\n"),
              std::string::npos);
    EXPECT_FALSE(dov::IsMacroFileOpen());
    EXPECT_TRUE(dov::MacroCanStart(3));
}

TEST_F(MacroRun, UnopenableFileIsTraced) {
    macrotest::ResetTrace();
    tmp.MakeDir("home/DovMac08.txt");  // a folder where the file should be
    dov::CMacroRunner runner(target, host);
    EXPECT_EQ(runner.ExecuteMacro(8), 0);
    EXPECT_NE(macrotest::ReadTraceUtf8().find("をオープンできませんでした。"), std::string::npos);
}

TEST_F(MacroRun, ReadErrorEndsTheRunAfterTheLinesReadSoFar) {
    Load({"a.txt"});
    macrotest::ResetTrace();
    // Macro files that fail after their first chunk.
    dovtest::FaultFs fs;
    fs.onOpenRead = [](const std::string&, std::unique_ptr<dov::IFile>& out) {
        out = std::make_unique<dovtest::MemFile>(
            "SelectListAll()\nPasteLeftListString(\"x\")\nPasteLeft", 1);
        return 0;
    };
    int r;
    {
        dov::ScopedFileSystem scoped(&fs);
        dov::CMacroRunner runner(target, host);
        r = runner.ExecuteMacro(9);
    }
    EXPECT_EQ(r, 1);
    EXPECT_EQ(NewNamesByOrgName(), "xa.txt");
    EXPECT_NE(macrotest::ReadTraceUtf8().find(
                  "※　マクロファイル読み込みで例外が発生 ExecuteMacro()\n\tFileName["),
              std::string::npos);
}

// ---- The runner's own pieces --------------------------------------------------------------

TEST(MacroTable, HoldsTwentyFiveEntriesInOrder) {
    const auto& t = dov::MacroFuncTable();
    EXPECT_STREQ(t[0].szName, "SelectListAll");
    EXPECT_STREQ(t[0].szSignature, "");
    EXPECT_STREQ(t[5].szName, "CutBoundListStringA");
    EXPECT_STREQ(t[5].szSignature, "DDSS");
    EXPECT_STREQ(t[15].szSignature, "DSSS");
    EXPECT_STREQ(t[23].szName, "CutListStringFromRight");
    EXPECT_STREQ(t[24].szName, "ClearAllItem");
    // The functions added after the 25 follow them, each once.
    for (const char* added : {"PasteLeftListInfo", "PasteWholeListInfo", "RegexReplaceListString",
                              "NormalizeNfdListString", "SortListNatural"}) {
        auto same = [&](const dov::MacroFuncRecord& r) {
            return std::string_view(r.szName) == added;
        };
        const auto at = std::find_if(t.begin(), t.end(), same);
        ASSERT_NE(at, t.end()) << added;
        EXPECT_GE(at - t.begin(), 25) << added;
        EXPECT_EQ(std::find_if(at + 1, t.end(), same), t.end()) << added;
    }
    // Every statement built from an entry finds that entry.
    dovtest::TempDir tmp;
    dovtest::RecordingHost host;
    dov::MacroTarget target;
    dov::CMacroRunner runner(target, host);
    ASSERT_GE(t.size(), 25u);
    for (int i = 0; i < static_cast<int>(t.size()); ++i) {
        CMacroStatement st;
        st.m_strFuncName = t[i].szName;
        for (const char* c = t[i].szSignature; *c; ++c)
            st.AddArg("", *c == 'S' ? dov::MACRO_STRING : dov::MACRO_DWORD, 0);
        EXPECT_EQ(runner.CheckMacroStr(&st), i) << t[i].szName;
    }
}

TEST(MacroRunnerPieces, CheckMacroStrAndExeMacroRefuseWhatDoesNotFit) {
    dovtest::TempDir tmp;
    dovtest::RecordingHost host;
    dov::MacroTarget target;
    dov::CMacroRunner runner(target, host);
    CMacroParser parser;

    ASSERT_EQ(parser.CheckAndSetString(std::string_view("CutLeftListString(0, 1)")), 1);
    macrotest::ResetTrace();
    EXPECT_EQ(runner.CheckMacroStr(parser.GetStatement()), -1);
    EXPECT_EQ(macrotest::ReadTraceUtf8(), "・マクロチェック[CutLeftListString_DD]\n");
    EXPECT_EQ(runner.CheckMacroStr(nullptr), -1);

    macrotest::ResetTrace();
    EXPECT_EQ(runner.ExeMacro(3, nullptr), 0);
    EXPECT_EQ(macrotest::ReadTraceUtf8(), "※　引数が無効。iFuncID[3]  ExeMacro()\n");

    macrotest::ResetTrace();
    ASSERT_EQ(parser.CheckAndSetString(std::string_view("X(7)")), 1);
    macrotest::ResetTrace();
    // The first number past the table (the functions added after the 25 are numbered on).
    const int past = static_cast<int>(dov::MacroFuncTable().size());
    EXPECT_EQ(runner.ExeMacro(past, parser.GetStatement()), 0);
    EXPECT_EQ(
        macrotest::ReadTraceUtf8(),
        "※　実装されていないマクロ関数です。ExeMacro()\n\tiFuncID[" + std::to_string(past) +
            "]\n"
            "/////////////////マクロ構文データ/////////////////\n【戻り値】VOID\n【関数名】X\n"
            "【引数型 00】DWORD\n【引数データ 00】7\n");
    EXPECT_EQ(runner.ExeMacro(-1, parser.GetStatement()), 0);
    // Arguments that do not fit the entry are refused instead of read out of bounds.
    EXPECT_EQ(runner.ExeMacro(dov::MACRO_CutLeftListString, parser.GetStatement()), 0);
    EXPECT_EQ(runner.ExeMacro(dov::MACRO_SetModeAutoSerial, parser.GetStatement()), 1);
}

TEST(MacroRunnerPieces, SetParamToKeyDlgTracesAndKeepsMissingTexts) {
    dovtest::TempDir tmp;
    dovtest::RecordingHost host;
    dov::MacroTarget target;
    target.keyWord.Key2 = "old2";
    target.keyWord.Key3 = "old3";
    dov::CMacroRunner runner(target, host);
    macrotest::ResetTrace();
    std::string t1 = "k1";
    runner.SetParamToKeyDlg(5, 9, &t1);
    EXPECT_EQ(target.keyWord.Key1, "k1");
    EXPECT_EQ(target.keyWord.Key2, "old2");
    EXPECT_EQ(target.keyWord.Key3, "old3");
    EXPECT_EQ(target.keyWord.UseWildCard, 1);
    EXPECT_EQ(target.keyWord.EnableAllTarget, 1);
    EXPECT_EQ(macrotest::ReadTraceUtf8(),
              "○キーワードダイアログに文字列１をセット。SetParamToKeyDlg()\n\t[k1]\n"
              "○キーワードダイアログでワイルドカード指定を有効化。SetParamToKeyDlg()\n"
              "○キーワードダイアログで全てのヒットキー指定を有効化。SetParamToKeyDlg()\n");
    macrotest::ResetTrace();
    std::string t2 = "k2", t3 = "k3";
    runner.SetParamToKeyDlg(0, 0, nullptr, &t2, &t3);
    EXPECT_EQ(target.keyWord.Key1, "k1");
    EXPECT_EQ(target.keyWord.Key2, "k2");
    EXPECT_EQ(target.keyWord.Key3, "k3");
    EXPECT_EQ(target.keyWord.UseWildCard, 0);
    EXPECT_EQ(target.keyWord.EnableAllTarget, 0);
    EXPECT_EQ(macrotest::ReadTraceUtf8(),
              "○キーワードダイアログに文字列２をセット。SetParamToKeyDlg()\n\t[k2]\n"
              "○キーワードダイアログに文字列３をセット。SetParamToKeyDlg()\n\t[k3]\n"
              "○キーワードダイアログでワイルドカード指定を無効化。SetParamToKeyDlg()\n"
              "○キーワードダイアログで全てのヒットキー指定を無効化。SetParamToKeyDlg()\n");
}

TEST(MacroRunnerPieces, ConvTextToSerialParam) {
    dovtest::TempDir tmp;
    struct {
        const char* text;
        int value;
    } rows[] = {{"POS_LEFT", 0},    {"POS_KEYLEFT", 3},  {"3", 3},           {"POS_KEYBOUND2", 6},
                {"SEP_BOTH", 3},    {"DIGIT_MANUAL", 1}, {"UPDOWN_DOWN", 1}, {"1", 1},
                {"PRE_MANUAL", 2},  {"DELTA_MANUAL", 1}, {"6", 6},           {"7", 0},
                {"pos_keyleft", 0}, {"POS_KEYLEFT ", 0}, {"03", 0},          {"NO_NAME", 0}};
    for (auto& r : rows) EXPECT_EQ(dov::ConvTextToSerialParam(r.text), r.value) << r.text;
    macrotest::ResetTrace();
    EXPECT_EQ(dov::ConvTextToSerialParam(nullptr), 0);
    EXPECT_EQ(dov::ConvTextToSerialParam(""), 0);
    EXPECT_EQ(macrotest::ReadTraceUtf8(),
              "※　引数が無効。ConvTextToSerialParam()\n"
              "※　引数の文字列長が０以下  ConvTextToSerialParam()\n");
}

TEST(MacroRunnerPieces, FunctionKeysAndFileNames) {
    EXPECT_EQ(dov::MacroFileNumForKey(1, false, false, false, 1, false, false), 1);
    EXPECT_EQ(dov::MacroFileNumForKey(12, false, false, false, 5, false, false), 12);
    EXPECT_EQ(dov::MacroFileNumForKey(1, false, false, false, 0, false, false), 0);  // empty list
    EXPECT_EQ(dov::MacroFileNumForKey(1, false, true, false, 1, false, false), 0);   // Shift
    EXPECT_EQ(dov::MacroFileNumForKey(1, true, false, false, 1, false, false), 0);   // Alt
    EXPECT_EQ(dov::MacroFileNumForKey(1, false, false, true, 1, false, false), 0);   // Ctrl
    EXPECT_EQ(dov::MacroFileNumForKey(1, false, false, false, 1, true, false), 0);   // drag
    EXPECT_EQ(dov::MacroFileNumForKey(1, false, false, false, 1, false, true), 0);   // busy
    EXPECT_EQ(dov::MacroFileNumForKey(13, false, false, false, 1, false, false), 0);
    EXPECT_EQ(dov::MacroFileName(1), "DovMac01.txt");
    EXPECT_EQ(dov::MacroFileName(12), "DovMac12.txt");
}

}  // namespace
