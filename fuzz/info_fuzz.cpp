// libFuzzer target for the file-information readers: the input is a file's contents, handed to
// the Exif and audio-tag parsers the way the reader hands them a file it read, and the fields
// they find are expanded by a template that uses all of them. Its first bytes are also parsed
// as a template. Nothing may crash, hang or leak, and every expansion must be usable in a name.
//
// Seeds (fuzz/corpus/info_fuzz) are written by tests/support/make_info_seeds.
//
// Run by hand:
//   ./info_fuzz -max_len=65536 corpus_dir
#include <cstdint>
#include <cstdlib>
#include <string>

#include "info/file_info.h"
#include "info/info_template.h"
#include "model/item.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    dov::FileInfo info;
    dov::ParseExif(data, size, info);
    dov::ParseTags(data, size, info);
    static const auto every = dov::InfoTemplate::Parse(
        "{exif.date:%Y-%m-%d_%H%M%S}{exif.model}{exif.width:04}x{exif.height}"
        "{tag.artist}{tag.album}{tag.title}{tag.track:02}{tag.year}{parent}{mtime}",
        nullptr);
    dov::InfoSource src{&info, true, 0, "p"};
    const auto e = every->Expand(src);
    if (!CMyItem::IsUsableNameString(e.text)) std::abort();

    const std::string text(reinterpret_cast<const char*>(data), size < 64 ? size : 64);
    std::string error;
    if (auto t = dov::InfoTemplate::Parse(text, &error)) {
        t->Expand(src);
    } else if (error.empty()) {
        std::abort();
    }
    return 0;
}
