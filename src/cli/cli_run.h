// Runs one command line over a session: loads the paths, then performs the options in order.
#pragma once

#include <string>

#include "cli/cli_args.h"
#include "cli/terminal_host.h"

namespace dov::cli {

// Exit statuses.
enum ExitStatus : int {
    kExitOk = 0,
    kExitFailed = 1,  // refused by the name check, items failed, a write failed, Ctrl+C
    kExitUsage = 2,   // a usage error or an input that could not be read
};

struct RunResult {
    int status = kExitOk;
    std::string reason;  // one line (UTF-8) for every non-zero status
};

// What becomes of the loaded tree when the run is over.
enum class TreeAtEnd {
    kFree,   // every item is deleted before returning
    kLeave,  // left to the process's exit (the caller exits right after): tearing down a tree
             // of a million items costs more than many of the renames
};

// Runs args (help and version already handled) with the terminal host.
RunResult RunCommandLine(const Args& args, TerminalHost& host, TreeAtEnd tree = TreeAtEnd::kFree);

}  // namespace dov::cli
