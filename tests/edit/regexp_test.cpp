#include "edit/regexp.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"

namespace {

using dovtest::Sj;

struct Hit {
    int pos;
    int len;
};

Hit FindIn(const std::string& target, const std::string& key, int start = 0) {
    CMyRegExp re;
    int len = -7;
    const int pos = re.Find(target, key, start, len);
    return {pos, len};
}

struct Case {
    const char* name;
    std::string target;
    std::string key;
    int start;
    int pos;
    int len;
};

TEST(RegExp, HitRules) {
    dovtest::TempDir tmp;
    const std::string a = Sj("ア");    // 0x83 0x41: its trail byte is the letter A
    const std::string hyo = Sj("表");  // 0x95 0x5C: its trail byte is a backslash
    const Case cases[] = {
        {"empty key", "abc", "", 0, -1, 0},
        {"empty target", "", "a", 0, -1, 0},
        {"empty both", "", "*", 0, -1, 0},
        {"digits", "ab12cd", "\\d\\d", 0, 2, 2},
        {"digits missing", "ab1", "\\d\\d", 0, -1, 0},
        {"middle star is lazy", "abcabc", "a*c", 0, 0, 3},
        {"trailing star takes rest", "xabc", "a*", 0, 1, 3},
        {"lone star", "hello", "*", 0, 0, 5},
        {"lone star from offset", "hello", "*", 2, 2, 3},
        {"star run equals one star", "xabc", "a**", 0, 1, 3},
        {"star run in the middle", "abcabc", "a***c", 0, 0, 3},
        {"trailing star at the end", "xa", "a*", 0, 1, 1},
        {"leading star", "xxabc", "*b", 0, 0, 4},
        {"question on double byte", a + "x", "?", 0, 0, 2},
        {"question on single byte", "x" + a, "?", 0, 0, 1},
        {"non-alpha skips double byte", a + "-", "\\A", 0, 2, 1},
        {"non-digit hits hyphen", "1-", "\\D", 0, 1, 1},
        {"non-digit misses digits", "123", "\\D", 0, -1, 0},
        {"escaped x is literal", "a50xb", "50\\x", 0, 1, 3},
        {"trailing backslash dropped", "a50b", "50\\", 0, 1, 2},
        {"case-sensitive", "xxAB", "ab", 0, -1, 0},
        {"alnum", "--a-", "\\n", 0, 2, 1},
        {"non-alnum", "ab_c", "\\N", 0, 2, 1},
        {"alpha class", "12z", "\\a", 0, 2, 1},
        {"half-width katakana is no letter", "\xB1x", "\\a", 0, 1, 1},
        {"one-byte literal compared in place", "xyza", "?a", 0, 2, 2},
        {"question then literal", "xyza", "?z", 0, 1, 2},
        {"literal not on trail byte", a, "A", 0, -1, 0},
        {"literal after double byte", a + "A", "A", 0, 2, 1},
        {"star keeps characters whole", "x" + a + "A", "*A", 0, 0, 4},
        {"escaped star then wildcard", "a*bc", "\\**", 0, 1, 3},
        {"escaped backslash then class", "\\7", "\\\\\\d", 0, 0, 2},
        {"trail 0x5C is no escape", hyo + "d", hyo + "d", 0, 0, 3},
        {"start past a hit", "abab", "ab", 1, 2, 2},
        {"start at the end with star", "ab", "*", 2, 2, 0},
        {"start outside", "ab", "a", 3, -1, 0},
        {"negative start", "ab", "a", -1, -1, 0},
        {"only an escape", "ab", "\\", 0, -1, 0},
        {"star between classes", "a1bc2", "\\d*\\d", 0, 1, 4},
    };
    for (const Case& c : cases) {
        const Hit h = FindIn(c.target, c.key, c.start);
        EXPECT_EQ(h.pos, c.pos) << c.name;
        EXPECT_EQ(h.len, c.len) << c.name;
    }
}

TEST(RegExp, EscapesDoNotChangeTheKeyword) {
    dovtest::TempDir tmp;
    CMyRegExp re;
    re.m_strKey = "5\\x*";
    int len = 0;
    re.m_strTarget = "a5xyz";
    EXPECT_EQ(re.FindKey(&len), 1);
    EXPECT_EQ(len, 4);
    EXPECT_EQ(re.m_strKey, "5\\x*");
    re.m_strTarget = "5x";
    EXPECT_EQ(re.FindKey(&len), 0);
    EXPECT_EQ(len, 2);
}

TEST(RegExp, SplitClusters) {
    dovtest::TempDir tmp;
    CMyRegExp re;
    re.m_strTarget = "t";
    re.m_strKey = "ab*\\d?c\\d";
    ASSERT_EQ(re.SplitKeyCode(), 6);
    const unsigned char types[] = {CMyRegExp::KEY_TEXT, CMyRegExp::KEY_ANY,  CMyRegExp::KEY_DIGIT,
                                   CMyRegExp::KEY_ONE,  CMyRegExp::KEY_TEXT, CMyRegExp::KEY_DIGIT};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(re.m_aClusterType[i], types[i]) << i;
    EXPECT_EQ(re.m_aClusterStr[0], "ab");
    EXPECT_EQ(re.m_aClusterLen[2], 1);
    EXPECT_EQ(re.GetMinMatchLen(0), 6);
    EXPECT_EQ(re.GetMinMatchLen(6), 0);
}

TEST(RegExp, BadArgumentsAreRefused) {
    dovtest::TempDir tmp;
    CMyRegExp re;
    re.m_strTarget = "abc";
    re.m_strKey = "b";
    ASSERT_EQ(re.SplitKeyCode(), 1);
    EXPECT_EQ(re.FindKeyIntarget(0, nullptr), -2);
    int len = 0;
    EXPECT_EQ(re.FindKeyInTarget(0, 1, &len), -3);
    EXPECT_EQ(re.FindKeyInTarget(0, 0, nullptr), -2);
    std::string text;
    EXPECT_EQ(re.GetKeyCluster(-1, &text, nullptr), -2);
    EXPECT_EQ(re.GetKeyCluster(0, nullptr, nullptr), -2);
}

// Stars that cannot all be satisfied must fail fast, not try every combination.
TEST(RegExp, ManyStarsOnLongTargetEnd) {
    dovtest::TempDir tmp;
    const std::string target(4000, 'a');
    EXPECT_EQ(FindIn(target, "*a*a*a*a*a*a*b").pos, -1);
    const Hit h = FindIn(target + "b", "*a*a*a*a*a*a*b");
    EXPECT_EQ(h.pos, 0);
    EXPECT_EQ(h.len, 4001);
}

}  // namespace
