// A long piece of work the session hands out. The job holds everything between its questions
// and its run, so the session keeps nothing of it between calls:
//   Confirm()  on the window's thread (or the terminal's): the checks and the questions,
//              through the host; false when the job will not run;
//   Run()      on a worker: the work, with the job's own stop token besides the session's
//              close request (and the terminal's Ctrl+C);
//   Result()   afterwards: the outcome and the counts.
// Done() and ToDo() may be read from any thread while it runs.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "session/result.h"

namespace dov {

class CJob {
  public:
    virtual ~CJob() = default;
    virtual bool Confirm() = 0;
    virtual void Run() = 0;

    // Asks the run to end early; any thread.
    void Stop() { stop_ = true; }
    bool StopAsked() const { return stop_; }
    const CommandResult& Result() const { return result_; }
    // The amounts done and to do (items, or entries read for a load), 0 while not known.
    virtual long long Done() const { return done_; }
    long long ToDo() const { return todo_; }
    // What the job's work tells of its progress while it runs (todo 0: not known).
    void SetProgress(long long done, long long todo) {
        done_ = done;
        todo_ = todo;
    }

  protected:
    std::atomic<bool> stop_{false};
    std::atomic<long long> done_{0}, todo_{0};
    CommandResult result_;
};

// The copy asks for its output folder between its question and its run.
class CCopyJob : public CJob {
  public:
    // After Confirm(), with the folder chosen: the copy buffer; false when it cannot be had.
    virtual bool Prepare(const std::string& outputFolder) = 0;
};

}  // namespace dov
