#include "common/sjis.h"

int FindCharDbcs(std::string_view s, char c) {
    for (std::size_t p = 0; p < s.size(); p += SjisCharLen(s, p)) {
        if (SjisCharLen(s, p) == 1 && s[p] == c) return static_cast<int>(p);
    }
    return -1;
}

int FindLastCharDbcs(std::string_view s, char c) {
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
        if (SjisCharLen(s, static_cast<std::size_t>(q)) == 2) return q;
    }
    return -1;
}

bool IsLeadByteAt(std::string_view s, int offset) {
    if (offset < 0 || static_cast<std::size_t>(offset) >= s.size()) return false;
    std::size_t p = 0;
    while (p < static_cast<std::size_t>(offset)) p += SjisCharLen(s, p);
    return p == static_cast<std::size_t>(offset) && SjisCharLen(s, p) == 2;
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
