#include "support/info_samples.h"

#include <stdexcept>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <taglib/flacfile.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/xiphcomment.h>

#include <exiv2/exiv2.hpp>

namespace dovtest {

namespace {

template <class TagT>
void FillTag(TagT* tag, const AudioSample& s) {
    if (!s.artist.empty()) tag->setArtist(TagLib::String(s.artist, TagLib::String::UTF8));
    if (!s.album.empty()) tag->setAlbum(TagLib::String(s.album, TagLib::String::UTF8));
    if (!s.title.empty()) tag->setTitle(TagLib::String(s.title, TagLib::String::UTF8));
    if (s.track) tag->setTrack(s.track);
    if (s.year) tag->setYear(s.year);
}

std::string ToString(const TagLib::ByteVector& v) {
    return std::string(v.data(), v.size());
}

}  // namespace

std::string MakeJpeg(const PhotoSample& s) {
    // Exiv2 starts a new JPEG from its own blank 1x1 picture.
    auto image = Exiv2::ImageFactory::create(Exiv2::ImageType::jpeg);
    Exiv2::ExifData exif;
    if (!s.date.empty()) exif["Exif.Photo.DateTimeOriginal"] = s.date;
    if (!s.model.empty()) exif["Exif.Image.Model"] = s.model;
    if (s.width) exif["Exif.Photo.PixelXDimension"] = static_cast<uint32_t>(s.width);
    if (s.height) exif["Exif.Photo.PixelYDimension"] = static_cast<uint32_t>(s.height);
    image->setExifData(exif);
    image->writeMetadata();
    Exiv2::BasicIo& io = image->io();
    io.seek(0, Exiv2::BasicIo::beg);
    Exiv2::DataBuf buf = io.read(static_cast<long>(io.size()));
    return std::string(reinterpret_cast<const char*>(buf.pData_), static_cast<size_t>(buf.size_));
}

std::string MakeMp3(const AudioSample& s) {
    // Silent MPEG-1 layer III frames, 128 kbit/s at 44.1 kHz: 417 bytes each.
    std::string frames;
    for (int i = 0; i < 8; ++i) {
        std::string f(417, '\0');
        f[0] = '\xFF';
        f[1] = '\xFB';
        f[2] = '\x90';
        f[3] = '\x64';
        frames += f;
    }
    TagLib::ByteVectorStream stream(TagLib::ByteVector(frames.data(), frames.size()));
    TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
    FillTag(file.ID3v2Tag(true), s);
    if (!file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers))
        throw std::runtime_error("MakeMp3: TagLib could not save");
    return ToString(*stream.data());
}

std::string MakeFlac(const AudioSample& s) {
    std::string head = "fLaC";
    head += std::string("\x80\x00\x00\x22", 4);              // last block, STREAMINFO, 34 bytes
    const unsigned char info[34] = {0x10, 0x00, 0x10, 0x00,  // block sizes 4096
                                    0,    0,    0,    0,    0, 0,  // frame sizes unknown
                                    0x0A, 0xC4, 0x42, 0xF0,        // 44100 Hz, 2 channels, 16 bits
                                    0,    0,    0,    0};          // sample count, MD5 zero
    head.append(reinterpret_cast<const char*>(info), sizeof info);
    head += std::string(64, '\0');  // stands in for the audio frames
    TagLib::ByteVectorStream stream(TagLib::ByteVector(head.data(), head.size()));
    TagLib::FLAC::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
    if (!file.isValid()) throw std::runtime_error("MakeFlac: TagLib refused the stream");
    FillTag(file.xiphComment(true), s);
    if (!file.save()) throw std::runtime_error("MakeFlac: TagLib could not save");
    return ToString(*stream.data());
}

}  // namespace dovtest

#pragma GCC diagnostic pop
