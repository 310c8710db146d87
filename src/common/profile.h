// The INI profile: sections of "key=value" lines, read and written with the rules the
// settings file has always followed.
//
// - Section and key names match without regard to ASCII letter case (double-byte characters
//   are compared whole, so a trail byte that happens to be a letter is never folded).
// - A missing key gives the caller's default.
// - An integer value is its leading integer: blanks, an optional sign, decimal digits; text
//   without digits reads as 0; values wrap to 32 bits (colours are stored as signed decimals).
// - Values are trimmed of blanks; one pair of enclosing double quotes is removed. A value that
//   would otherwise lose blanks or quotes on reading is written quoted.
// - Text is CP932 throughout; lines are written with CR LF and read with CR LF or LF.
// - Lines that are not sections or keys (comments, blank lines) are kept as they are.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dov {

class CProfile {
  public:
    // Replaces the contents with a file's; a missing or unreadable file leaves the profile
    // empty. Returns 0 or the errno of reading (ENOENT for a missing file).
    int Load(const std::string& path);

    // Writes the whole profile (safely: an older file stays intact on failure); 0 or errno.
    int Save(const std::string& path) const;

    // Replaces the contents with an INI text / gives the INI text with CR LF line ends.
    void Parse(std::string_view text);
    std::string Text() const;

    bool HasKey(std::string_view section, std::string_view key) const;
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view def = {}) const;
    std::int32_t GetInt(std::string_view section, std::string_view key, std::int32_t def) const;

    // Sets a value, keeping the position of an existing key (appended to its section, or a
    // new section at the end, otherwise). A value with CR or LF cannot be kept on one line:
    // it is refused (false) and the profile is left unchanged.
    bool SetString(std::string_view section, std::string_view key, std::string_view value);
    void SetInt(std::string_view section, std::string_view key, std::int32_t value);

    // The leading integer of a text, by the profile rule.
    static std::int32_t ParseLeadingInt(std::string_view text);
    // ASCII case-insensitive equality that steps over double-byte characters.
    static bool NamesEqual(std::string_view a, std::string_view b);

  private:
    struct Line {
        std::string key;    // empty for a raw line
        std::string value;  // the value as read (unquoted) or as set
        std::string raw;    // the text of a raw line (comment, blank, unparsable)
        bool isRaw = false;
    };
    struct Section {
        std::string name;
        bool headerless = false;  // lines before the first section header
        std::vector<Line> lines;
    };
    const Line* Find(std::string_view section, std::string_view key) const;
    Section& SectionFor(std::string_view section);

    std::vector<Section> sections_;
};

}  // namespace dov
