// RenameLog.txt, as a direct rename and an undo write it: one writer, so both report a log
// they cannot write in the same way.
//
// Entries are kept in a buffer and written in blocks of about 64 KiB, each '\n' as CR LF. An
// entry whose block could not be written is traced with the path it is about; the user is told
// once, when the log is closed, that the log is incomplete. A log that cannot be created (a
// link in its place is never written through) is traced and told at once.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/fs.h"

namespace dov {

class IHost;

class CRenameLogWriter {
  public:
    CRenameLogWriter(IHost& host, std::string tracePath);
    ~CRenameLogWriter();
    CRenameLogWriter(const CRenameLogWriter&) = delete;
    CRenameLogWriter& operator=(const CRenameLogWriter&) = delete;

    // Creates RenameLog.txt in the program's own folder (an older one is replaced). false:
    // traced and told; later entries are dropped.
    bool Open();
    bool IsOpen() const { return file_ != nullptr; }
    // One entry about the entry at path (which must stay valid until the log is closed).
    void Entry(std::string_view text, std::string_view path);
    // An entry made in place: the caller appended its text, as the file has it (each '\n' as
    // CR LF), to Buffer() from offset at on.
    std::string& Buffer() { return buf_; }
    void Added(std::size_t at, std::string_view path);
    // Text about no entry (a summary at the end).
    void Text(std::string_view text);
    // Writes out what is left and closes. false when the log could not be created or written
    // in full (traced and told).
    bool Close();

  private:
    void Flush();
    void TellLost();

    IHost& host_;
    std::string trace_;
    std::string path_;
    std::unique_ptr<IFile> file_;
    std::string buf_;
    // Where each entry of the buffer starts, and the path it is about.
    std::vector<std::pair<std::size_t, std::string_view>> entries_;
    bool opened_ = false;
    bool failed_ = false;
};

}  // namespace dov
