// libFuzzer target for the name bridge between the disk and the CP932 inside.
//
// The input, cut to 255 bytes with every '/' and NUL dropped, is a name a Linux disk can hold:
// it must convert to CP932 and back to the same bytes, and every character of the CP932 form
// must be whole (a pair is one 4-byte character, never split). The input taken as CP932 text
// must convert or be refused without harm; what converts must come back as the same CP932.
//
// Run by hand:
//   ./bridge_fuzz -max_len=300 corpus_dir
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/codepage.h"
#include "common/sjis.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view in(reinterpret_cast<const char*>(data), size);
    std::string name;
    for (char c : in) {
        if (c != '/' && c != '\0' && name.size() < 255) name += c;
    }
    const auto cp = dov::Utf8ToCp932(name);
    if (!cp) std::abort();
    const auto back = dov::Cp932ToUtf8(*cp);
    if (!back || *back != name) std::abort();
    const auto values = dov::Cp932ToValues(*cp);
    if (!values || dov::ValuesToCp932(*values) != *cp) std::abort();
    for (std::size_t p = 0; p < cp->size();) {
        const std::size_t len = SjisCharLen(*cp, p);
        // A character of the disk is 1, 2 or 4 bytes inside, and the cut before it is clean.
        if (len == 0 || len == 3 || SjisSafePrefixLen(*cp, p) != p) std::abort();
        p += len;
    }

    if (const auto disk = dov::Cp932ToUtf8(in)) {
        const auto again = dov::Utf8ToCp932(*disk);
        if (!again || dov::Cp932ToUtf8(*again) != *disk) std::abort();
    }
    (void)dov::DisplayUtf8(in);
    return 0;
}
