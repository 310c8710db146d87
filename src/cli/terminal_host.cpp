#include "cli/terminal_host.h"

#include <signal.h>
#include <unistd.h>

#include <cstring>

#include "common/codepage.h"
#include "common/trace.h"

namespace dov::cli {

namespace {

std::atomic<bool>* g_stopFlag = nullptr;
volatile sig_atomic_t g_interrupts = 0;
volatile sig_atomic_t g_deferQuit = 0;

// Writes a fixed line to standard error (safe inside the signal handler).
template <std::size_t N>
void Say(const char (&msg)[N]) {
    ssize_t r = write(STDERR_FILENO, msg, N - 1);
    (void)r;
}

void QuitNow() {
    Say("\ndovreth-cli: interrupted\n");
    _exit(1);
}

void OnInterrupt(int) {
    g_interrupts = g_interrupts + 1;
    if (g_interrupts == 1) {
        if (g_stopFlag) g_stopFlag->store(true);
        Say("\ndovreth-cli: Ctrl+C: stopping (press Ctrl+C again to quit at once)\n");
        return;
    }
    if (g_interrupts == 2 && g_deferQuit) {
        Say("\ndovreth-cli: Ctrl+C: writing RenameLog.txt first (press Ctrl+C again to quit at "
            "once)\n");
        return;
    }
    QuitNow();
}

// Drops the line ends a message box text begins or ends with.
std::string TrimLineEnds(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    std::size_t b = 0;
    while (b < s.size() && (s[b] == '\n' || s[b] == '\r')) ++b;
    return s.substr(b);
}

}  // namespace

static_assert(std::atomic<bool>::is_always_lock_free, "the stop flag is set from a signal");

void InstallInterruptHandler(std::atomic<bool>* stopFlag) {
    g_stopFlag = stopFlag;
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
}

void DeferQuit(bool on) {
    g_deferQuit = on ? 1 : 0;
    if (!on && g_interrupts >= 2) QuitNow();
}

bool Interrupted() {
    return g_interrupts > 0;
}

TerminalHost::TerminalHost(std::FILE* err) : err_(err), tty_(isatty(fileno(err)) == 1) {}

MsgAnswer TerminalHost::Message(const std::string& text, MsgKind kind, MsgIcon /*icon*/,
                                const std::string& /*caption*/) {
    TraceFlush();  // what led to the message is on disk before it shows
    std::lock_guard<std::mutex> hold(lock_);
    EndProgressLocked();
    std::string shown = TrimLineEnds(DisplayUtf8(text));
    // Every line of the box as its own line; CR LF and stray CRs do not reach the terminal.
    std::string out;
    out.reserve(shown.size() + 16);
    for (char c : shown) {
        if (c == '\r') continue;
        out += c;
    }
    MsgAnswer answer = MsgAnswer::Ok;
    if (kind == MsgKind::YesNo) {
        answer = answerYes_ ? MsgAnswer::Yes : MsgAnswer::No;
        out += answerYes_ ? " -> yes" : " -> no";
    }
    std::fprintf(err_, "%s\n", out.c_str());
    std::fflush(err_);
    return answer;
}

std::string TerminalHost::UndoHint() const {
    return Sj("（dovreth-cli --undo で、この改名を取り消せます）");
}

void TerminalHost::Progress(long long done, long long total) {
    if (!tty_) return;
    std::lock_guard<std::mutex> hold(lock_);
    const long long size = total > 0 ? total : done;
    if (size <= kProgressThreshold) return;
    const auto now = std::chrono::steady_clock::now();
    const bool last = total > 0 && done >= total;
    if (lineShown_ && !last && now - last_ < std::chrono::milliseconds(100)) return;
    last_ = now;
    if (total > 0)
        std::fprintf(err_, "\r%lld / %lld (%lld%%)", done, total, done * 100 / total);
    else
        std::fprintf(err_, "\r%lld", done);
    std::fflush(err_);
    lineShown_ = true;
}

void TerminalHost::ShowEntriesRead(long long n) {
    if (!tty_ || n <= kProgressThreshold) return;
    std::lock_guard<std::mutex> hold(lock_);
    std::fprintf(err_, "\rloading: %lld entries read", n);
    std::fflush(err_);
    lineShown_ = true;
}

void TerminalHost::EndProgress() {
    std::lock_guard<std::mutex> hold(lock_);
    EndProgressLocked();
}

void TerminalHost::EndProgressLocked() {
    if (!lineShown_) return;
    std::fprintf(err_, "\r\033[K");
    std::fflush(err_);
    lineShown_ = false;
}

LoadProgressLine::LoadProgressLine(TerminalHost& host, const CJob& job) {
    if (!host.Interactive()) return;
    thread_ = std::thread([this, &host, &job] {
        std::unique_lock<std::mutex> hold(m_);
        while (!cv_.wait_for(hold, std::chrono::milliseconds(100), [this] { return done_; }))
            host.ShowEntriesRead(job.Done());
    });
}

LoadProgressLine::~LoadProgressLine() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> hold(m_);
        done_ = true;
    }
    cv_.notify_one();
    thread_.join();
}

}  // namespace dov::cli
