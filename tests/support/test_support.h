// Shared test helpers: a temporary folder per test (with DOVRETH_HOME pointing into it) and a
// host that records every call and answers questions from a script.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "model/host.h"

namespace dovtest {

// A fresh temporary folder, removed with everything in it when the object goes. It sets
// DOVRETH_HOME to its "home" sub-folder, so the program's own files land there.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }  // native (UTF-8) path, no trailing '/'
    std::string home() const { return path_ + "/home"; }
    // Native path of a relative name inside the folder.
    std::string operator/(const std::string& rel) const { return path_ + "/" + rel; }

    // Writes a file (creating parent folders) with the given content.
    void WriteFile(const std::string& rel, const std::string& content = "") const;
    void MakeDir(const std::string& rel) const;
    bool Exists(const std::string& rel) const;
    std::string ReadFile(const std::string& rel) const;

  private:
    std::string path_;
};

// Reads a whole file by native path ("" when missing).
std::string ReadNative(const std::string& nativePath);

// UTF-8 literal -> CP932 bytes (for writing expected names in tests).
std::string Sj(const char* utf8);

// The message that ends a copy: the files copied and the files that failed (CP932).
// The copy's report box: with failures, where they are described and how many met a taken
// name.
std::string CopyReport(int ok, int failed, int taken = 0);

// Counts the occurrences of needle in hay (overlapping ones too).
int Count(const std::string& hay, const std::string& needle);

// A file of the program's own folder of the current test ("" when missing).
std::string HomeFile(const std::string& name);

struct RecordedMessage {
    std::string text;  // CP932
    dov::MsgKind kind;
};

class RecordingHost : public dov::IHost {
  public:
    dov::MsgAnswer Message(const std::string& text, dov::MsgKind kind, dov::MsgIcon icon,
                           const std::string& caption) override;
    bool StopRequested() override;
    bool QuitRequested() override { return quit; }
    void TreeFolderAdded(CMyItem* folder) override { treeAdded.push_back(folder); }
    void TreeFolderRemoved(CMyItem* folder) override { treeRemoved.push_back(folder); }
    void ListShowFolder(CMyItem* folder) override { listShown.push_back(folder); }

    // Answers for Yes/No questions, in order; when empty the answer is Yes.
    std::deque<dov::MsgAnswer> answers;
    std::vector<RecordedMessage> messages;
    std::vector<CMyItem*> treeAdded, treeRemoved, listShown;
    bool stop = false;
    bool quit = false;
    // When >= 0, STOP turns on after this many StopRequested() polls.
    long long stopAfterPolls = -1;
    long long polls = 0;
};

}  // namespace dovtest
