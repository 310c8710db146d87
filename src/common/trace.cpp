#include "common/trace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <unordered_map>
#include <vector>

#include "common/codepage.h"
#include "common/format.h"
#include "common/paths.h"

namespace dov {
namespace {

constexpr std::size_t kBlock = 64 * 1024;
constexpr auto kMaxDelay = std::chrono::milliseconds(100);

std::atomic<bool> g_enabled{true};

// One open trace file and the texts not yet written to it.
struct Sink {
    int fd = -1;
    std::string pending;
};

// Appends text with each '\n' that does not follow a '\r' (within this text) as CR LF.
void AppendCrLf(std::string& out, std::string_view text) {
    std::size_t start = 0;
    for (std::size_t i = text.find('\n'); i != std::string_view::npos; i = text.find('\n', i + 1)) {
        if (i == 0 || text[i - 1] != '\r') {
            out.append(text.data() + start, i - start);
            out.push_back('\r');
            start = i;
        }
    }
    out.append(text.data() + start, text.size() - start);
}

bool WriteAllFd(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t r = ::write(fd, data.data() + done, data.size() - done);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        done += static_cast<std::size_t>(r);
    }
    return true;
}

// A format of the program, compiled (CP932) as it is and, when that gives the same text, with
// its '\n's already as CR LF.
struct TraceFormat {
    CompiledFormat raw;
    CompiledFormat crlf;
    bool crlfOk = false;
};

// The format with each '\n' of its text as CR LF, which is what AppendCrLf makes of its output
// whatever the arguments, as long as they hold no '\n' themselves; empty when a '\n' follows a
// conversion (it then depends on the argument's last character).
std::string CrLfFormat(std::string_view fmt) {
    std::string out;
    char prev = 0;
    for (std::size_t i = 0; i < fmt.size(); ++i) {
        const char c = fmt[i];
        if (c == '%') {
            out += c;
            if (i + 1 < fmt.size() && fmt[i + 1] == '%') {
                out += fmt[++i];
                prev = '%';
                continue;
            }
            // Flags, width and length, then the conversion (the format compiled, so it is one
            // of the few the formatter handles).
            while (i + 1 < fmt.size() &&
                   std::string_view("0123456789-hlzjt").find(fmt[i + 1]) != std::string_view::npos)
                out += fmt[++i];
            if (i + 1 < fmt.size()) out += fmt[++i];
            prev = 0;
            if (i + 1 < fmt.size() && fmt[i + 1] == '\n') return {};
            continue;
        }
        if (c == '\n' && prev != '\r') out += '\r';
        out += c;
        prev = c;
    }
    return out;
}

class TraceState {
  public:
    static TraceState& Get() {
        static TraceState state;
        return state;
    }

    ~TraceState() {
        {
            std::lock_guard<std::mutex> lock(mu_);
            stop_ = true;
        }
        cv_.notify_all();
        if (flusher_.joinable()) flusher_.join();
        std::lock_guard<std::mutex> lock(mu_);
        FlushAllLocked();
        for (auto& [path, sink] : sinks_)
            if (sink.fd >= 0) ::close(sink.fd);
    }

    void Write(const std::string& tracePath, std::string_view text) {
        WriteLocked(tracePath, text);
        Report();
    }

    // A line formatted in place, at the end of the file's pending text.
    void WriteF(const std::string& tracePath, const TraceFormat& format, va_list ap) {
        WriteFLocked(tracePath, format, ap);
        Report();
    }

    void WriteFLocked(const std::string& tracePath, const TraceFormat& format, va_list ap) {
        std::lock_guard<std::mutex> lock(mu_);
        Sink* sink = SinkFor(tracePath);
        if (!sink) return;
        std::string& pending = sink->pending;
        // Nearly always: the format's own '\n's already as CR LF, and none in the arguments.
        if (format.crlfOk && format.crlf.AppendWithoutNewlineV(pending, ap)) {
            Pending(tracePath, *sink);
            return;
        }
        const std::size_t at = pending.size();
        format.raw.AppendV(pending, ap);
        if (std::memchr(pending.data() + at, '\n', pending.size() - at)) {
            const std::string raw = pending.substr(at);
            pending.resize(at);
            AppendCrLf(pending, raw);
        }
        Pending(tracePath, *sink);
    }

