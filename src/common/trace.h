// The trace log: DataTrace.txt in the program's own folder.
//
// The file is held open for appending; texts are collected and written in blocks: when a block
// is full, when TraceFlush() is called (at the end of every operation and before every message
// box or question), and at least every 100 ms, so a process that dies loses at most the last
// 100 ms. A file that was removed, or whose write failed, is opened again. Texts are CP932 and
// '\n' is written as CR LF. Writers on any thread may trace at once; each call's text lands
// whole.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace dov {

// The default trace file: DataTrace.txt in the program's own folder (CP932 path).
std::string DefaultTracePath();

// Empties the trace file (the view does this once at start).
void TraceReset(const std::string& tracePath);

// Appends a CP932 text as it stands.
void TraceWrite(const std::string& tracePath, std::string_view cp932Text);

// Writes out every text collected so far.
void TraceFlush();

// printf-style: the format is a UTF-8 text of the program (converted to CP932 once and cached);
// %s arguments are CP932 strings (const char*).
void TraceF(const std::string& tracePath, const char* fmtUtf8, ...)
    __attribute__((format(printf, 2, 3)));

// Called with the message (CP932) when the trace file cannot be opened. The window shows it in
// a message box; by default nothing is shown. The handler is called at most once per path.
void SetTraceFailureHandler(std::function<void(const std::string& messageCp932)> handler);

// Off: every trace call returns at once (benchmarks measure the engine without the log).
void SetTraceEnabled(bool enabled);
bool TraceEnabled();

}  // namespace dov
