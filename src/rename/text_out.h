// Helpers for the text files the rename layer writes (RenameLog.txt, PreRenameTree.txt,
// TextTree.txt) and for the CP932 texts it shows or traces.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "common/fs.h"

namespace dov {

// printf-style: the format is a UTF-8 text of the program (converted to CP932 once); %s
// arguments are CP932 strings.
std::string FormatSj(const char* fmtUtf8, ...) __attribute__((format(printf, 1, 2)));
// The same, appended to out (whose buffer is kept from one line to the next).
void AppendFormatSj(std::string& out, const char* fmtUtf8, ...)
    __attribute__((format(printf, 2, 3)));

// Appends text to out with every '\n' written as CR LF ('\n' is never part of a double-byte
// character, so this is safe on CP932 bytes).
void AppendCrLf(std::string& out, std::string_view text);

// A text file written in CR LF mode: created anew (an older file is replaced), filled through a
// buffer, flushed in large blocks.
class TextFileWriter {
  public:
    TextFileWriter() = default;
    ~TextFileWriter();
    TextFileWriter(const TextFileWriter&) = delete;
    TextFileWriter& operator=(const TextFileWriter&) = delete;

    // 0 or errno.
    int Open(const std::string& path);
    bool IsOpen() const { return file_ != nullptr; }
    // Adds text (converted to CR LF). Returns false when a flush failed.
    bool Write(std::string_view text);
    // Writes out the buffer; false when the file refused it.
    bool Flush();
    // Flushes and closes; false when anything could not be written.
    bool Close();

  private:
    std::unique_ptr<IFile> file_;
    std::string buf_;
    bool failed_ = false;
};

}  // namespace dov
