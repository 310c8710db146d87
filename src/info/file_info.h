// What a file holds about itself: the photo's Exif data and the audio tags.
//
// A file is read through the file-system layer (relative to the loaded folders' handles,
// without following links, regular files only) into memory, at most ReadLimits::maxBytes and
// for at most ReadLimits::maxTime, and the buffer is handed to Exiv2 (a memory image) and
// TagLib (a byte-vector stream): neither library opens a path. For a JPEG whose Exif is all
// that is wanted, only the head of the file is read first (the Exif segment comes before the
// image data); the rest is read only when the head alone cannot be parsed.
//
// Anything that goes wrong (a file that cannot be opened, is bigger than the cap, reads too
// slowly, or that the parsers refuse) leaves the fields out: the file has "no information",
// the caller goes on. Parser exceptions never leave this module.
//
// Field values are CP932. Texts from the tags come through the code-page bridge; numbers are
// decimal; exif.date is kept as Exif writes it ("YYYY:MM:DD HH:MM:SS") and only when it is a
// real date.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace dov {

// Which readers to run.
enum InfoKind : unsigned {
    kInfoExif = 1,  // exif.date, exif.model, exif.width, exif.height
    kInfoTags = 2,  // tag.artist, tag.album, tag.title, tag.track, tag.year
};

// How a reader's pass over one file ended.
enum class InfoRead {
    NotRead,  // not asked for
    Ok,       // parsed (fields may still be missing)
    NoFile,   // could not be opened (gone, not a regular file, a link, no access)
    TooBig,   // larger than the size cap
    TooSlow,  // the time cap ran out while reading
    Stopped,  // STOP while reading
    Damaged,  // the parser refused it
};

struct ReadLimits {
    std::uint64_t maxBytes = 64ull << 20;  // a bigger file gives no information
    std::chrono::milliseconds maxTime{5000};
    std::size_t jpegHead = 128u << 10;  // first read of a JPEG when only Exif is wanted
};

struct FileInfo {
    unsigned kindsRead = 0;  // InfoKind bits that have been tried
    InfoRead exif = InfoRead::NotRead;
    InfoRead tags = InfoRead::NotRead;
    std::vector<std::pair<std::string, std::string>> fields;  // name, CP932 value

    // The value of a field, or null when the file lacks it.
    const std::string* Find(std::string_view name) const;
    void Set(std::string name, std::string value);
};

// Reads the kinds asked for (those not in info.kindsRead yet) from a file (CP932 path) and adds
// their fields to info. stop, when given, is polled between the reads of a large file.
void ReadFileInfo(const std::string& path, unsigned kinds, FileInfo& info,
                  const ReadLimits& limits = {}, const std::function<bool()>& stop = {});

// The parsers over a buffer (the reader and the fuzz target use these). Each returns how it
// ended and adds what it found.
InfoRead ParseExif(const unsigned char* data, std::size_t size, FileInfo& info);
InfoRead ParseTags(const unsigned char* data, std::size_t size, FileInfo& info);

// "YYYY:MM:DD HH:MM:SS" (or with '-' in the date) as broken-down time; false when it is not a
// real date and time.
bool ParseExifDate(std::string_view text, struct std::tm& out);

// UTF-8 text from a tag in CP932 through the bridge; a character that cannot be held becomes
// '_', and so does every byte of text that is not UTF-8.
std::string TagTextToCp932(std::string_view utf8);

}  // namespace dov
