// The terminal's host: message boxes become lines on standard error, questions are answered
// Yes only while a rename or copy the user asked for is running, STOP is Ctrl+C, and long runs
// show a progress line that updates in place when standard error is a terminal.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

#include "model/host.h"
#include "session/job.h"

namespace dov::cli {

class TerminalHost : public IHost {
  public:
    // err: where messages and the progress line go (standard error).
    explicit TerminalHost(std::FILE* err);

    MsgAnswer Message(const std::string& text, MsgKind kind, MsgIcon icon,
                      const std::string& caption) override;
    void Progress(long long done, long long total) override;
    std::string UndoHint() const override;

    // While set, Yes/No questions are answered Yes (otherwise No, the default button).
    void SetAnswerYes(bool on) { answerYes_ = on; }
    // Removes the progress line, if one is shown.
    void EndProgress();
    // The progress line of a load: how many entries it has read so far.
    void ShowEntriesRead(long long n);
    bool Interactive() const { return tty_; }

    // Runs with at most this many items show no progress line.
    static constexpr long long kProgressThreshold = 3000;

  private:
    void EndProgressLocked();
    // The load's progress line is written from another thread.
    std::mutex lock_;
    std::FILE* err_;
    bool tty_;
    bool answerYes_ = false;
    bool lineShown_ = false;
    std::chrono::steady_clock::time_point last_{};
};

// While alive, shows a running load job's entries read (its Done()) on the host's progress
// line, every 100 ms, from a thread of its own. Does nothing when standard error is not a
// terminal.
class LoadProgressLine {
  public:
    LoadProgressLine(TerminalHost& host, const CJob& job);
    ~LoadProgressLine();
    LoadProgressLine(const LoadProgressLine&) = delete;
    LoadProgressLine& operator=(const LoadProgressLine&) = delete;

  private:
    std::mutex m_;
    std::condition_variable cv_;
    bool done_ = false;
    std::thread thread_;
};

// Ctrl+C: the first press sets *stopFlag (the session's STOP request), a second one ends the
// process at once. Installs the handler for SIGINT.
void InstallInterruptHandler(std::atomic<bool>* stopFlag);
// While on, a second Ctrl+C does not end the process but waits until it is turned off again
// (a rename writes its log first); a third one ends the process at once. Turning it off after
// a second Ctrl+C ends the process.
void DeferQuit(bool on);
// true once Ctrl+C has been pressed.
bool Interrupted();

}  // namespace dov::cli
