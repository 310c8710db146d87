#include "info/info_template.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "common/codepage.h"
#include "common/sjis.h"

namespace dov {

namespace {

enum class FieldType { Date, Number, Text };

struct FieldDef {
    const char* name;
    FieldType type;
    unsigned kind;  // InfoKind bit, 0 for what the item itself knows
    const char* label;
};

const FieldDef kFields[] = {
    {"exif.date", FieldType::Date, kInfoExif, "撮影日時"},
    {"exif.model", FieldType::Text, kInfoExif, "カメラの機種"},
    {"exif.width", FieldType::Number, kInfoExif, "画像の幅（画素）"},
    {"exif.height", FieldType::Number, kInfoExif, "画像の高さ（画素）"},
    {"tag.artist", FieldType::Text, kInfoTags, "アーティスト"},
    {"tag.album", FieldType::Text, kInfoTags, "アルバム"},
    {"tag.title", FieldType::Text, kInfoTags, "曲名"},
    {"tag.track", FieldType::Number, kInfoTags, "トラック番号"},
    {"tag.year", FieldType::Number, kInfoTags, "年"},
    {"mtime", FieldType::Date, 0, "更新日時"},
    {"parent", FieldType::Text, 0, "親フォルダ名"},
};

const FieldDef* FindField(const std::string& name) {
    for (const FieldDef& f : kFields)
        if (name == f.name) return &f;
    return nullptr;
}

constexpr const char* kDefaultDate = "%Y%m%d_%H%M%S";

std::string FormatDate(const std::tm& tm, const std::string& format) {
    if (format.empty()) return {};
    char buf[512];
    const std::size_t n = std::strftime(buf, sizeof buf, format.c_str(), &tm);
    return std::string(buf, n);
}

std::string FormatNumber(const std::string& value, const std::string& width) {
    std::string out = value;
    const std::size_t w = width.empty() ? 0 : static_cast<std::size_t>(std::stoi(width));
    if (out.size() < w) out.insert(0, w - out.size(), '0');
    return out;
}

std::string Msg(const char* utf8, const std::string& cp932Detail = {}) {
    return Sj(utf8) + cp932Detail;
}

}  // namespace

std::string MakeNameSafe(const std::string& s) {
    static const char kRefused[] = "\\/:,;*?<>|";
    static const char* const kFull[] = {"＼", "／", "：", "，", "；", "＊", "？", "＜", "＞", "｜"};
    std::string out;
    out.reserve(s.size());
    for (std::size_t p = 0; p < s.size();) {
        const std::size_t len = SjisCharLen(s, p);
        const unsigned char c = static_cast<unsigned char>(s[p]);
        if (len == 1 && c != 0) {
            if (const char* hit = std::strchr(kRefused, c)) {
                out += Sj(kFull[hit - kRefused]);
            } else if (c < 0x20 || c == 0x7F) {
                out += ' ';
            } else {
                out += static_cast<char>(c);
            }
        } else if (len == 2) {
            out.append(s, p, 2);
        }
        p += len;
    }
    return out;
}

const std::vector<InfoFieldHelp>& InfoFieldList() {
    static const std::vector<InfoFieldHelp> list = [] {
        std::vector<InfoFieldHelp> v;
        for (const FieldDef& f : kFields) v.push_back({f.name, f.label});
        return v;
    }();
    return list;
}

std::optional<InfoTemplate> InfoTemplate::Parse(const std::string& text, std::string* error) {
    const auto failed = [&](std::string msg) -> std::optional<InfoTemplate> {
        if (error) *error = std::move(msg);
        return std::nullopt;
    };
    if (text.empty()) return failed(Msg("テンプレートが空です。"));
    InfoTemplate t;
    std::string plain;
    const auto flush = [&] {
        if (!plain.empty()) t.pieces_.push_back(Piece{std::move(plain), {}});
        plain.clear();
    };
    for (std::size_t p = 0; p < text.size();) {
        const std::size_t len = SjisCharLen(text, p);
        if (len != 1 || text[p] != '{') {
            plain.append(text, p, len);
            p += len;
            continue;
        }
        if (p + 1 < text.size() && text[p + 1] == '{') {
            plain += '{';
            p += 2;
            continue;
        }
        // A field: choices separated by '|' up to the closing '}'.
        std::size_t q = p + 1;
        Piece field;
        Choice cur;
        bool inFormat = false, closed = false;
        while (q < text.size()) {
            const std::size_t l = SjisCharLen(text, q);
            const char c = text[q];
            if (l == 1 && (c == '}' || c == '|')) {
                field.choices.push_back(std::move(cur));
                cur = Choice{};
                inFormat = false;
                ++q;
                if (c == '}') {
                    closed = true;
                    break;
                }
                continue;
            }
            if (l == 1 && c == ':' && !inFormat) {
                inFormat = true;
                cur.hasFormat = true;
            } else if (inFormat) {
                cur.format.append(text, q, l);
            } else {
                cur.name.append(text, q, l);
            }
            q += l;
        }
        if (!closed) return failed(Msg("テンプレートの { が } で閉じられていません。"));
        for (const Choice& ch : field.choices) {
            const FieldDef* def = FindField(ch.name);
            if (ch.name.empty()) return failed(Msg("テンプレートに項目名のない { } があります。"));
            if (!def) return failed(Msg("テンプレートに知らない項目があります：", ch.name));
            if (ch.hasFormat) {
                bool ok = !ch.format.empty();
                if (def->type == FieldType::Text) ok = false;
                if (def->type == FieldType::Number)
                    ok = ok && ch.format.size() <= 2 &&
                         ch.format.find_first_not_of("0123456789") == std::string::npos;
                if (!ok)
                    return failed(
                        Msg("テンプレートの書式が正しくありません：", ch.name + ":" + ch.format));
            }
            t.kinds_ |= def->kind;
        }
        flush();
        t.pieces_.push_back(std::move(field));
        p = q;
    }
    flush();
    return t;
}

std::vector<std::string> InfoTemplate::FieldNames() const {
    std::vector<std::string> names;
    for (const Piece& piece : pieces_)
        for (const Choice& ch : piece.choices)
            if (std::find(names.begin(), names.end(), ch.name) == names.end())
                names.push_back(ch.name);
    return names;
}

std::optional<std::string> InfoFieldValue(const InfoSource& src, const std::string& name,
                                          const std::string* format) {
    const FieldDef* def = FindField(name);
    if (!def) return std::nullopt;
    const std::string fmt = format ? *format : std::string();
    if (name == "mtime") {
        if (!src.hasMtime) return std::nullopt;
        const time_t t = static_cast<time_t>(src.mtime);
        std::tm tm{};
        if (!localtime_r(&t, &tm)) return std::nullopt;
        return FormatDate(tm, format ? fmt : kDefaultDate);
    }
    if (name == "parent") {
        if (src.parent.empty()) return std::nullopt;
        return src.parent;
    }
    const std::string* v = src.file ? src.file->Find(name) : nullptr;
    if (!v) return std::nullopt;
    switch (def->type) {
        case FieldType::Date: {
            std::tm tm{};
            if (!ParseExifDate(*v, tm)) return std::nullopt;
            return FormatDate(tm, format ? fmt : kDefaultDate);
        }
        case FieldType::Number:
            return FormatNumber(*v, fmt);
        case FieldType::Text:
            break;
    }
    return *v;
}

InfoTemplate::Expansion InfoTemplate::Expand(const InfoSource& src) const {
    Expansion e;
    for (const Piece& piece : pieces_) {
        if (piece.choices.empty()) {
            e.text += piece.text;
            continue;
        }
        for (std::size_t i = 0; i < piece.choices.size(); ++i) {
            const Choice& ch = piece.choices[i];
            auto v = InfoFieldValue(src, ch.name, ch.hasFormat ? &ch.format : nullptr);
            if (v) {
                e.text += MakeNameSafe(*v);
                break;
            }
            if (i == 0) e.complete = false;
        }
    }
    return e;
}

}  // namespace dov
