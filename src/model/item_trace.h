// Trace lines of the item tree (CMyItem and CMyPartsArray): a failure inside the trace writer,
// even out of memory, never escapes an operation on the tree.
#pragma once

#include <string>

#include "common/trace.h"
#include "model/item.h"

// One trace line; a failure inside the trace writer (even out of memory) never escapes.
#define DOV_TRACE(path, ...)                  \
    do {                                      \
        try {                                 \
            dov::TraceF((path), __VA_ARGS__); \
        } catch (...) {                       \
        }                                     \
    } while (0)

namespace dov {

// The position string of an item for a trace line ("" when it cannot be made).
inline std::string PosOf(const CMyItem* p) noexcept {
    try {
        if (p) return p->PosString();
    } catch (...) {
    }
    return {};
}

}  // namespace dov
