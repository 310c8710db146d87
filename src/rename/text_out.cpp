#include "rename/text_out.h"

#include <cstdarg>
#include <cstdio>

#include "common/codepage.h"
#include "common/format.h"

namespace dov {
namespace {
constexpr std::size_t kFlushAt = 1 << 20;
}

std::string FormatSj(const char* fmtUtf8, ...) {
    const std::string& fmt = Sj(fmtUtf8);
    std::string out;
    out.reserve(fmt.size() + 128);
    va_list ap;
    va_start(ap, fmtUtf8);
    AppendFormatV(out, fmt.c_str(), ap);
    va_end(ap);
    return out;
}

void AppendFormatSj(std::string& out, const char* fmtUtf8, ...) {
    const std::string& fmt = Sj(fmtUtf8);
    va_list ap;
    va_start(ap, fmtUtf8);
    AppendFormatV(out, fmt.c_str(), ap);
    va_end(ap);
}

void AppendCrLf(std::string& out, std::string_view text) {
    std::size_t start = 0;
    for (;;) {
        std::size_t nl = text.find('\n', start);
        if (nl == std::string_view::npos) {
            out.append(text.substr(start));
            return;
        }
        out.append(text.substr(start, nl - start));
        out.append("\r\n");
        start = nl + 1;
    }
}

TextFileWriter::~TextFileWriter() {
    if (file_) Close();
}

int TextFileWriter::Open(const std::string& path) {
    buf_.clear();
    failed_ = false;
    return Fs().CreateTruncate(path, file_);
}

bool TextFileWriter::Write(std::string_view text) {
    if (!file_) return false;
    AppendCrLf(buf_, text);
    if (buf_.size() >= kFlushAt) return Flush();
    return true;
}

bool TextFileWriter::Flush() {
    if (!file_) return false;
    if (buf_.empty()) return true;
    long long w = file_->Write(buf_.data(), buf_.size());
    bool ok = w >= 0 && static_cast<std::size_t>(w) == buf_.size();
    buf_.clear();
    if (!ok) failed_ = true;
    return ok;
}

bool TextFileWriter::Close() {
    if (!file_) return false;
    bool ok = Flush();
    if (file_->Close() != 0) ok = false;
    file_.reset();
    return ok && !failed_;
}

}  // namespace dov