    void WriteLocked(const std::string& tracePath, std::string_view text) {
        std::lock_guard<std::mutex> lock(mu_);
        Sink* sink = SinkFor(tracePath);
        if (!sink) return;
        AppendCrLf(sink->pending, text);
        Pending(tracePath, *sink);
    }

    // The sink of the file, opened when it is not (nullptr when it cannot be). Under the lock.
    Sink* SinkFor(const std::string& tracePath) {
        // Nearly always the one file already open.
        const bool same = sinks_.size() == 1 && sinks_.begin()->first == tracePath;
        if (!same && !sinks_.empty()) {
            // Another file now (a test's fresh folder, a changed program folder): the others
            // are written out and closed, so handles do not pile up.
            for (auto it = sinks_.begin(); it != sinks_.end();) {
                if (it->first == tracePath) {
                    ++it;
                    continue;
                }
                Flush(it->first, it->second);
                if (it->second.fd >= 0) ::close(it->second.fd);
                it = sinks_.erase(it);
            }
        }
        Sink& sink = same ? sinks_.begin()->second : sinks_[tracePath];
        if (sink.fd < 0 && !Open(tracePath, sink, O_APPEND)) return nullptr;
        return &sink;
    }

    // Text was added to the sink: written out when a block is full, else left for the flusher.
    // Under the lock.
    void Pending(const std::string& tracePath, Sink& sink) {
        if (sink.pending.size() >= kBlock) {
            Flush(tracePath, sink);
            return;
        }
        if (!flusher_.joinable()) flusher_ = std::thread([this] { FlushLoop(); });
        if (!waiting_) {
            waiting_ = true;
            cv_.notify_one();
        }
    }

    void Reset(const std::string& tracePath) {
        {
            std::lock_guard<std::mutex> lock(mu_);
            Sink& sink = sinks_[tracePath];
            sink.pending.clear();
            if (sink.fd >= 0) ::close(sink.fd);
            sink.fd = -1;
            if (Open(tracePath, sink, O_TRUNC)) {
                ::close(sink.fd);
                sink.fd = -1;
            }
        }
        Report();
    }

    void FlushAll() {
        {
            std::lock_guard<std::mutex> lock(mu_);
            FlushAllLocked();
        }
        Report();
    }

    void SetFailureHandler(std::function<void(const std::string&)> handler) {
        std::lock_guard<std::mutex> lock(mu_);
        onFailure_ = std::move(handler);
        failedPaths_.clear();
    }

  private:
    TraceState() = default;

    // Tells the handler of the failures collected, outside the lock: the handler may show a
    // message, and showing one writes the trace out first.
    void Report() {
        // Nearly always nothing to tell: known without taking the lock again.
        if (!hasFailures_.load(std::memory_order_acquire)) return;
        std::vector<std::string> failures;
        std::function<void(const std::string&)> handler;
        {
            std::lock_guard<std::mutex> lock(mu_);
            hasFailures_.store(false, std::memory_order_relaxed);
            if (failures_.empty()) return;
            failures.swap(failures_);
            handler = onFailure_;
        }
        if (handler)
            for (const std::string& text : failures) handler(text);
    }

    // A failure of the trace file, told once per file and kind.
    void Failed(const std::string& tracePath, const char* what) {
        if (onFailure_ && failedPaths_.insert(tracePath + what).second) {
            failures_.push_back(Sj(what) + "\n" + tracePath);
            hasFailures_.store(true, std::memory_order_release);
        }
    }

    bool Open(const std::string& tracePath, Sink& sink, int mode) {
        auto native = Cp932ToUtf8(tracePath);
        // Never written through a link or into anything but a regular file.
        sink.fd = native ? OpenOwnFileForWrite(*native, mode == O_APPEND) : -1;
        if (sink.fd >= 0) return true;
        sink.fd = -1;
        Failed(tracePath, "トレース用ファイルが開けません");
        return false;
    }

    void Flush(const std::string& tracePath, Sink& sink) {
        if (sink.pending.empty()) return;
        struct stat st {};
        // Removed while held open: write to a new file under the name instead.
        if (sink.fd >= 0 && ::fstat(sink.fd, &st) == 0 && st.st_nlink == 0) {
            ::close(sink.fd);
            sink.fd = -1;
        }
        if (sink.fd < 0 && !Open(tracePath, sink, O_APPEND)) {
            sink.pending.clear();
            return;
        }
        if (!WriteAllFd(sink.fd, sink.pending)) {
            ::close(sink.fd);
            sink.fd = -1;
            if (Open(tracePath, sink, O_APPEND) && !WriteAllFd(sink.fd, sink.pending))
                Failed(tracePath, "トレース用ファイルに書き込めません");
        }
        sink.pending.clear();
    }

