// Process-wide flags shared between the window thread and the one worker thread.
#pragma once

#include <atomic>

namespace dov {

struct WorkerFlags {
    std::atomic<bool> busy{false};        // a worker owns the tree
    std::atomic<bool> stopReq{false};     // STOP was pressed (m_bStopReq)
    std::atomic<bool> quitReq{false};     // close was asked for while busy (m_bQuitReq)
    std::atomic<bool> transition{false};  // the view is between its busy and idle states
};

}  // namespace dov
