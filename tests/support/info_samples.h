// Sample files made with the metadata libraries' own writers, for the tests, the fuzz seeds and
// the benchmark: a small JPEG with Exif, an MP3 with an ID3v2 tag and a FLAC with Vorbis
// comments. Texts are UTF-8; an empty text or a zero number is left out of the file.
#pragma once

#include <string>

namespace dovtest {

struct PhotoSample {
    std::string date;   // Exif.Photo.DateTimeOriginal, "YYYY:MM:DD HH:MM:SS"
    std::string model;  // Exif.Image.Model
    long width = 0;     // Exif.Photo.PixelXDimension / PixelYDimension
    long height = 0;
};
std::string MakeJpeg(const PhotoSample& s);

struct AudioSample {
    std::string artist, album, title;
    unsigned track = 0, year = 0;
};
std::string MakeMp3(const AudioSample& s);
std::string MakeFlac(const AudioSample& s);

}  // namespace dovtest
