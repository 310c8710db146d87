// Copy and rename: writes a copy of the whole edit tree, every folder and file under its write
// name, into an output folder (output folder / root's write name / the tree below it). The
// loaded files are not touched and the tree in memory does not change.
//
// STOP is read through IHost::StopRequested() before every item and every block of a file; the
// caller keeps it set until the run has returned (the window may look idle before that).
//
// Files already present at a target keep their content: a file is only ever written to a name
// that did not exist before (its copy counts as failed otherwise), and a target left half-written
// by STOP or a read failure is removed again (it was created by this copy).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class CMyItem;

namespace dov {

class DiskScope;
class IHost;

struct CopyOptions {
    // The automatic index option (AutoSerialNum): asks a confirmation first.
    bool autoSerialNum = false;
};

class CCopyRun {
  public:
    // One block of this size carries every file copy.
    static constexpr std::size_t kBufferSize = 10000000;

    explicit CCopyRun(IHost& host, std::string tracePath = {});

    // The checks before the folder choice: the root has items, the tree's names are usable,
    // the trace line, the confirmation for the automatic index mode. true: go on.
    bool ConfirmStart(CMyItem* root, const CopyOptions& options);

    // Allocates the copy buffer once (kept for the object's lifetime). false (after the
    // message) when memory runs out.
    bool PrepareBuffer();

    // The worker's part: with a root and a non-empty output folder, copies the tree.
    // An empty folder (the choice was cancelled) copies nothing and reports nothing.
    // loaded: the folders the entries were loaded from (pinned then); without it, those
    // holding the entries under the root, pinned now. The output folder is pinned now.
    void Run(CMyItem* root, const std::string& outputFolder, const DiskScope* loaded = nullptr);

    // Copies item (a folder with everything below it, or a file) into strDest. 0 or -1.
    int CopyItemToFolder(CMyItem* pItem, std::string strDest);
    // Copies one file to the full target path; 0 when all of it was copied.
    int CopyItemFile(CMyItem* pItem, const std::string& strTarget);

    std::uint32_t m_iCopyOkNum = 0;     // folders created plus files copied
    std::uint32_t m_iCopyErrNum = 0;    // folders and files that failed
    std::uint32_t m_iCopyTakenNum = 0;  // of the failures: files whose name was taken

    // For tests: the chunk size of the copy (at most kBufferSize).
    std::size_t m_chunk = kBufferSize;

  private:
    bool Stopped();

    IHost& m_host;
    std::string m_strTracePath;
    std::unique_ptr<char[]> m_buffer;
    unsigned m_iPartSerial = 0;  // makes each temporary file name of this run unique
};

// The whole "コピーして実行" run, with the output folder already chosen: checks, confirmation,
// buffer, copy. run: the session's copy object (it keeps the buffer and the counters; its host
// is used). Result: 0 when the copy ran (see the counters), 1 when it did not start.
int CopyAndRename(CCopyRun& run, CMyItem* root, const std::string& outputFolder,
                  const CopyOptions& options, const DiskScope* loaded = nullptr);
// The same with a copy object of its own.
int CopyAndRename(CMyItem* root, const std::string& outputFolder, const CopyOptions& options,
                  IHost& host);

}  // namespace dov
