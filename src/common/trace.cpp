#include "common/trace.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <set>

#include "common/codepage.h"
#include "common/paths.h"

namespace dov {
namespace {

std::mutex g_mu;
std::function<void(const std::string&)> g_onFailure;
std::set<std::string> g_failedPaths;
std::atomic<bool> g_enabled{true};

std::string ToCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out.push_back('\r');
        out.push_back(text[i]);
    }
    return out;
}

void WriteLocked(const std::string& tracePath, std::string_view text, bool append) {
    auto native = Cp932ToUtf8(tracePath);
    const int fd = native ? OpenOwnFileForWrite(*native, append) : -EINVAL;
    if (fd < 0) {
        if (g_onFailure && g_failedPaths.insert(tracePath).second) {
            g_onFailure(Sj("トレース用ファイルが開けません"));
        }
        return;
    }
    const std::string out = ToCrLf(text);
    for (std::size_t done = 0; done < out.size();) {
        const ssize_t w = ::write(fd, out.data() + done, out.size() - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) break;
        done += static_cast<std::size_t>(w);
    }
    ::close(fd);
}

}  // namespace

std::string DefaultTracePath() {
    return ProgramFile("DataTrace.txt");
}

void TraceReset(const std::string& tracePath) {
    std::lock_guard<std::mutex> lock(g_mu);
    WriteLocked(tracePath, {}, false);
}

void TraceWrite(const std::string& tracePath, std::string_view cp932Text) {
    if (!g_enabled.load(std::memory_order_relaxed)) return;
    std::lock_guard<std::mutex> lock(g_mu);
    WriteLocked(tracePath, cp932Text, true);
}

void TraceF(const std::string& tracePath, const char* fmtUtf8, ...) {
    if (!g_enabled.load(std::memory_order_relaxed)) return;
    const std::string& fmt = Sj(fmtUtf8);
    va_list ap;
    va_start(ap, fmtUtf8);
    va_list ap2;
    va_copy(ap2, ap);
    int n = std::vsnprintf(nullptr, 0, fmt.c_str(), ap);
    va_end(ap);
    std::string text;
    if (n > 0) {
        text.resize(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(text.data(), text.size(), fmt.c_str(), ap2);
        text.resize(static_cast<std::size_t>(n));
    }
    va_end(ap2);
    TraceWrite(tracePath, text);
}

void SetTraceFailureHandler(std::function<void(const std::string&)> handler) {
    std::lock_guard<std::mutex> lock(g_mu);
    g_onFailure = std::move(handler);
    g_failedPaths.clear();
}

void SetTraceEnabled(bool enabled) {
    g_enabled.store(enabled);
}
bool TraceEnabled() {
    return g_enabled.load();
}

}  // namespace dov
