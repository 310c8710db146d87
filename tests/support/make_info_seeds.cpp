// Writes seed files for the info_fuzz target: photos and audio files made by the test samples'
// writers (fuzz/corpus/info_fuzz holds what this wrote).
#include <cstdio>
#include <fstream>
#include <string>

#include "support/info_samples.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_info_seeds DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    const auto put = [&](const char* name, const std::string& data) {
        std::ofstream(dir + "/" + name, std::ios::binary) << data;
    };
    put("photo.jpg", dovtest::MakeJpeg({"2024:05:01 10:30:00", "Camera X", 4000, 3000}));
    put("photo_bare.jpg", dovtest::MakeJpeg({}));
    const dovtest::AudioSample song{"Artist", "Album", "Title", 1, 2024};
    put("song.mp3", dovtest::MakeMp3(song));
    put("song.flac", dovtest::MakeFlac(song));
    return 0;
}
