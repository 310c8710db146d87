// Naming templates: plain text with fields taken from each file.
//
//   {name}            the field's value
//   {name:format}     dates: a strftime format; numbers: a width, padded with zeros ("02")
//   {a|b:fmt|c}       the first of the fields the file has
//   {{                a literal "{" (a "}" outside a field is plain text)
//
// Fields: mtime, exif.date, exif.model, exif.width, exif.height, tag.artist, tag.album,
// tag.title, tag.track, tag.year, parent. A field whose first choice the file lacks marks the
// expansion as incomplete ("no information"), even when a later choice fills it in; with no
// choice left it expands to nothing.
//
// Every value a field gives is made usable in a name: the characters a name cannot hold
// (\ / : , ; * ? < > |) become their full-width counterparts (＼ ／ ： ， ； ＊ ？ ＜ ＞ ｜), and
// control characters become spaces. Templates and results are CP932.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "info/file_info.h"

namespace dov {

// What a template can take from one item besides its file's contents.
struct InfoSource {
    const FileInfo* file = nullptr;  // null: nothing was read
    bool hasMtime = false;
    std::int64_t mtime = 0;  // seconds since 1970, shown in local time
    std::string parent;      // the name of the folder holding the item (CP932)
};

class InfoTemplate {
  public:
    // A template, or nullopt with *error set to a message for the user (CP932).
    static std::optional<InfoTemplate> Parse(const std::string& text, std::string* error);

    // The InfoKind bits the fields need read from the file (0: no file is read).
    unsigned Kinds() const { return kinds_; }
    // The field names used, in order of appearance, each once.
    std::vector<std::string> FieldNames() const;

    struct Expansion {
        std::string text;
        bool complete = true;  // false: some field's first choice was missing
    };
    Expansion Expand(const InfoSource& src) const;

  private:
    struct Choice {
        std::string name;
        std::string format;
        bool hasFormat = false;
    };
    struct Piece {
        std::string text;             // plain text when choices is empty
        std::vector<Choice> choices;  // a field
    };
    std::vector<Piece> pieces_;
    unsigned kinds_ = 0;
};

// The field names a template can use, with their Japanese descriptions (UTF-8), in the order
// the help lists them.
struct InfoFieldHelp {
    const char* name;
    const char* label;
};
const std::vector<InfoFieldHelp>& InfoFieldList();

// One field's value for an item as a template would give it with no format; nullopt when the
// item lacks it.
std::optional<std::string> InfoFieldValue(const InfoSource& src, const std::string& name,
                                          const std::string* format = nullptr);

// A value made usable in a name (see above).
std::string MakeNameSafe(const std::string& cp932);

}  // namespace dov
