#include "common/codepage.h"

#include <iconv.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "common/format.h"
#include "common/sjis.h"

namespace dov {
namespace {

// One iconv handle per thread and direction: handles are not safe to share between threads.
class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts one character (at most 4 bytes in, 4 bytes out); the length out, or 0.
    std::size_t One(const char* in, std::size_t inLen, char* out) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) return 0;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
        char* src = const_cast<char*>(in);
        char* dst = out;
        std::size_t srcLeft = inLen, dstLeft = 4;
        if (iconv(cd_, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1) ||
            srcLeft != 0)
            return 0;
        return 4 - dstLeft;
    }

  private:
    iconv_t cd_;
};

constexpr char32_t kNoValue = 0xFFFFFFFF;
constexpr unsigned kIndexes = 1128;  // user-defined characters with lead bytes 0xF0-0xF5
constexpr unsigned kTrails = 188;
constexpr char32_t kMaxValue = kRawByteBase + 0xFF;

// Cached answers, filled on first use by whichever thread asks (the answers are the same).
// Bit 31 marks an entry as known; the rest is the answer.
constexpr std::uint32_t kKnown = 0x80000000u;
constexpr std::uint32_t kNone = 0x40000000u;
std::atomic<std::uint32_t> g_codeOf[0x10000];   // BMP code point -> exact CP932 code, or kNone
std::atomic<std::uint32_t> g_pointOf[0x10000];  // CP932 code -> its code point, or kNone

