#include "common/profile.h"

#include <cerrno>
#include <iterator>

#include "common/fs.h"
#include "common/sjis.h"

namespace dov {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

char FoldAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Whether a value must be quoted to read back as written.
bool NeedsQuotes(std::string_view v) {
    if (v.empty()) return false;
    if (IsBlank(v.front()) || IsBlank(v.back())) return true;
    return v.size() >= 2 && v.front() == '"' && v.back() == '"';
}

}  // namespace

bool CProfile::NamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    std::size_t i = 0;
    while (i < a.size()) {
        std::size_t la = SjisCharLen(a, i);
        std::size_t lb = SjisCharLen(b, i);
        if (la != lb) return false;
        if (la > 1) {
            if (a.substr(i, la) != b.substr(i, la)) return false;
        } else if (FoldAscii(a[i]) != FoldAscii(b[i])) {
            return false;
        }
        i += la;
    }
    return true;
}

std::int32_t CProfile::ParseLeadingInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool neg = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        neg = text[i] == '-';
        ++i;
    }
    std::uint32_t v = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        v = v * 10u + static_cast<std::uint32_t>(text[i] - '0');
        ++i;
    }
    if (neg) v = 0u - v;
    return static_cast<std::int32_t>(v);
}

void CProfile::Parse(std::string_view text) {
    sections_.clear();
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        std::string_view line =
            text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        pos = end == std::string_view::npos ? text.size() : end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

        std::string_view t = Trim(line);
        if (!t.empty() && t.front() == '[') {
            std::size_t close = t.find(']');
            if (close != std::string_view::npos) {
                Section s;
                s.name = std::string(Trim(t.substr(1, close - 1)));
                sections_.push_back(std::move(s));
                continue;
            }
        }
        if (sections_.empty()) {
            Section s;
            s.headerless = true;
            sections_.push_back(std::move(s));
        }
        Line l;
        std::size_t eq = t.find('=');
        if (t.empty() || t.front() == ';' || eq == std::string_view::npos || eq == 0) {
            l.isRaw = true;
            l.raw = std::string(line);
        } else {
            l.key = std::string(Trim(t.substr(0, eq)));
            std::string_view v = Trim(t.substr(eq + 1));
            if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
            l.value = std::string(v);
        }
        sections_.back().lines.push_back(std::move(l));
    }
}

std::string CProfile::Text() const {
    std::string out;
    for (const Section& s : sections_) {
        if (!s.headerless) out += "[" + s.name + "]\r\n";
        for (const Line& l : s.lines) {
            if (l.isRaw) {
                out += l.raw;
            } else if (NeedsQuotes(l.value)) {
                out += l.key + "=\"" + l.value + "\"";
            } else {
                out += l.key + "=" + l.value;
            }
            out += "\r\n";
        }
    }
    return out;
}

int CProfile::Load(const std::string& path) {
    sections_.clear();
    std::string data;
    int e = ReadWholeFile(path, data);
    if (e) return e;
    Parse(data);
    return 0;
}

int CProfile::Save(const std::string& path) const {
    return WriteFileAtomically(path, Text());
}

const CProfile::Line* CProfile::Find(std::string_view section, std::string_view key) const {
    // The first matching section and key win, as they do for the Windows reader.
    for (const Section& s : sections_) {
        if (s.headerless || !NamesEqual(s.name, section)) continue;
        for (const Line& l : s.lines)
            if (!l.isRaw && NamesEqual(l.key, key)) return &l;
    }
    return nullptr;
}

bool CProfile::HasKey(std::string_view section, std::string_view key) const {
    return Find(section, key) != nullptr;
}

std::string CProfile::GetString(std::string_view section, std::string_view key,
                                std::string_view def) const {
    const Line* l = Find(section, key);
    return l ? l->value : std::string(def);
}

std::int32_t CProfile::GetInt(std::string_view section, std::string_view key,
                              std::int32_t def) const {
    const Line* l = Find(section, key);
    return l ? ParseLeadingInt(l->value) : def;
}

CProfile::Section& CProfile::SectionFor(std::string_view section) {
    for (Section& s : sections_)
        if (!s.headerless && NamesEqual(s.name, section)) return s;
    Section s;
    s.name = std::string(section);
    sections_.push_back(std::move(s));
    return sections_.back();
}

bool CProfile::SetString(std::string_view section, std::string_view key, std::string_view value) {
    if (value.find_first_of("\r\n") != std::string_view::npos) return false;
    for (Section& s : sections_) {
        if (s.headerless || !NamesEqual(s.name, section)) continue;
        for (Line& l : s.lines) {
            if (!l.isRaw && NamesEqual(l.key, key)) {
                l.value = std::string(value);
                return true;
            }
        }
    }
    Section& s = SectionFor(section);
    Line l;
    l.key = std::string(key);
    l.value = std::string(value);
    // Keep trailing blank lines of the section after the new key.
    auto at = s.lines.end();
    while (at != s.lines.begin() && std::prev(at)->isRaw && Trim(std::prev(at)->raw).empty()) --at;
    s.lines.insert(at, std::move(l));
    return true;
}

void CProfile::SetInt(std::string_view section, std::string_view key, std::int32_t value) {
    SetString(section, key, std::to_string(value));
}

}  // namespace dov
