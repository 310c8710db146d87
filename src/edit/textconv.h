// Character-type conversions and Unicode normalisation of CP932 names.
//
// A name goes to Unicode through the bridge (Cp932ToUtf8), is changed there with ICU (case
// mapping, transliterators, the normaliser) and comes back through the bridge (Utf8ToCp932).
// A character that has no counterpart stays as it is. A name the conversion leaves unchanged
// keeps its bytes exactly, and so does every character whose own bytes would not survive the
// trip through Unicode (CP932 codes a second code stands for, such as the NEC-selected IBM
// kanji): the text between such characters is converted piece by piece around them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dov {

enum class CharConv : int {
    Upper = 0,       // upper case (ASCII, full-width Latin, every cased script)
    Lower,           // lower case
    Capital,         // first letter of each word upper case, the rest lower case
    FullToHalf,      // full-width letters, digits, symbols and the ideographic space to ASCII
    HalfToFull,      // ASCII letters, digits, symbols and space to full width
    KanaHalfToFull,  // half-width katakana to full width, voiced marks composed (ｶﾞ -> ガ)
    KanaFullToHalf,  // full-width katakana to half width, voiced ones split (ガ -> ｶﾞ)
    HiraToKata,      // hiragana to katakana
    KataToHira,      // katakana to hiragana (ヵ and ヶ stay: they are counters, not kana)
    Nfc,             // Unicode normalisation, composed
    Nfd,             // Unicode normalisation, decomposed
};
inline constexpr int kCharConvCount = 11;

// The name converted; std::nullopt when the name cannot go through the bridge or the result
// cannot come back through it (the caller leaves the name as it is).
std::optional<std::string> ConvertCharType(std::string_view cp932, CharConv kind);

}  // namespace dov
