#include "common/codepage.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <unordered_map>

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

    std::optional<std::string> Run(std::string_view in) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
        std::string out;
        out.resize(in.size() * 2 + 16);
        char* src = const_cast<char*>(in.data());
        std::size_t srcLeft = in.size();
        std::size_t used = 0;
        for (;;) {
            char* dst = out.data() + used;
            std::size_t dstLeft = out.size() - used;
            std::size_t r = iconv(cd_, srcLeft ? &src : nullptr, &srcLeft, &dst, &dstLeft);
            used = out.size() - dstLeft;
            if (r != static_cast<std::size_t>(-1)) {
                if (srcLeft == 0) break;
                continue;
            }
            if (errno == E2BIG) {
                out.resize(out.size() * 2);
                continue;
            }
            return std::nullopt;  // EILSEQ or EINVAL: invalid or unconvertible input
        }
        out.resize(used);
        return out;
    }

  private:
    iconv_t cd_;
};

std::optional<std::string> RoundTripChecked(Converter& fwd, Converter& back, std::string_view in) {
    auto out = fwd.Run(in);
    if (!out) return std::nullopt;
    auto again = back.Run(*out);
    if (!again || *again != in) return std::nullopt;
    return out;
}

}  // namespace

std::optional<std::string> Cp932ToUtf8(std::string_view cp932) {
    bool ascii = true;
    for (unsigned char c : cp932) {
        if (c >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) return std::string(cp932);
    thread_local Converter fwd("UTF-8", "CP932");
    return fwd.Run(cp932);
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
    bool ascii = true;
    for (unsigned char c : utf8) {
        if (c >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) return std::string(utf8);
    // A name read from disk must lead back to the same file: a character whose CP932 form
    // converts back to another character would make the item point at a different name.
    thread_local Converter fwd("CP932", "UTF-8");
    thread_local Converter back("UTF-8", "CP932");
    return RoundTripChecked(fwd, back, utf8);
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
    if (auto u = Cp932ToUtf8(cp932)) return *u;
    return EscapeBytes(cp932);
}

}  // namespace dov
