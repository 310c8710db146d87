// libFuzzer target for the INI reader: any bytes parse; the text written back parses to the
// same profile; a value set through the profile (any bytes but a line break) reads back the
// same, also after the profile has been written to a file and loaded again.
//
// Input layout: byte 0 picks the section, byte 1 the key, byte 2 the length of the value (taken
// modulo what is left), then the value, then the INI text.
//
// Run by hand:
//   ./profile_fuzz -max_len=4096 corpus_dir
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>

#include "common/profile.h"
#include "common/trace.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

std::string g_dir;

// Section and key names as the program uses them, with case variants and double-byte names
// (the second byte of \x83\x41 is 'A', of \x83\x61 'a': they must stay different keys).
constexpr std::string_view kSections[] = {"KeyWord",          "keyword", "Serial", "Window",
                                          "\x90\xdd\x92\xe8", "Macro",   "S",      ""};
constexpr std::string_view kKeys[] = {"Key1",     "KEY1",     "UseWildCard", "Left",
                                      "\x83\x41", "\x83\x61", "Path",        "x"};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    dov::SetTraceEnabled(false);
    char tmpl[] = "/tmp/dovreth_profile_fuzz_XXXXXX";
    const char* dir = ::mkdtemp(tmpl);
    if (!dir) std::abort();
    g_dir = dir;
    std::atexit([] {
        std::remove((g_dir + "/p.ini").c_str());
        ::rmdir(g_dir.c_str());
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const std::string_view section = kSections[data[0] % std::size(kSections)];
    const std::string_view key = kKeys[data[1] % std::size(kKeys)];
    const std::size_t rest = size - 3;
    const std::size_t vlen = data[2] % (rest + 1);
    const std::string value(reinterpret_cast<const char*>(data) + 3, vlen);
    const std::string_view text(reinterpret_cast<const char*>(data) + 3 + vlen, rest - vlen);

    // Parse, write, parse again: the same profile.
    dov::CProfile p1;
    p1.Parse(text);
    const std::string t1 = p1.Text();
    dov::CProfile p2;
    p2.Parse(t1);
    Check(p2.Text() == t1);
    for (std::string_view s : kSections) {
        for (std::string_view k : kKeys) {
            Check(p1.HasKey(s, k) == p2.HasKey(s, k));
            Check(p1.GetString(s, k, "?") == p2.GetString(s, k, "?"));
        }
    }

    // A value set reads back as set, before and after a round trip through the text and the
    // file; the other keys keep their values.
    const std::string before = p1.GetString("Other", "Key1", "?");
    const bool hasBreak = value.find_first_of("\r\n") != std::string::npos;
    const bool set = p1.SetString(section, key, value);
    Check(set == !hasBreak);
    if (!set) {
        Check(p1.Text() == t1);
        return 0;
    }
    Check(p1.GetString(section, key) == value);
    Check(p1.GetString("Other", "Key1", "?") == before);
    dov::CProfile p3;
    p3.Parse(p1.Text());
    Check(p3.GetString(section, key) == value);
    Check(p3.GetString("Other", "Key1", "?") == before);

    const std::string path = g_dir + "/p.ini";
    Check(p1.Save(path) == 0);
    dov::CProfile p4;
    Check(p4.Load(path) == 0);
    Check(p4.Text() == p1.Text());
    Check(p4.GetString(section, key) == value);

    // Integers survive too.
    const std::int32_t n = static_cast<std::int32_t>(std::hash<std::string>{}(value));
    p4.SetInt(section, key, n);
    dov::CProfile p5;
    p5.Parse(p4.Text());
    Check(p5.GetInt(section, key, 0) == n);
    return 0;
}
