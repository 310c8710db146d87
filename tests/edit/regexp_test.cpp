#include "edit/regexp.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "common/sjis.h"
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
    const std::string a = Sj("ア");               // 0x83 0x41: its trail byte is the letter A
    const std::string hyo = Sj("表");             // 0x95 0x5C: its trail byte is a backslash
    const std::string wave = "\xF0\x4A\xF5\xA1";  // the pair of 〜 (U+301C)
    const std::string kou = "\xFA\x5C";           // 纊: IBM extension kanji, trail '\'
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
        {"question on a pair", wave + "x", "?x", 0, 0, 5},
        {"two questions after a pair", "a" + wave + "b", "a??", 0, 0, 6},
        {"literal not inside a pair", wave, "\xF5\xA1", 0, -1, 0},
        {"question on IBM kanji", kou + "x", "?x", 0, 0, 3},
        {"IBM kanji trail is no escape", kou + "d", kou + "d", 0, 0, 3},
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

// A plain backtracking matcher over the clusters the matcher made (no shortcuts): the end of
// the match of clusters i.. at p, each '*' taking as little as it can, or -1.
int SlowMatch(const CMyRegExp& re, const std::string& t, std::size_t i, std::size_t p) {
    auto isStart = [&](std::size_t q) {
        std::size_t x = 0;
        while (x < q) x += SjisCharLen(t, x);
        return x == q;
    };
    if (i == re.m_aClusterType.size()) return static_cast<int>(p);
    const unsigned char type = re.m_aClusterType[i];
    if (type == CMyRegExp::KEY_ANY) {
        if (i + 1 == re.m_aClusterType.size()) return static_cast<int>(t.size());
        for (std::size_t q = p; q <= t.size(); q += q < t.size() ? SjisCharLen(t, q) : 1) {
            const int e = SlowMatch(re, t, i + 1, q);
            if (e >= 0) return e;
        }
        return -1;
    }
    if (p >= t.size()) return -1;
    const std::size_t cl = SjisCharLen(t, p);
    const unsigned char c = static_cast<unsigned char>(t[p]);
    const bool digit = cl == 1 && c >= '0' && c <= '9';
    const bool alpha = cl == 1 && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'));
    std::size_t len = 1;
    bool ok = true;
    switch (type) {
        case CMyRegExp::KEY_TEXT:
            len = re.m_aClusterStr[i].size();
            ok = t.compare(p, len, re.m_aClusterStr[i]) == 0 && isStart(p + len);
            break;
        case CMyRegExp::KEY_ONE:
            len = cl;
            break;
        case CMyRegExp::KEY_DIGIT:
            ok = digit;
            break;
        case CMyRegExp::KEY_NONDIGIT:
            ok = cl == 1 && !digit;
            break;
        case CMyRegExp::KEY_ALPHA:
            ok = alpha;
            break;
        case CMyRegExp::KEY_NONALPHA:
            ok = cl == 1 && !alpha;
            break;
        case CMyRegExp::KEY_ALNUM:
            ok = alpha || digit;
            break;
        default:
            ok = cl == 1 && !alpha && !digit;
            break;
    }
    return ok ? SlowMatch(re, t, i + 1, p + len) : -1;
}

TEST(RegExp, AgreesWithPlainBacktracking) {
    dovtest::TempDir tmp;
    std::mt19937 rng(7);
    auto pick = [&](const char* from) {
        return from[std::uniform_int_distribution<int>(0, int(std::strlen(from)) - 1)(rng)];
    };
    const std::string a = Sj("ア");
    CMyRegExp re;
    for (int round = 0; round < 20000; ++round) {
        std::string target, key;
        const int tn = std::uniform_int_distribution<int>(1, 10)(rng);
        for (int i = 0; i < tn; ++i) {
            if (pick("0123") == '0')
                target += a;
            else
                target += pick("ab1-A");
        }
        const int kn = std::uniform_int_distribution<int>(1, 5)(rng);
        for (int i = 0; i < kn; ++i) {
            const char c = pick("ab1-A**?\\");
            key += c;
            if (c == '\\') key += pick("dDaAnN-");
        }
        int len = 0;
        const int pos = re.Find(target, key, 0, len);
        int wantPos = -1, wantLen = 0;
        if (re.m_iClusterPos > 0) {
            for (std::size_t s = 0; s <= target.size();
                 s += s < target.size() ? SjisCharLen(target, s) : 1) {
                const int e = SlowMatch(re, target, 0, s);
                if (e >= 0) {
                    wantPos = static_cast<int>(s);
                    wantLen = e - wantPos;
                    break;
                }
            }
        }
        ASSERT_EQ(pos, wantPos) << "target " << target << " key " << key;
        ASSERT_EQ(len, wantLen) << "target " << target << " key " << key;
    }
}

}  // namespace