std::size_t EncodeUtf8(char32_t v, char* out) {
    if (v < 0x80) {
        out[0] = static_cast<char>(v);
        return 1;
    }
    if (v < 0x800) {
        out[0] = static_cast<char>(0xC0 | (v >> 6));
        out[1] = static_cast<char>(0x80 | (v & 0x3F));
        return 2;
    }
    if (v < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (v >> 12));
        out[1] = static_cast<char>(0x80 | ((v >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (v & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (v >> 18));
    out[1] = static_cast<char>(0x80 | ((v >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((v >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (v & 0x3F));
    return 4;
}

// The code point of the valid UTF-8 sequence at s[p] and its length, or length 0.
std::size_t DecodeUtf8(std::string_view s, std::size_t p, char32_t& v) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[p + i]); };
    const auto cont = [&](std::size_t i) { return p + i < s.size() && (b(i) & 0xC0) == 0x80; };
    const unsigned char c = b(0);
    if (c < 0x80) {
        v = c;
        return 1;
    }
    if (c >= 0xC2 && c <= 0xDF) {
        if (!cont(1)) return 0;
        v = static_cast<char32_t>(((c & 0x1F) << 6) | (b(1) & 0x3F));
        return 2;
    }
    if (c >= 0xE0 && c <= 0xEF) {
        if (!cont(1) || !cont(2)) return 0;
        if ((c == 0xE0 && b(1) < 0xA0) || (c == 0xED && b(1) > 0x9F)) return 0;
        v = static_cast<char32_t>(((c & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F));
        return 3;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        if (!cont(1) || !cont(2) || !cont(3)) return 0;
        if ((c == 0xF0 && b(1) < 0x90) || (c == 0xF4 && b(1) > 0x8F)) return 0;
        v = static_cast<char32_t>(((c & 0x07) << 18) | ((b(1) & 0x3F) << 12) |
                                  ((b(2) & 0x3F) << 6) | (b(3) & 0x3F));
        return 4;
    }
    return 0;
}

bool IsPrivateUse(char32_t v) {
    return (v >= 0xE000 && v <= 0xF8FF) || v >= 0xF0000;
}

bool IsUserDefinedLead(unsigned char c) {
    return c >= 0xF0 && c <= 0xF9;
}

// The code point glibc gives a CP932 code (1 or 2 bytes), or kNoValue.
char32_t PointOf(std::uint32_t code) {
    std::uint32_t e = g_pointOf[code].load(std::memory_order_relaxed);
    if (!(e & kKnown)) {
        thread_local Converter toUtf8("UTF-8", "CP932");
        char in[2], out[4];
        std::size_t inLen = 0;
        if (code > 0xFF) in[inLen++] = static_cast<char>(code >> 8);
        in[inLen++] = static_cast<char>(code & 0xFF);
        const std::size_t outLen = toUtf8.One(in, inLen, out);
        char32_t v = 0;
        e = kKnown | kNone;
        if (outLen && DecodeUtf8(std::string_view(out, outLen), 0, v) == outLen)
            e = kKnown | static_cast<std::uint32_t>(v);
        g_pointOf[code].store(e, std::memory_order_relaxed);
    }
    return (e & kNone) ? kNoValue : static_cast<char32_t>(e & 0x1FFFFF);
}

// The CP932 code that holds v exactly (1 or 2 bytes, outside the user-defined area, and back
// to v again), or kNoValue: v then travels as a pair.
std::uint32_t ComputeCodeOf(char32_t v) {
    if (IsPrivateUse(v)) return kNoValue;
    thread_local Converter toCp932("CP932", "UTF-8");
    char in[4], out[4];
    const std::size_t outLen = toCp932.One(in, EncodeUtf8(v, in), out);
    std::uint32_t code;
    if (outLen == 1) {
        code = static_cast<unsigned char>(out[0]);
    } else if (outLen == 2 && !IsUserDefinedLead(static_cast<unsigned char>(out[0]))) {
        code = (static_cast<std::uint32_t>(static_cast<unsigned char>(out[0])) << 8) |
               static_cast<unsigned char>(out[1]);
    } else {
        return kNoValue;
    }
    return PointOf(code) == v ? code : kNoValue;
}

std::uint32_t CodeOf(char32_t v) {
    if (v < 0x80) return v;
    if (v >= 0x10000) return ComputeCodeOf(v);
    std::uint32_t e = g_codeOf[v].load(std::memory_order_relaxed);
    if (!(e & kKnown)) {
        const std::uint32_t code = ComputeCodeOf(v);
        e = kKnown | (code == kNoValue ? kNone : code);
        g_codeOf[v].store(e, std::memory_order_relaxed);
    }
    return (e & kNone) ? kNoValue : (e & 0xFFFF);
}

void AppendUserDefined(std::string& out, unsigned index) {
    const unsigned t = index % kTrails;
    out += static_cast<char>(0xF0 + index / kTrails);
    out += static_cast<char>(t < 63 ? 0x40 + t : 0x41 + t);
}

unsigned UserDefinedIndex(unsigned char lead, unsigned char trail) {
    return (lead - 0xF0u) * kTrails + (trail < 0x7F ? trail - 0x40u : trail - 0x41u);
}

// Appends the inside form of one value (a code point, or kRawByteBase + a byte 0x80-0xFF).
void AppendValue(std::string& out, char32_t v) {
    const std::uint32_t code = v < kRawByteBase ? CodeOf(v) : kNoValue;
    if (code == kNoValue) {
        AppendUserDefined(out, static_cast<unsigned>(v / kIndexes));
        AppendUserDefined(out, static_cast<unsigned>(v % kIndexes));
    } else if (code > 0xFF) {
        out += static_cast<char>(code >> 8);
        out += static_cast<char>(code & 0xFF);
    } else {
        out += static_cast<char>(code);
    }
}

// The value of the character of len bytes at s[p] (len from SjisCharLen), or kNoValue when
// it cannot be converted.
char32_t ValueAt(std::string_view s, std::size_t p, std::size_t len) {
    const auto b0 = static_cast<unsigned char>(s[p]);
    if (len == 1) return b0 < 0x80 ? b0 : PointOf(b0);
    const auto b1 = static_cast<unsigned char>(s[p + 1]);
    if (len == 4) {
        const char32_t v = UserDefinedIndex(b0, b1) * kIndexes +
                           UserDefinedIndex(static_cast<unsigned char>(s[p + 2]),
                                            static_cast<unsigned char>(s[p + 3]));
        if (v > kMaxValue) return kNoValue;
        if (v >= kRawByteBase) return v >= kRawByteBase + 0x80 ? v : kNoValue;
        if (v >= 0xD800 && v <= 0xDFFF) return kNoValue;
        return CodeOf(v) == kNoValue ? v : kNoValue;
    }
    if (IsUserDefinedLead(b0)) return kNoValue;  // not half of a pair
    return PointOf((static_cast<std::uint32_t>(b0) << 8) | b1);
}

}  // namespace

namespace {

// Walks a CP932 text into UTF-8, character by character; a byte that stands for itself goes to
// raw, a text that is no character to bad (false from bad ends the walk, and the result).
template <class Raw, class Bad>
bool WalkToUtf8(std::string_view cp932, std::string& out, Raw raw, Bad bad) {
    out.reserve(cp932.size() * 3 / 2 + 4);
    for (std::size_t p = 0; p < cp932.size();) {
        const std::size_t len = SjisCharLen(cp932, p);
        const char32_t v = ValueAt(cp932, p, len);
        if (v == kNoValue) {
            if (!bad(out, cp932.substr(p, len))) return false;
        } else if (v >= kRawByteBase) {
            raw(out, static_cast<char>(v - kRawByteBase));
        } else {
            char buf[4];
            out.append(buf, EncodeUtf8(v, buf));
        }
        p += len;
    }
    return true;
}

}  // namespace

std::optional<std::string> Cp932ToUtf8(std::string_view cp932) {
    if (IsAscii(cp932)) return std::string(cp932);
    std::string out;
    if (!WalkToUtf8(
            cp932, out, [](std::string& o, char c) { o += c; },
            [](std::string&, std::string_view) { return false; }))
        return std::nullopt;
    return out;
}

namespace {

// Two tails that differ in their bytes, converted: kept apart so that the common answers of
// SameOnDisk need no stack frame for the strings.
[[gnu::noinline]] bool SameTailsOnDisk(std::string_view a, std::string_view b) {
    const auto da = Cp932ToUtf8(a);
    const auto db = Cp932ToUtf8(b);
    return da && db && *da == *db;
}

}  // namespace

bool SameOnDisk(std::string_view a, std::string_view b) {
    // The common answers come from whole words: equal bytes, or tails that differ in plain
    // ASCII (its own disk form).
    const auto load64 = [](const char* p) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        return w;
    };
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t i = 0;
    for (;;) {
        if (i + 8 > n) {
            while (i < n && a[i] == b[i]) ++i;
            break;
        }
        if (const std::uint64_t x = load64(a.data() + i) ^ load64(b.data() + i)) {
            // The first byte that differs.
            const int bit = std::endian::native == std::endian::little ? std::countr_zero(x)
                                                                       : std::countl_zero(x);
            i += static_cast<std::size_t>(bit) / 8;
            break;
        }
        i += 8;
    }
    if (i == a.size() && i == b.size()) return true;
    // '/' is never a trail byte: the texts are compared on disk from the element where they
    // first differ.
    while (i > 0 && a[i - 1] != '/') --i;
    // Whether a tail holds a byte of 0x80 or above, read as (overlapping) words.
    const auto high = [&](std::string_view s) -> std::uint64_t {
        const char* p = s.data();
        const std::size_t len = s.size();
        if (len >= 8) {
            std::uint64_t w = load64(p + len - 8);
            for (std::size_t k = 0; k + 8 < len; k += 8) w |= load64(p + k);
            return w & 0x8080808080808080u;
        }
        std::uint64_t w = 0;
        for (std::size_t k = 0; k < len; ++k) w |= static_cast<unsigned char>(p[k]);
        return w & 0x80u;
    };
    if (!high(a.substr(i)) && !high(b.substr(i))) return false;
    return SameTailsOnDisk(a.substr(i), b.substr(i));
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
    if (IsAscii(utf8)) return std::string(utf8);
    std::string out;
    out.reserve(utf8.size() + 8);
    for (std::size_t p = 0; p < utf8.size();) {
        char32_t v;
        std::size_t len = DecodeUtf8(utf8, p, v);
        if (len == 0) {
            v = kRawByteBase + static_cast<unsigned char>(utf8[p]);
            len = 1;
        }
        if (v < 0x80)
            out += static_cast<char>(v);
        else
            AppendValue(out, v);
        p += len;
    }
    return out;
}

std::optional<std::u32string> Cp932ToValues(std::string_view cp932) {
    std::u32string out;
    out.reserve(cp932.size());
    for (std::size_t p = 0; p < cp932.size();) {
        const std::size_t len = SjisCharLen(cp932, p);
        const char32_t v = ValueAt(cp932, p, len);
        if (v == kNoValue) return std::nullopt;
        out += v;
        p += len;
    }
    return out;
}

std::optional<std::string> ValuesToCp932(std::u32string_view values) {
    std::string out;
    out.reserve(values.size() * 2);
    for (char32_t v : values) {
        if (v > kMaxValue || (v >= 0xD800 && v <= 0xDFFF) ||
            (v >= kRawByteBase && v < kRawByteBase + 0x80))
            return std::nullopt;
        if (v < 0x80)
            out += static_cast<char>(v);
        else
            AppendValue(out, v);
    }
    return out;
}

const std::string& Sj(const char* utf8Literal) {
    // Keyed by content, not by address: a caller that passes a temporary buffer still gets the
    // right text. The map's nodes never move, so the returned reference stays valid.
    using Entry = std::pair<const std::string, std::string>;
    static std::mutex mu;
    static std::unordered_map<std::string, std::string> cache;
    // The same few literals come back for every item: a small table per thread, found by the
    // address and confirmed by the content, answers them without the lock or a hash.
    struct Recent {
        const char* key;
        const Entry* entry;
    };
    thread_local Recent recent[128] = {};
    const std::uint64_t mixed =
        static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(utf8Literal)) *
        0x9E3779B97F4A7C15u;
    Recent& slot = recent[mixed >> 57];
    if (slot.key == utf8Literal && std::strcmp(slot.entry->first.c_str(), utf8Literal) == 0)
        return slot.entry->second;
    std::lock_guard<std::mutex> lock(mu);
    auto it = cache.find(utf8Literal);
    if (it == cache.end()) {
        auto conv = Utf8ToCp932(utf8Literal);
        it = cache.emplace(utf8Literal, conv ? *conv : EscapeBytes(utf8Literal)).first;
    }
    slot = {utf8Literal, &*it};
    return it->second;
}

std::string EscapeBytes(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out.push_back(static_cast<char>(c));
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    return out;
}

std::string DisplayUtf8(std::string_view cp932) {
    if (IsAscii(cp932)) return std::string(cp932);
    std::string out;
    WalkToUtf8(
        cp932, out, [](std::string& o, char c) { o += EscapeBytes(std::string(1, c)); },
        [](std::string& o, std::string_view bytes) {
            o += EscapeBytes(bytes);
            return true;
        });
    return out;
}

}  // namespace dov