    void FlushAllLocked() {
        for (auto& [path, sink] : sinks_) Flush(path, sink);
        waiting_ = false;
    }

    void FlushLoop() {
        std::unique_lock<std::mutex> lock(mu_);
        while (!stop_) {
            cv_.wait(lock, [this] { return stop_ || waiting_; });
            if (stop_) break;
            cv_.wait_for(lock, kMaxDelay, [this] { return stop_; });
            FlushAllLocked();
            if (!failures_.empty()) {
                lock.unlock();
                Report();
                lock.lock();
            }
        }
    }

    std::mutex mu_;
    std::condition_variable cv_;
    std::thread flusher_;
    bool stop_ = false;
    bool waiting_ = false;  // texts wait for the flusher
    std::map<std::string, Sink> sinks_;
    std::function<void(const std::string&)> onFailure_;
    std::set<std::string> failedPaths_;
    std::vector<std::string> failures_;     // told to the handler once the lock is let go
    std::atomic<bool> hasFailures_{false};  // failures_ may hold something
};

}  // namespace

std::string DefaultTracePath() {
    return ProgramFile("DataTrace.txt");
}

void TraceReset(const std::string& tracePath) {
    TraceState::Get().Reset(tracePath);
}

void TraceWrite(const std::string& tracePath, std::string_view cp932Text) {
    if (!g_enabled.load(std::memory_order_relaxed)) return;
    TraceState::Get().Write(tracePath, cp932Text);
}

void TraceFlush() {
    TraceState::Get().FlushAll();
}

namespace {

// The compiled form (CP932) of a format of the program, found by its UTF-8 text. Each thread
// remembers the formats it used last by their address, confirmed by their content (a caller
// may pass a buffer of its own), so the lines a loop traces per item are found without the
// lock or a hash of the text.
const TraceFormat& CompiledFor(const char* fmtUtf8) {
    using Entry = std::pair<const std::string, TraceFormat>;
    struct Slot {
        const char* key = nullptr;
        const Entry* entry = nullptr;
    };
    thread_local Slot recent[64];
    Slot& slot = recent[(reinterpret_cast<std::uintptr_t>(fmtUtf8) >> 3) % 64];
    if (slot.key == fmtUtf8 && std::strcmp(slot.entry->first.c_str(), fmtUtf8) == 0)
        return slot.entry->second;
    // Kept for the whole process (a trace from a destructor at exit still finds its format);
    // its nodes never move.
    static std::mutex mu;
    static auto& all = *new std::unordered_map<std::string, TraceFormat>();
    std::lock_guard<std::mutex> lock(mu);
    auto [it, added] = all.try_emplace(fmtUtf8);
    if (added) {
        // A format that holds a NUL ends there, as for the C library.
        const std::string_view fmt(Sj(fmtUtf8).c_str());
        TraceFormat& f = it->second;
        if (f.raw.Compile(fmt)) {
            const std::string crlf = CrLfFormat(fmt);
            f.crlfOk = !crlf.empty() && f.crlf.Compile(crlf);
        }
    }
    slot = {fmtUtf8, &*it};
    return it->second;
}

}  // namespace

void TraceF(const std::string& tracePath, const char* fmtUtf8, ...) {
    if (!g_enabled.load(std::memory_order_relaxed)) return;
    const TraceFormat& compiled = CompiledFor(fmtUtf8);
    va_list ap;
    va_start(ap, fmtUtf8);
    if (compiled.raw.Ok()) {
        // Formatted straight into the file's pending text.
        TraceState::Get().WriteF(tracePath, compiled, ap);
    } else {
        // Formatted into this thread's own buffer, which keeps its storage from line to line.
        thread_local std::string text;
        text.clear();
        AppendFormatV(text, Sj(fmtUtf8).c_str(), ap);
        TraceWrite(tracePath, text);
    }
    va_end(ap);
}

void SetTraceFailureHandler(std::function<void(const std::string&)> handler) {
    TraceState::Get().SetFailureHandler(std::move(handler));
}

void SetTraceEnabled(bool enabled) {
    g_enabled.store(enabled);
}
bool TraceEnabled() {
    return g_enabled.load();
}

}  // namespace dov
