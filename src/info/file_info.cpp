#include "info/file_info.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>

#include "common/codepage.h"
#include "common/fs.h"

// Exiv2 0.27 hands its images out in std::auto_ptr.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/tdebuglistener.h>

#include <exiv2/exiv2.hpp>
#include <exiv2/webpimage.hpp>

namespace dov {

namespace {

class SilentTagLib : public TagLib::DebugListener {
  public:
    void printMessage(const TagLib::String&) override {}
};

// The libraries write their warnings about damaged files to stderr; a bulk read of a folder
// must not. Exiv2's XMP parser wants one initialisation before any thread uses it.
void SetUpLibraries() {
    static std::once_flag once;
    std::call_once(once, [] {
        static SilentTagLib silent;
        TagLib::setDebugListener(&silent);
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize();
    });
}

std::string Trimmed(std::string s) {
    const auto keep = [](char c) {
        return c != ' ' && c != '\0' && c != '\t' && c != '\r' && c != '\n';
    };
    std::size_t b = 0, e = s.size();
    while (b < e && !keep(s[b])) ++b;
    while (e > b && !keep(s[e - 1])) --e;
    return s.substr(b, e - b);
}

void SetText(FileInfo& info, const char* name, const std::string& utf8) {
    std::string t = Trimmed(utf8);
    if (!t.empty()) info.Set(name, TagTextToCp932(t));
}

void SetNumber(FileInfo& info, const char* name, long long v) {
    if (v > 0) info.Set(name, std::to_string(v));
}

bool IsJpeg(const std::string& head) {
    return head.size() >= 3 && static_cast<unsigned char>(head[0]) == 0xFF &&
           static_cast<unsigned char>(head[1]) == 0xD8 &&
           static_cast<unsigned char>(head[2]) == 0xFF;
}

// Reads up to `upTo` bytes in total into buf; the read ends early at the end of the file.
InfoRead ReadMore(IFile& f, std::string& buf, std::size_t upTo,
                  std::chrono::steady_clock::time_point deadline,
                  const std::function<bool()>& stop) {
    constexpr std::size_t kChunk = 256u << 10;
    while (buf.size() < upTo) {
        if (std::chrono::steady_clock::now() > deadline) return InfoRead::TooSlow;
        if (stop && stop()) return InfoRead::Stopped;
        const std::size_t at = buf.size();
        const std::size_t want = std::min(kChunk, upTo - at);
        buf.resize(at + want);
        const long long n = f.Read(buf.data() + at, want);
        if (n <= 0) {
            buf.resize(at);
            return n < 0 ? InfoRead::NoFile : InfoRead::Ok;
        }
        buf.resize(at + static_cast<std::size_t>(n));
    }
    return InfoRead::Ok;
}

// The photo formats whose Exif is read. Exiv2's video readers (ASF, RIFF, Matroska,
// QuickTime) can loop for minutes on a damaged file and have no date taken to offer, so a
// buffer of any other type is never handed to Exiv2's readers.
bool IsPhotoType(int type) {
    namespace T = Exiv2::ImageType;
    for (int ok : {T::jpeg, T::exv, T::cr2, T::crw, T::tiff, T::mrw, T::orf, T::png, T::raf, T::rw2,
                   T::webp, T::jp2, T::psd, T::pgf})
        if (type == ok) return true;
    return false;
}

const unsigned char* Bytes(const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

}  // namespace

const std::string* FileInfo::Find(std::string_view name) const {
    for (const auto& [n, v] : fields)
        if (n == name) return &v;
    return nullptr;
}

void FileInfo::Set(std::string name, std::string value) {
    for (auto& [n, v] : fields) {
        if (n == name) {
            v = std::move(value);
            return;
        }
    }
    fields.emplace_back(std::move(name), std::move(value));
}

bool ParseExifDate(std::string_view text, std::tm& out) {
    // "YYYY:MM:DD HH:MM:SS"; cameras that never had their clock set write zeros or blanks.
    if (text.size() < 19) return false;
    int v[6] = {};
    static constexpr int kAt[6] = {0, 5, 8, 11, 14, 17};
    static constexpr int kLen[6] = {4, 2, 2, 2, 2, 2};
    for (int i = 0; i < 6; ++i) {
        for (int k = 0; k < kLen[i]; ++k) {
            const char c = text[static_cast<std::size_t>(kAt[i] + k)];
            if (c < '0' || c > '9') return false;
            v[i] = v[i] * 10 + (c - '0');
        }
    }
    const auto sep = [&](std::size_t p, const char* ok) { return std::strchr(ok, text[p]); };
    if (!sep(4, ":-") || !sep(7, ":-") || !sep(10, " T") || !sep(13, ":") || !sep(16, ":"))
        return false;
    if (v[0] < 1 || v[1] < 1 || v[1] > 12 || v[2] < 1 || v[2] > 31 || v[3] > 23 || v[4] > 59 ||
        v[5] > 60)
        return false;
    std::tm tm{};
    tm.tm_year = v[0] - 1900;
    tm.tm_mon = v[1] - 1;
    tm.tm_mday = v[2];
    tm.tm_hour = v[3];
    tm.tm_min = v[4];
    tm.tm_sec = v[5];
    // Normalising fills the weekday and the day of the year; a 31st of February moves on and
    // is refused.
    std::tm check = tm;
    const time_t t = timegm(&check);
    if (t == static_cast<time_t>(-1) && v[0] != 1969) return false;
    if (check.tm_mday != tm.tm_mday || check.tm_mon != tm.tm_mon) return false;
    out = check;
    return true;
}

std::string TagTextToCp932(std::string_view utf8) {
    if (auto whole = Utf8ToCp932(utf8)) return *whole;
    // Character by character: what the bridge cannot hold becomes '_'.
    std::string out;
    for (std::size_t p = 0; p < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[p]);
        std::size_t len = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        if (p + len > utf8.size()) len = 1;
        auto one = Utf8ToCp932(utf8.substr(p, len));
        out += one ? *one : std::string("_");
        p += len;
    }
    return out;
}

InfoRead ParseExif(const unsigned char* data, std::size_t size, FileInfo& info) {
    SetUpLibraries();
    if (size == 0 || size > static_cast<std::size_t>(LONG_MAX)) return InfoRead::Damaged;
    try {
        if (!IsPhotoType(Exiv2::ImageFactory::getType(data, static_cast<long>(size))))
            return InfoRead::Damaged;
        // open() finds the same type again: the first reader that takes the bytes.
        auto image = Exiv2::ImageFactory::open(data, static_cast<long>(size));
        if (!image.get()) return InfoRead::Damaged;
        image->readMetadata();
        const Exiv2::ExifData& exif = image->exifData();
        const auto text = [&](const char* key) -> std::string {
            auto it = exif.findKey(Exiv2::ExifKey(key));
            return it == exif.end() ? std::string() : Trimmed(it->toString());
        };
        const auto number = [&](const char* key) -> long long {
            auto it = exif.findKey(Exiv2::ExifKey(key));
            if (it == exif.end() || it->count() < 1) return 0;
            return it->toLong(0);
        };
        std::tm tm{};
        for (const char* key : {"Exif.Photo.DateTimeOriginal", "Exif.Photo.DateTimeDigitized"}) {
            const std::string d = text(key);
            if (ParseExifDate(d, tm)) {
                char buf[20];
                std::strftime(buf, sizeof buf, "%Y:%m:%d %H:%M:%S", &tm);
                info.Set("exif.date", buf);
                break;
            }
        }
        SetText(info, "exif.model", text("Exif.Image.Model"));
        long long w = number("Exif.Photo.PixelXDimension");
        long long h = number("Exif.Photo.PixelYDimension");
        if (w <= 0 || h <= 0) {
            w = image->pixelWidth();
            h = image->pixelHeight();
        }
        SetNumber(info, "exif.width", w);
        SetNumber(info, "exif.height", h);
        return InfoRead::Ok;
    } catch (...) {
        return InfoRead::Damaged;
    }
}

InfoRead ParseTags(const unsigned char* data, std::size_t size, FileInfo& info) {
    SetUpLibraries();
    if (size == 0 || size > 0x7FFFFFFFu) return InfoRead::Damaged;
    try {
        TagLib::ByteVector bytes(reinterpret_cast<const char*>(data),
                                 static_cast<unsigned int>(size));
        TagLib::ByteVectorStream stream(bytes);
        TagLib::FileRef ref(&stream, false);
        if (ref.isNull() || !ref.tag()) return InfoRead::Damaged;
        const TagLib::Tag* tag = ref.tag();
        SetText(info, "tag.artist", tag->artist().to8Bit(true));
        SetText(info, "tag.album", tag->album().to8Bit(true));
        SetText(info, "tag.title", tag->title().to8Bit(true));
        SetNumber(info, "tag.track", tag->track());
        SetNumber(info, "tag.year", tag->year());
        return InfoRead::Ok;
    } catch (...) {
        return InfoRead::Damaged;
    }
}

void ReadFileInfo(const std::string& path, unsigned kinds, FileInfo& info, const ReadLimits& limits,
                  const std::function<bool()>& stop) {
    kinds &= (kInfoExif | kInfoTags) & ~info.kindsRead;
    if (!kinds) return;
    const auto fail = [&](InfoRead why) {
        if (kinds & kInfoExif) info.exif = why;
        if (kinds & kInfoTags) info.tags = why;
        // STOP leaves the kinds unread, so the next run tries them again.
        if (why != InfoRead::Stopped) info.kindsRead |= kinds;
    };
    std::unique_ptr<IFile> f;
    if (Fs().OpenRead(path, f)) return fail(InfoRead::NoFile);
    const auto deadline = std::chrono::steady_clock::now() + limits.maxTime;
    // One byte past the cap tells a file that is too big.
    const std::size_t cap = static_cast<std::size_t>(limits.maxBytes) + 1;
    std::string buf;
    const bool exifOnly = kinds == kInfoExif;
    InfoRead r = ReadMore(*f, buf, exifOnly ? std::min(cap, limits.jpegHead) : cap, deadline, stop);
    if (r != InfoRead::Ok) return fail(r);
    bool whole = buf.size() < (exifOnly ? std::min(cap, limits.jpegHead) : cap);
    if (exifOnly && !whole && IsJpeg(buf)) {
        FileInfo head;
        if (ParseExif(Bytes(buf), buf.size(), head) == InfoRead::Ok) {
            for (auto& [n, v] : head.fields) info.Set(n, v);
            info.exif = InfoRead::Ok;
            info.kindsRead |= kInfoExif;
            return;
        }
    }
    if (!whole) {
        r = ReadMore(*f, buf, cap, deadline, stop);
        if (r != InfoRead::Ok) return fail(r);
    }
    if (buf.size() >= cap) return fail(InfoRead::TooBig);
    if (kinds & kInfoExif) info.exif = ParseExif(Bytes(buf), buf.size(), info);
    if (kinds & kInfoTags) info.tags = ParseTags(Bytes(buf), buf.size(), info);
    info.kindsRead |= kinds;
}

}  // namespace dov

#pragma GCC diagnostic pop
