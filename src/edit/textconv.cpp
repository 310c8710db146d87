#include "edit/textconv.h"

#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/translit.h>
#include <unicode/uniset.h>
#include <unicode/unistr.h>

#include <array>
#include <memory>

#include "common/codepage.h"
#include "common/sjis.h"

namespace dov {
namespace {

// Transliterator ids; the filters keep each conversion to the characters it names.
const char* TranslitId(CharConv kind) {
    switch (kind) {
        case CharConv::FullToHalf:
            return "[\\uFF01-\\uFF5E\\u3000] Fullwidth-Halfwidth";
        case CharConv::HalfToFull:
            return "[\\u0020-\\u007E] Halfwidth-Fullwidth";
        case CharConv::KanaHalfToFull:
            return "[\\uFF61-\\uFF9F] Halfwidth-Fullwidth";
        case CharConv::KanaFullToHalf:
            return "[\\u30A1-\\u30FC\\u3001\\u3002\\u300C\\u300D\\u30FB\\u309B\\u309C] "
                   "Fullwidth-Halfwidth";
        case CharConv::HiraToKata:
            return "[\\u3041-\\u3096\\u309D\\u309E] Hiragana-Katakana";
        case CharConv::KataToHira:
            return "[\\u30A1-\\u30F4\\u30FD\\u30FE] Katakana-Hiragana";
        default:
            return nullptr;
    }
}

// Transliterators are not shared between threads: one set per thread, made on first use.
icu::Transliterator* Translit(CharConv kind) {
    thread_local std::array<std::unique_ptr<icu::Transliterator>, kCharConvCount> cache;
    auto& slot = cache[static_cast<std::size_t>(kind)];
    if (!slot) {
        const char* id = TranslitId(kind);
        if (!id) return nullptr;
        UErrorCode err = U_ZERO_ERROR;
        slot.reset(icu::Transliterator::createInstance(icu::UnicodeString::fromUTF8(id),
                                                       UTRANS_FORWARD, err));
        if (U_FAILURE(err)) slot.reset();
    }
    return slot.get();
}

// The normaliser, leaving the CJK compatibility ideographs alone: their canonical mappings
// would turn IBM-extension kanji such as 﨑's neighbours into different characters.
const icu::Normalizer2* Normaliser(bool composed) {
    struct Filtered {
        icu::UnicodeSet set;
        std::unique_ptr<icu::FilteredNormalizer2> norm;
    };
    thread_local std::array<std::unique_ptr<Filtered>, 2> cache;
    auto& slot = cache[composed ? 0 : 1];
    if (!slot) {
        UErrorCode err = U_ZERO_ERROR;
        const icu::Normalizer2* base = composed ? icu::Normalizer2::getNFCInstance(err)
                                                : icu::Normalizer2::getNFDInstance(err);
        if (U_FAILURE(err)) return nullptr;
        auto f = std::make_unique<Filtered>();
        f->set.applyPattern(
            icu::UnicodeString::fromUTF8("[^\\uF900-\\uFAFF\\U0002F800-\\U0002FA1F]"), err);
        if (U_FAILURE(err)) return nullptr;
        f->set.freeze();
        f->norm = std::make_unique<icu::FilteredNormalizer2>(*base, f->set);
        slot = std::move(f);
    }
    return slot->norm.get();
}

// Converts text whose bytes survive the bridge both ways. nullopt when the result cannot come
// back; the same bytes when nothing changed.
std::optional<std::string> ConvertClean(std::string_view cp932, const std::string& utf8,
                                        CharConv kind) {
    const icu::UnicodeString before = icu::UnicodeString::fromUTF8(utf8);
    icu::UnicodeString u = before;
    switch (kind) {
        case CharConv::Upper:
            u.toUpper(icu::Locale::getRoot());
            break;
        case CharConv::Lower:
            u.toLower(icu::Locale::getRoot());
            break;
        case CharConv::Capital:
            u.toTitle(nullptr, icu::Locale::getRoot());
            break;
        case CharConv::Nfc:
        case CharConv::Nfd: {
            const icu::Normalizer2* n = Normaliser(kind == CharConv::Nfc);
            if (!n) return std::nullopt;
            UErrorCode err = U_ZERO_ERROR;
            u = n->normalize(before, err);
            if (U_FAILURE(err)) return std::nullopt;
            break;
        }
        default: {
            icu::Transliterator* t = Translit(kind);
            if (!t) return std::nullopt;
            t->transliterate(u);
            break;
        }
    }
    if (u == before) return std::string(cp932);
    std::string out;
    u.toUTF8String(out);
    return Utf8ToCp932(out);
}

bool SurvivesBridge(std::string_view cp932, std::string* utf8) {
    auto u = Cp932ToUtf8(cp932);
    if (!u) return false;
    auto back = Utf8ToCp932(*u);
    if (!back || *back != cp932) return false;
    if (utf8) *utf8 = std::move(*u);
    return true;
}

// Bytes of the character at p: a pair of user-defined characters counts as one.
std::size_t CharAt(std::string_view s, std::size_t p) {
    const std::size_t n = SjisCharLen(s, p);
    if (n == 2 && p + 4 <= s.size()) {
        auto userDefined = [&](std::size_t q) {
            const auto c = static_cast<unsigned char>(s[q]);
            return c >= 0xF0 && c <= 0xF9 && SjisCharLen(s, q) == 2;
        };
        if (userDefined(p) && userDefined(p + 2) && SurvivesBridge(s.substr(p, 4), nullptr))
            return 4;
    }
    return n;
}

}  // namespace

std::optional<std::string> ConvertCharType(std::string_view cp932, CharConv kind) {
    if (static_cast<int>(kind) < 0 || static_cast<int>(kind) >= kCharConvCount) return std::nullopt;
    std::string utf8;
    if (SurvivesBridge(cp932, &utf8)) return ConvertClean(cp932, utf8, kind);
    // Some characters would come back as other bytes: keep those as they are and convert the
    // runs between them.
    std::string out;
    std::size_t runStart = 0;
    auto flush = [&](std::size_t end) -> bool {
        if (end == runStart) return true;
        const std::string_view run = cp932.substr(runStart, end - runStart);
        std::string u;
        if (!SurvivesBridge(run, &u)) return false;
        auto conv = ConvertClean(run, u, kind);
        if (!conv) return false;
        out += *conv;
        return true;
    };
    for (std::size_t p = 0; p < cp932.size();) {
        const std::size_t n = CharAt(cp932, p);
        const std::string_view ch = cp932.substr(p, n);
        if (!SurvivesBridge(ch, nullptr)) {
            if (!Cp932ToUtf8(ch)) return std::nullopt;  // not a character at all
            if (!flush(p)) return std::nullopt;
            out += ch;
            runStart = p + n;
        }
        p += n;
    }
    if (!flush(cp932.size())) return std::nullopt;
    return out;
}

}  // namespace dov
