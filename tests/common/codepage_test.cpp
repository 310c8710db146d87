// The name bridge: disk bytes <-> CP932 inside.
#include "common/codepage.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "common/sjis.h"

namespace {

using dov::Cp932ToUtf8;
using dov::EscapeBytes;
using dov::Utf8ToCp932;

TEST(Bridge, DiskNamesConvertAsExpected) {
    struct Row {
        const char* disk;
        const char* inside;
    } rows[] = {
        {"abc", "abc"},
        {"日本語.txt", "\x93\xFA\x96\x7B\x8C\xEA.txt"},
        {"ｱ", "\xB1"},
        {"～", "\x81\x60"},                              // U+FF5E: CP932 holds it exactly
        {"〜", "\xF0\x4A\xF5\xA1"},                      // U+301C comes back from 0x8160 as U+FF5E
        {"é", "\xF0\x40\xF1\x6D"},                       // U+00E9 = 0 * 1128 + 233
        {"caf\xE9", "caf\xF5\x6F\xF5\x86"},              // raw byte: 0x110000 + 0xE9
        {"\xEE\x80\x80", "\xF0\x72\xF5\x44"},            // private use U+E000, not 0xF040
        {"纊髙", "\xFA\x5C\xFB\xFC"},                    // IBM extension kanji
        {"か\xE3\x82\x99", "\x82\xA9\xF0\x4B\xF0\x61"},  // combining voiced mark U+3099
        {"\xF0\x9F\x98\x80", "\xF0\xB2\xF5\xAD"},        // U+1F600
    };
    for (const Row& r : rows) {
        EXPECT_EQ(EscapeBytes(*Utf8ToCp932(r.disk)), EscapeBytes(r.inside)) << r.disk;
        EXPECT_EQ(Cp932ToUtf8(r.inside), std::string(r.disk)) << EscapeBytes(r.inside);
    }
}

TEST(Bridge, RefusesInsideTextThatIsNoDiskName) {
    const char* rows[] = {
        "\x82",  // cut in half
        "\x80",
        "\xA0",
        "\xFD",              // not CP932
        "\xF0\x40",          // a lone user-defined character
        "\xF6\x40",          // user-defined, never half of a pair
        "\xF0\x40\xF0\x41",  // the pair of U+0001, which CP932 holds
        "\xF0\x40\xF0\x6F",  // the pair of '/'
        "\xF0\x79\xF5\xCB",  // the pair of U+FF5E, which CP932 holds
        "\xF0\x71\xF0\x58",  // the pair of the surrogate U+D800
        "\xF5\x6F\xF4\xD8",  // the raw byte 0x7F
        "\xF5\x6F\xF5\x9D",  // 0x110100, above every value
    };
    for (const char* s : rows) {
        EXPECT_FALSE(Cp932ToUtf8(s).has_value()) << EscapeBytes(s);
        EXPECT_FALSE(Cp932ToUtf8(std::string("ok ") + s).has_value()) << EscapeBytes(s);
        EXPECT_FALSE(dov::Cp932ToValues(s).has_value()) << EscapeBytes(s);
    }
    EXPECT_FALSE(dov::ValuesToCp932(U"\xD800").has_value());
    EXPECT_FALSE(dov::ValuesToCp932(std::u32string(1, dov::kRawByteBase + 0x41)).has_value());
}

// Two inside texts that give the same bytes on disk: the characters CP932 codes twice.
TEST(Bridge, SameOnDiskFindsTheCharactersCodedTwice) {
    struct Row {
        const char* a;
        const char* b;
        bool same;
    } rows[] = {
        {"/x/a.txt", "/x/a.txt", true},
        {"/x/a.txt", "/x/b.txt", false},
        {"/x/\x87\x54.txt", "/x/\xFA\x4A.txt", true},  // Ⅰ: NEC row 13 and IBM
        {"/\x87\x54/a", "/\xFA\x4A/a", true},          // in a folder's name
        {"/x/\x81\xCA", "/x/\xEE\xF9", true},          // ¬: JIS and NEC-selected IBM
        {"/x/\x87\x54", "/x/\x87\x55", false},         // Ⅰ and Ⅱ
        {"/x/\x82", "/x/\x82", true},                  // the same bytes, not CP932
        {"/x/\x82", "/x/\x83", false},                 // neither converts
        {"/x/\x82\xA0"
         "a",
         "/x/\x82\xA0"
         "b",
         false},  // differing after a character
        // longer than a word on either side of the difference
        {"/folder/long_name_0001.txt", "/folder/long_name_0002.txt", false},
        {"/folder/sub/\x87\x54\x87\x54.txt", "/folder/sub/\xFA\x4A\x87\x54.txt", true},
        {"/folder/abcdefgh", "/folder/abcdefgh/x", false},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(dov::SameOnDisk(r.a, r.b), r.same) << EscapeBytes(r.a) << " " << EscapeBytes(r.b);
        EXPECT_EQ(dov::SameOnDisk(r.b, r.a), r.same) << EscapeBytes(r.a) << " " << EscapeBytes(r.b);
    }
}

TEST(Bridge, DisplayShowsRealCharactersAndEscapesTheRest) {
    EXPECT_EQ(dov::DisplayUtf8(*Utf8ToCp932("〜♥é.mp4")), "〜♥é.mp4");
    EXPECT_EQ(dov::DisplayUtf8(*Utf8ToCp932("caf\xE9")), "caf\\xE9");
    EXPECT_EQ(dov::DisplayUtf8("a\x82"), "a\\x82");
    EXPECT_EQ(dov::DisplayUtf8("\x95\x5C"), "表");
}

// Every code point of the first plane but the surrogates goes in and comes back.
TEST(Bridge, EveryBmpCodePointRoundTrips) {
    for (char32_t v = 1; v < 0x10000; ++v) {
        if (v >= 0xD800 && v <= 0xDFFF) continue;
        const std::u32string one(1, v);
        const auto cp = dov::ValuesToCp932(one);
        ASSERT_TRUE(cp) << std::hex << static_cast<unsigned>(v);
        const std::size_t len = SjisCharLen(*cp, 0);
        ASSERT_EQ(len, cp->size()) << std::hex << static_cast<unsigned>(v);  // always one character
        ASSERT_EQ(dov::Cp932ToValues(*cp), one) << std::hex << static_cast<unsigned>(v);
    }
}

// The promise: every byte string a Linux name can be (1-255 bytes, no '/', no NUL) goes to
// CP932 and comes back the same. Bytes are drawn to favour UTF-8 lead and continuation bytes.
TEST(Bridge, EveryLinuxNameRoundTrips) {
    std::mt19937 rng(2207);
    const unsigned char kinds[] = {'a',  '.',  ':',  0x5C, 0x7F, 0x80, 0x99, 0xBF, 0xC2,
                                   0xC3, 0xDF, 0xE0, 0xE3, 0xED, 0xEF, 0xF0, 0xF4, 0xFF};
    for (int round = 0; round < 5000; ++round) {
        std::string name(1 + rng() % 255, 'x');
        for (char& c : name) {
            const unsigned r = rng();
            c = static_cast<char>(r % 3 ? kinds[r / 3 % sizeof kinds] : 1 + r / 3 % 255);
            if (c == '/') c = 'y';
        }
        const auto cp = Utf8ToCp932(name);
        ASSERT_TRUE(cp);
        ASSERT_EQ(Cp932ToUtf8(*cp), name) << EscapeBytes(name);
        std::size_t p = 0;
        while (p < cp->size()) p += SjisCharLen(*cp, p);
        ASSERT_EQ(p, cp->size());
    }
}

}  // namespace
