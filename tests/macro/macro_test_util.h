// Helpers shared by the macro tests: reading back the trace file as UTF-8 with LF line ends.
#pragma once

#include <string>

#include "common/codepage.h"
#include "common/trace.h"
#include "support/test_support.h"

namespace macrotest {

// The trace file of the current program folder, as UTF-8 with '\n' line ends.
inline std::string ReadTraceUtf8() {
    std::string raw = dovtest::ReadNative(*dov::Cp932ToUtf8(dov::DefaultTracePath()));
    std::string lf;
    lf.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
        lf.push_back(raw[i]);
    }
    auto utf8 = dov::Cp932ToUtf8(lf);
    return utf8 ? *utf8 : dov::EscapeBytes(lf);
}

inline void ResetTrace() {
    dov::TraceReset(dov::DefaultTracePath());
}

}  // namespace macrotest
