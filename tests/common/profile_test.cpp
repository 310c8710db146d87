#include "common/profile.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

using dov::CProfile;

TEST(Profile, SectionsAndKeysMatchWithoutCaseButDoubleByteNamesStayExact) {
    CProfile p;
    p.Parse("[ProgramData]\nLoadFolder=/a\n[\x83\x61]\nk=1\n");
    EXPECT_EQ(p.GetString("programdata", "LOADFOLDER"), "/a");
    // 0x83 0x61 is one double-byte character; its trail byte 'a' must not fold to 'A'.
    EXPECT_EQ(p.GetInt("\x83\x61", "K", -1), 1);
    EXPECT_EQ(p.GetInt("\x83\x41", "k", -1), -1);
    EXPECT_TRUE(CProfile::NamesEqual("abc", "ABC"));
    EXPECT_FALSE(CProfile::NamesEqual("ab", "abc"));
}

TEST(Profile, MissingKeysGiveDefaultsAndIntegersAreLeadingIntegers) {
    CProfile p;
    p.Parse("[S]\na=  42xyz\nb=-16744448\nc=abc\nd=\ne=+7\n");
    EXPECT_EQ(p.GetInt("S", "a", 5), 42);
    EXPECT_EQ(p.GetInt("S", "b", 5), -16744448);
    EXPECT_EQ(p.GetInt("S", "c", 5), 0);  // present but no digits
    EXPECT_EQ(p.GetInt("S", "d", 5), 0);
    EXPECT_EQ(p.GetInt("S", "e", 5), 7);
    EXPECT_EQ(p.GetInt("S", "missing", 5), 5);
    EXPECT_EQ(p.GetInt("Other", "a", 9), 9);
    EXPECT_EQ(p.GetString("S", "missing", "def"), "def");
    // Values wrap to 32 bits like a colour written as an unsigned word.
    EXPECT_EQ(CProfile::ParseLeadingInt("4294967295"), -1);
}

TEST(Profile, ReadsLfAndCrLfAndWritesCrLf) {
    CProfile p;
    p.Parse("; note\r\n[A]\r\nx=1\r\n\r\n[B]\ny = two words \n");
    EXPECT_EQ(p.GetInt("A", "x", 0), 1);
    EXPECT_EQ(p.GetString("B", "y"), "two words");
    EXPECT_EQ(p.Text(), "; note\r\n[A]\r\nx=1\r\n\r\n[B]\r\ny=two words\r\n");
}

TEST(Profile, SetKeepsPositionsAndAppendsNewKeysAndSections) {
    CProfile p;
    p.Parse("[A]\nx=1\ny=2\n\n[B]\nz=3\n");
    p.SetInt("a", "Y", 20);
    p.SetString("A", "w", "new");
    p.SetString("C", "k", "v");
    EXPECT_EQ(p.Text(), "[A]\r\nx=1\r\ny=20\r\nw=new\r\n\r\n[B]\r\nz=3\r\n[C]\r\nk=v\r\n");
}

TEST(Profile, ValuesWithEdgeBlanksOrQuotesSurviveARoundTrip) {
    // A separator of one blank must not come back empty.
    for (std::string v : {" ", " a ", "\"q\"", "\t", "x\"y", "\x82\xa0"}) {
        CProfile p;
        p.SetString("S", "k", v);
        CProfile q;
        q.Parse(p.Text());
        EXPECT_EQ(q.GetString("S", "k"), v) << v;
    }
}

TEST(Profile, ValuesWithLineBreaksAreRefused) {
    CProfile p;
    p.SetString("S", "k", "old");
    EXPECT_FALSE(p.SetString("S", "k", "a\nb"));
    EXPECT_FALSE(p.SetString("S", "k2", "a\rb"));
    EXPECT_EQ(p.Text(), "[S]\r\nk=old\r\n");
}

TEST(Profile, LoadAndSaveFiles) {
    dovtest::TempDir dir;
    CProfile p;
    EXPECT_NE(p.Load(dir / "none.ini"), 0);
    EXPECT_EQ(p.GetInt("S", "k", 3), 3);
    p.SetInt("S", "k", 4);
    ASSERT_EQ(p.Save(dir / "a.ini"), 0);
    EXPECT_EQ(dir.ReadFile("a.ini"), "[S]\r\nk=4\r\n");
    CProfile q;
    ASSERT_EQ(q.Load(dir / "a.ini"), 0);
    EXPECT_EQ(q.GetInt("s", "K", 0), 4);
}
