#include "common/sjis.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/codepage.h"
#include "common/sizetext.h"
#include "support/test_support.h"

namespace {

using dovtest::Sj;

TEST(SjisBytes, LeadAndTrailRanges) {
    struct Row {
        unsigned char c;
        bool lead, trail;
    } rows[] = {{0x40, false, true},  {0x5C, false, true},  {0x7E, false, true},
                {0x7F, false, false}, {0x80, false, true},  {0x81, true, true},
                {0x9F, true, true},   {0xA0, false, true},  {0xDF, false, true},
                {0xE0, true, true},   {0xF5, true, true},   {0xF6, true, true},
                {0xFC, true, true},   {0xFD, false, false}, {0x3F, false, false}};
    for (const Row& r : rows) {
        EXPECT_EQ(IsSjisLeadByte(r.c), r.lead) << std::hex << int(r.c);
        EXPECT_EQ(IsSjisTrailByte(r.c), r.trail) << std::hex << int(r.c);
    }
}

TEST(SjisSearch, StepsOverDoubleByteCharacters) {
    // "表" is 0x95 0x5C: its trail byte is '\', which must not be found as a single byte.
    const std::string hyo = Sj("表");
    ASSERT_EQ(hyo, "\x95\x5C");
    EXPECT_EQ(FindCharDbcs(hyo, '\\'), -1);
    EXPECT_EQ(FindCharDbcs(hyo + "\\", '\\'), 2);
    EXPECT_EQ(FindCharDbcs("a.b.c", '.'), 1);
    EXPECT_EQ(FindLastCharDbcs("a.b.c", '.'), 3);
    EXPECT_EQ(FindLastCharDbcs(hyo + "/" + hyo, '/'), 2);
    EXPECT_EQ(FindLastCharDbcs("", '.'), -1);
    // A lead byte at the very end is a single byte of its own.
    EXPECT_EQ(FindCharDbcs("a\x81", '\x81'), 1);
    // A lead byte followed by a non-trail byte is two single bytes.
    EXPECT_EQ(FindCharDbcs("\x81\x7F.", '.'), 2);
}

TEST(SjisSearch, EveryByteAgreesWithTheSteppingScanOnMixedText) {
    // Lead bytes, trail bytes, both, neither, in every order up to five bytes long.
    const char alphabet[] = {'\x81', '\x95', '\x5C', '\xA0', '/', '.', 'a', '\x7F'};
    std::vector<std::string> texts = {""};
    for (std::size_t i = 0; i < texts.size() && texts[i].size() < 5; ++i)
        for (char b : alphabet) texts.push_back(texts[i] + b);
    for (const std::string& t : texts) {
        for (char c : alphabet) {
            int first = -1, last = -1;
            for (std::size_t p = 0; p < t.size(); p += SjisCharLen(t, p)) {
                if (SjisCharLen(t, p) != 1 || t[p] != c) continue;
                if (first < 0) first = static_cast<int>(p);
                last = static_cast<int>(p);
            }
            ASSERT_EQ(FindCharDbcs(t, c), first) << t << " " << int(c);
            ASSERT_EQ(FindLastCharDbcs(t, c), last) << t << " " << int(c);
        }
    }
}

TEST(SjisSearch, CharLenTakesIbmKanjiWholeAndPairsAsOne) {
    struct Row {
        const char* s;
        std::vector<std::size_t> lens;  // the character lengths of a walk from the start
    } rows[] = {
        {"\xFA\x5C"
         "x",
         {2, 1}},                                      // 纊: its trail byte is '\'
        {"\xFB\xFC\xFC\x4B", {2, 2}},                  // 髙 and the last IBM kanji
        {"\xF0\x4A\xF5\xA1.", {4, 1}},                 // a pair (〜)
        {"\xF0\x40\xF1\x6D\xF5\x6F\xF5\x86", {4, 4}},  // two pairs
        {"\xF0\x40\xF0\x40\xF0\x40", {4, 2}},          // three halves: taken from the left
        {"\xF0\x40\xF6\x40", {2, 2}},                  // 0xF6 is no half of a pair
        {"\xF0\x40\xF0", {2, 1}},                      // cut short
        {"\xF0\x40\xF0\x3F", {2, 1, 1}},               // no trail byte after the lead
    };
    for (const Row& r : rows) {
        const std::string s = r.s;
        std::vector<std::size_t> lens;
        for (std::size_t p = 0; p < s.size(); p += SjisCharLen(s, p))
            lens.push_back(SjisCharLen(s, p));
        EXPECT_EQ(lens, r.lens) << dov::EscapeBytes(s);
    }
    // A pair is never cut and its trail bytes are never found as single bytes.
    const std::string pair = "\xF0\x5C\xF0\x5C";
    EXPECT_EQ(FindCharDbcs(pair, '\\'), -1);
    for (std::size_t n = 1; n < 4; ++n) EXPECT_EQ(SjisSafePrefixLen(pair + "a", n), 0u);
    EXPECT_EQ(SjisSafePrefixLen(pair + "a", 4), 4u);
}

TEST(SjisSearch, FindDbcsCharLooksAtTwoPositions) {
    const std::string s = "a" + Sj("あ") + "b";  // a, 0x82 0xA0, b
    EXPECT_EQ(FindDbcsChar(s, 0), 1);
    EXPECT_EQ(FindDbcsChar(s, 1), 1);
    EXPECT_EQ(FindDbcsChar(s, 3), -1);
    EXPECT_EQ(FindDbcsChar(s, 4), -1);
    EXPECT_EQ(FindDbcsChar(s, -1), -1);
}

TEST(SjisSearch, IsLeadByteAtWalksFromTheStart) {
    // 0x82 0x82 0xA0: the first pair is a character, so offset 1 is a trail byte even though
    // it could start a character of its own.
    const std::string s = "\x82\x82\xA0";
    EXPECT_TRUE(IsLeadByteAt(s, 0));
    EXPECT_FALSE(IsLeadByteAt(s, 1));
    EXPECT_FALSE(IsLeadByteAt(s, 2));
    EXPECT_FALSE(IsLeadByteAt(s, 3));
    EXPECT_FALSE(IsLeadByteAt(s, -1));
    EXPECT_EQ(SjisSafePrefixLen(s, 1), 0u);
    EXPECT_EQ(SjisSafePrefixLen(s, 2), 2u);
    EXPECT_EQ(SjisSafePrefixLen(s, 9), 3u);
}

TEST(SizeText, FormatAndGroup) {
    struct Row {
        std::uint32_t high, low;
        const char* plain;
        const char* grouped;
    } rows[] = {
        {0, 0, "0", "0"},
        {0, 123, "123", "123"},
        {0, 1000, "1000", "1,000"},
        {0, 1023, "1023", "1,023"},
        {0, 1234567, "1234567", "1,234,567"},
        {0, 123456, "123456", "123,456"},
        {1, 0, "4294967296", "4,294,967,296"},
        {0xFFFFFFFF, 0xFFFFFFFF, "18446744073709551615", "18,446,744,073,709,551,615"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(FormatSize64(r.high, r.low), r.plain);
        EXPECT_EQ(InsertComma(r.plain), r.grouped);
    }
    EXPECT_EQ(InsertComma(""), "");
}

}  // namespace
