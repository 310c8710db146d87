// dovreth-cli: the renaming engine from a terminal.
#include <csignal>
#include <cstdio>
#include <string>

#include "cli/cli_args.h"
#include "cli/cli_run.h"
#include "cli/terminal_host.h"
#include "common/paths.h"

int main(int argc, char** argv) {
    using namespace dov::cli;
    // A closed output (a pipe into head) ends the output, not the run: a rename must still get
    // to its log.
    std::signal(SIGPIPE, SIG_IGN);
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
    RunResult r = RunCommandLine(args, host);
    if (r.status != kExitOk) std::fprintf(stderr, "dovreth-cli: %s\n", r.reason.c_str());
    return r.status;
}
