#include "common/sjis.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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
                {0xE0, true, true},   {0xF5, true, true},   {0xF6, false, true},
                {0xFC, false, true},  {0xFD, false, false}, {0x3F, false, false}};
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
