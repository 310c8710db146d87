#include "edit/textconv.h"

#include <gtest/gtest.h>

#include "common/codepage.h"
#include "edit/regex_replace.h"
#include "support/test_support.h"

namespace {

using dov::CharConv;
using dov::ConvertCharType;

struct ConvCase {
    CharConv kind;
    const char* in;   // UTF-8
    const char* out;  // UTF-8
};

// Every sample goes through the bridge, those with characters CP932 lacks as pairs.
std::optional<std::string> ToName(const char* utf8) {
    return dov::Utf8ToCp932(utf8);
}

TEST(TextConv, ConversionsOverJapaneseAndLatin) {
    const ConvCase cases[] = {
        {CharConv::Upper, "abc_ｄｅｆ_かな.txt", "ABC_ＤＥＦ_かな.TXT"},
        {CharConv::Upper, "café", "CAFÉ"},
        {CharConv::Lower, "ABC_ＤＥＦ_ΑΒ.JPG", "abc_ｄｅｆ_αβ.jpg"},
        {CharConv::Capital, "my file.txt ａｂｃ", "My File.txt Ａｂｃ"},
        {CharConv::FullToHalf, "ＡＢＣ　１２３！＿ガ", "ABC 123!_ガ"},
        {CharConv::FullToHalf, "ＡＢＣ〜", "ABC〜"},
        {CharConv::HalfToFull, "a B~\\1ｶ", "ａ　Ｂ～＼１ｶ"},
        {CharConv::KanaHalfToFull, "ｶﾞｰﾙ｡ﾊﾟabc", "ガール。パabc"},
        {CharConv::KanaFullToHalf, "ガールパ。「ヰ」1", "ｶﾞｰﾙﾊﾟ｡｢ヰ｣1"},
        {CharConv::HiraToKata, "がーるゝabcｶ", "ガールヽabcｶ"},
        {CharConv::KataToHira, "ガールヽ一ヶ月ｶ", "がーるゝ一ヶ月ｶ"},
        {CharConv::Nfc, "か\u3099ーる", "がーる"},
        {CharConv::Nfc, "e\u0301", "é"},
        {CharConv::Nfd, "がe", "か\u3099e"},
        {CharConv::Nfc, "朗", "朗"},  // compatibility ideograph (IBM extension) stays
    };
    for (const auto& c : cases) {
        auto in = ToName(c.in);
        auto want = ToName(c.out);
        ASSERT_TRUE(in && want) << c.in;
        auto got = ConvertCharType(*in, c.kind);
        ASSERT_TRUE(got) << c.in;
        EXPECT_EQ(dov::DisplayUtf8(*got), c.out) << c.in << " kind " << static_cast<int>(c.kind);
    }
}

TEST(TextConv, UnchangedNamesKeepTheirBytes) {
    // 0xEEF9 (NEC-selected IBM ¬) comes back from Unicode as 0x81CA; 0xED40 (NEC-selected 纊)
    // as 0xFA5C. Such characters keep their bytes, and what lies around them is converted.
    const std::string nec =
        "\xEE\xF9"
        "ab"
        "\xED\x40";
    for (int k = 0; k < dov::kCharConvCount; ++k) {
        auto got = ConvertCharType(nec, static_cast<CharConv>(k));
        ASSERT_TRUE(got) << k;
        EXPECT_EQ(got->substr(0, 2), "\xEE\xF9") << k;
        EXPECT_EQ(got->substr(got->size() - 2), "\xED\x40") << k;
    }
    EXPECT_EQ(*ConvertCharType(nec, CharConv::Upper),
              "\xEE\xF9"
              "AB"
              "\xED\x40");
    const std::string plain = dovtest::Sj("ｶﾅ１.txt");
    EXPECT_EQ(*ConvertCharType(plain, CharConv::HiraToKata), plain);
}

struct RegexCase {
    const char* pattern;
    const char* replacement;
    bool all;
    const char* name;
    const char* expected;
};

TEST(RegexReplace, Captures) {
    const RegexCase cases[] = {
        {"IMG_(\\d{4})(\\d{2})(\\d{2})", "$1-$2-$3", false, "IMG_20240131.jpg", "2024-01-31.jpg"},
        {"(?<y>\\d+)年", "${y}-$$", false, "2024年の写真", "2024-$の写真"},
        {"a", "b", true, "banana", "bbnbnb"},
        {"a", "b", false, "banana", "bbnana"},
        {"第(\\d+)話", "ep${1}", false, "第１０話", "ep１０"},  // \d in UTF mode takes full width
        {".", "x", true, "かé", "xx"},                          // one character, not one byte
        {"nothing", "x", true, "name", "name"},
    };
    for (const auto& c : cases) {
        auto name = ToName(c.name);
        if (!name) continue;
        dov::CRegexReplace re;
        std::string err;
        ASSERT_TRUE(
            re.Compile(dovtest::Sj(c.pattern), dovtest::Sj(c.replacement), c.all, false, &err))
            << c.pattern << " " << err;
        re.Replace(*name);
        EXPECT_EQ(dov::DisplayUtf8(*name), c.expected) << c.pattern;
    }
}

TEST(RegexReplace, BadPatternOrReplacementNamesThePosition) {
    const struct {
        const char* pattern;
        const char* replacement;
        const char* where;
    } cases[] = {
        {"かな(", "x", "4文字目"},      {"a{2,1}", "x", "6文字目"}, {"(a)", "$2", "1文字目"},
        {"(a)", "x${nope}", "2文字目"}, {"(a)", "ab$", "3文字目"},  {"(a)", "${1", "1文字目"},
    };
    for (const auto& c : cases) {
        dov::CRegexReplace re;
        std::string err;
        EXPECT_FALSE(
            re.Compile(dovtest::Sj(c.pattern), dovtest::Sj(c.replacement), true, false, &err));
        EXPECT_FALSE(re.IsCompiled());
        EXPECT_NE(dov::DisplayUtf8(err).find(c.where), std::string::npos)
            << c.pattern << " " << c.replacement << ": " << dov::DisplayUtf8(err);
    }
}

TEST(RegexReplace, CatastrophicPatternEndsUnderTheLimit) {
    dov::CRegexReplace re;
    ASSERT_TRUE(re.Compile("(a|aa)+(b|c)+$|(x+x+)+y", "z", true, false, nullptr));
    std::string name(40, 'a');
    name += "!";
    const std::string before = name;
    std::string err;
    EXPECT_EQ(re.Replace(name, &err), dov::CRegexReplace::Failed);
    EXPECT_EQ(name, before);
    EXPECT_FALSE(err.empty());
}

}  // namespace
