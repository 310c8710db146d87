#include "session/settings.h"

#include <gtest/gtest.h>

#include "common/paths.h"
#include "support/test_support.h"

TEST(Settings, WithoutAFileEveryValueIsItsDefault) {
    dovtest::TempDir dir;
    dov::ResetProgramFolderForTest();
    dov::Settings s = dov::DefaultSettings();
    dov::LoadSettings(dir / "missing.ini", s);
    EXPECT_EQ(s.loadFolder, dov::ProgramFolder());
    EXPECT_EQ(s.writeFolder, dov::ProgramFolder());
    EXPECT_EQ(s.colors[dov::kMainBack], 0x808080u);
    EXPECT_EQ(s.colors[dov::kMainWork], 0xFF8080u);
    EXPECT_EQ(s.colors[dov::kOrgFileNameBack], 0xFF8000u);
    EXPECT_EQ(s.colors[dov::kTitleBack], 0x804000u);
    EXPECT_EQ(s.autoSerialNum, 0);
    EXPECT_EQ(s.keyWord.EffectSubItem, 0);
    EXPECT_EQ(s.limitSize, 31);
    EXPECT_EQ(s.limitMode, 2);
    EXPECT_EQ(s.serial.SeparateStrL, "_");
    EXPECT_EQ(s.serial.DigitSize, 3);
    EXPECT_EQ(s.serial.DeltaSize, 1);
    EXPECT_TRUE(s.recentFiles.empty());
    dov::ResetProgramFolderForTest();
}

TEST(Settings, WritesEveryKeyInOrderAndReadsItBack) {
    dovtest::TempDir dir;
    dov::Settings s;
    s.loadFolder = "/data/\x83\x5c";  // a double-byte character whose trail byte is '\'
    s.writeFolder = "/out";
    s.autoSerialNum = 1;
    s.limitSize = 64;
    s.limitMode = 3;
    s.keyWord = {"a", " b ", "", 1, 1, 1};
    s.colors[dov::kListBack] = 0x123456;
    s.serial.SeparateStrL = " ";
    s.serial.PresetData = -5;
    s.recentFiles = {"/x/1.dvt", "/x/2.dvt"};
    ASSERT_EQ(dov::SaveSettings(dir / "d.ini", s), 0);

    std::string text = dir.ReadFile("d.ini");
    std::vector<std::string> order = {"[ProgramData]",
                                      "LoadFolder=",
                                      "WriteFolder=",
                                      "[OptionData]",
                                      "AutoSerialNum=1",
                                      "EffectSubItem=1",
                                      "[NameSizeLimit]",
                                      "LimitSize=64",
                                      "LimitMode=3",
                                      "[KeyWord]",
                                      "Key1=a",
                                      "Key2=\" b \"",
                                      "Key3=",
                                      "UseWildCard=1",
                                      "EnableAllTarget=1",
                                      "[ColorSetting]",
                                      "MainBack=8421504",
                                      "MainWork=16744576",
                                      "TreeText=",
                                      "TreeBack=",
                                      "ListText=",
                                      "ListBack=1193046",
                                      "OrgFileName=",
                                      "OrgFileNameBack=",
                                      "EditName=",
                                      "EditNameBack=",
                                      "MakeName=",
                                      "MakeNameBack=",
                                      "TitleText=",
                                      "TitleBack=",
                                      "FileInfoText=",
                                      "FileInfoBack=",
                                      "ConflictText=",
                                      "[SerialDialog]",
                                      "UseWildCard=",
                                      "InsertPosType=",
                                      "PresetData=-5",
                                      "DeltaSize=1",
                                      "[Recent File List]",
                                      "File1=/x/1.dvt",
                                      "File2=/x/2.dvt"};
    std::size_t at = 0;
    for (const auto& piece : order) {
        std::size_t f = text.find(piece, at);
        ASSERT_NE(f, std::string::npos) << piece;
        at = f + piece.size();
    }
    EXPECT_EQ(text.find("\n", 0), text.find("\r\n", 0) + 1);  // CR LF line ends

    dov::Settings back;
    dov::LoadSettings(dir / "d.ini", back);
    EXPECT_EQ(back.loadFolder, s.loadFolder);
    EXPECT_EQ(back.writeFolder, s.writeFolder);
    EXPECT_EQ(back.autoSerialNum, 1);
    EXPECT_EQ(back.keyWord.EffectSubItem, 1);
    EXPECT_EQ(back.limitSize, 64);
    EXPECT_EQ(back.limitMode, 3);
    EXPECT_EQ(back.keyWord.Key2, " b ");
    EXPECT_EQ(back.keyWord.EnableAllTarget, 1);
    EXPECT_EQ(back.colors, s.colors);
    EXPECT_EQ(back.serial.SeparateStrL, " ");
    EXPECT_EQ(back.serial.PresetData, -5);
    EXPECT_EQ(back.recentFiles, s.recentFiles);
}

