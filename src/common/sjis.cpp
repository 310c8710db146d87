#include "common/sjis.h"

namespace {
// A byte that can be neither half of a double-byte character ('/', '.', ...) is a character of
// its own wherever it stands, so the plain byte search gives the stepping scan's answer.
bool StandsAlone(char c) {
    const auto u = static_cast<unsigned char>(c);
    return !IsSjisLeadByte(u) && !IsSjisTrailByte(u);
}
}  // namespace

int FindCharDbcs(std::string_view s, char c) {
    if (StandsAlone(c)) {
        const std::size_t at = s.find(c);
        return at == std::string_view::npos ? -1 : static_cast<int>(at);
    }
    for (std::size_t p = 0; p < s.size(); p += SjisCharLen(s, p)) {
        if (SjisCharLen(s, p) == 1 && s[p] == c) return static_cast<int>(p);
    }
    return -1;
}

int FindLastCharDbcs(std::string_view s, char c) {
    if (StandsAlone(c)) {
        const std::size_t at = s.rfind(c);
        return at == std::string_view::npos ? -1 : static_cast<int>(at);
    }
    int last = -1;
    for (std::size_t p = 0; p < s.size(); p += SjisCharLen(s, p)) {
        if (SjisCharLen(s, p) == 1 && s[p] == c) last = static_cast<int>(p);
    }
    return last;
}

int FindDbcsChar(std::string_view s, int p) {
    if (p < 0) return -1;
    for (int q = p; q <= p + 1; ++q) {
        if (static_cast<std::size_t>(q) >= s.size()) break;
        if (SjisCharLen(s, static_cast<std::size_t>(q)) > 1) return q;
    }
    return -1;
}

bool IsLeadByteAt(std::string_view s, int offset) {
    if (offset < 0 || static_cast<std::size_t>(offset) >= s.size()) return false;
    std::size_t p = 0;
    while (p < static_cast<std::size_t>(offset)) p += SjisCharLen(s, p);
    return p == static_cast<std::size_t>(offset) && SjisCharLen(s, p) > 1;
}

std::size_t SjisSafePrefixLen(std::string_view s, std::size_t n) {
    if (n >= s.size()) return s.size();
    std::size_t p = 0;
    while (p < n) {
        std::size_t len = SjisCharLen(s, p);
        if (p + len > n) break;
        p += len;
    }
    return p;
}
