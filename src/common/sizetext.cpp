#include "common/sizetext.h"

std::string FormatSize64(std::uint32_t high, std::uint32_t low) {
    return std::to_string((static_cast<std::uint64_t>(high) << 32) | low);
}

std::string InsertComma(const std::string& digits) {
    const std::size_t len = digits.size();
    std::size_t commas = len / 3;
    if (len % 3 == 0 && commas > 0) --commas;
    std::string out;
    out.reserve(len + commas);
    // Copy from the right; after every third digit a comma goes before it while commas remain.
    std::size_t copied = 0;
    for (std::size_t i = len; i-- > 0;) {
        if (copied > 0 && copied % 3 == 0 && commas > 0) {
            out.push_back(',');
            --commas;
        }
        out.push_back(digits[i]);
        ++copied;
    }
    return std::string(out.rbegin(), out.rend());
}