TEST(Settings, KeepsForeignKeysAndAcceptsHandEditedFiles) {
    dovtest::TempDir dir;
    dir.WriteFile(
        "h.ini",
        "[colorsetting]\nmainback = 255\n[Mine]\nkeep=me\n[optiondata]\nAUTOSERIALNUM=1z\n");
    dov::Settings s = dov::DefaultSettings();
    dov::LoadSettings(dir / "h.ini", s);
    EXPECT_EQ(s.colors[dov::kMainBack], 255u);
    EXPECT_EQ(s.autoSerialNum, 1);
    EXPECT_EQ(s.colors[dov::kMainWork], 0xFF8080u);
    ASSERT_EQ(dov::SaveSettings(dir / "h.ini", s), 0);
    std::string text = dir.ReadFile("h.ini");
    EXPECT_NE(text.find("[Mine]\r\nkeep=me\r\n"), std::string::npos);
    EXPECT_EQ(text.find("[ColorSetting]"), std::string::npos);  // the existing section is reused
}

TEST(Settings, TheChangedNameColourIsWrittenOnlyOnceItIsSetOrKnown) {
    dovtest::TempDir dir;
    struct Case {
        const char* before;  // the file's text before the save
        dov::ColorRef colour;
        bool written;
    } cases[] = {
        {"", dov::kDefaultChangedNameText, false},
        {"", 0x123456, true},
        {"[ColorSetting]\r\nChangedNameText=1193046\r\n", dov::kDefaultChangedNameText, true},
    };
    for (const Case& c : cases) {
        dir.WriteFile("c.ini", c.before);
        dov::Settings s = dov::DefaultSettings();
        dov::LoadSettings(dir / "c.ini", s);
        s.changedNameText = c.colour;
        ASSERT_EQ(dov::SaveSettings(dir / "c.ini", s), 0);
        const std::string key = "ChangedNameText=" + std::to_string(c.colour) + "\r\n";
        EXPECT_EQ(dir.ReadFile("c.ini").find(key) != std::string::npos, c.written) << c.before;
        dov::Settings back = dov::DefaultSettings();
        dov::LoadSettings(dir / "c.ini", back);
        EXPECT_EQ(back.changedNameText, c.colour);
    }
}

TEST(Settings, TheLinuxNamesOptionIsWrittenOnlyOnceItIsSetOrKnown) {
    dovtest::TempDir dir;
    const struct {
        const char* before;
        int allow;
        const char* written;  // the key's line, or nullptr when the key must not be written
    } cases[] = {
        {"", 0, nullptr},
        {"", 1, "AllowLinuxNames=1\r\n"},
        {"[OptionData]\r\nAllowLinuxNames=1\r\n", 0, "AllowLinuxNames=0\r\n"},
    };
    for (const auto& c : cases) {
        dir.WriteFile("l.ini", c.before);
        dov::Settings s = dov::DefaultSettings();
        dov::LoadSettings(dir / "l.ini", s);
        s.allowLinuxNames = c.allow;
        ASSERT_EQ(dov::SaveSettings(dir / "l.ini", s), 0);
        const std::string text = dir.ReadFile("l.ini");
        if (c.written)
            EXPECT_NE(text.find(c.written), std::string::npos) << text;
        else
            EXPECT_EQ(text.find("AllowLinuxNames"), std::string::npos) << text;
        dov::Settings back = dov::DefaultSettings();
        dov::LoadSettings(dir / "l.ini", back);
        EXPECT_EQ(back.allowLinuxNames, c.allow);
    }
}

TEST(Settings, RecentFilesMoveToTheTopAndStopAtFour) {
    dov::Settings s;
    for (const char* f : {"a", "b", "c", "d", "e", "c"}) dov::AddRecentFile(s, f);
    EXPECT_EQ(s.recentFiles, (std::vector<std::string>{"c", "e", "d", "b"}));
}
