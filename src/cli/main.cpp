// dovreth-cli: the renaming engine from a terminal.
#include <csignal>
#include <cstdio>
#include <string>

#include "cli/cli_args.h"
#include "cli/cli_run.h"
#include "cli/terminal_host.h"
#include "common/paths.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DOVRETH_LEAK_CHECKED 1
#endif
#endif

int main(int argc, char** argv) {
    using namespace dov::cli;
    // A closed output (a pipe into head) ends the output, not the run: a rename must still get
    // to its log.
    std::signal(SIGPIPE, SIG_IGN);
    // A file over the size limit (ulimit -f) fails its write with EFBIG, which is reported,
    // instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    Args args;
    std::string error;
    if (!ParseArgs(argc, argv, args, error)) {
        std::fprintf(stderr, "dovreth-cli: %s\n", error.c_str());
        return kExitUsage;
    }
    if (args.help) {
        std::fputs(UsageText(), stdout);
        return kExitOk;
    }
    if (args.version) {
        std::puts("Dovreth Version 2.65");
        return kExitOk;
    }
    if (args.paths.empty() && args.actions.empty()) {
        std::fprintf(stderr, "dovreth-cli: nothing to do (see --help)\n");
        return kExitUsage;
    }
    if (const std::string problem = dov::ProgramFolderProblem(); !problem.empty()) {
        std::fprintf(stderr, "dovreth-cli: %s\n", problem.c_str());
        return kExitUsage;
    }
    TerminalHost host(stderr);
    // A leak checker would report the tree left to the exit, so sanitizer builds free it.
#if defined(__SANITIZE_ADDRESS__) || defined(DOVRETH_LEAK_CHECKED)
    constexpr TreeAtEnd kTree = TreeAtEnd::kFree;
#else
    constexpr TreeAtEnd kTree = TreeAtEnd::kLeave;
#endif
    RunResult r = RunCommandLine(args, host, kTree);
    if (r.status != kExitOk) std::fprintf(stderr, "dovreth-cli: %s\n", r.reason.c_str());
    return r.status;
}
