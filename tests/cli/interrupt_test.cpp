// Ctrl+C in dovreth-cli, pressed in a child process: the first press asks to stop, a second one
// quits at once unless a rename is writing its log; then the end of the log or a third press
// quits. Quitting says so and exits with status 1.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "cli/terminal_host.h"

namespace {

TEST(CliInterrupt, PressesStopFirstAndQuitCleanly) {
    struct Case {
        const char* what;
        int presses;
        bool deferred;  // a rename is writing its log
        bool logDone;   // the log is written after the presses
        bool quits;
        const char* lastLine;
    } cases[] = {
        {"one press", 1, false, false, false, "stopping"},
        {"two presses", 2, false, false, true, "interrupted"},
        {"two while the log is written", 2, true, false, false, "writing RenameLog.txt first"},
        {"two, then the log is done", 2, true, true, true, "interrupted"},
        {"three while the log is written", 3, true, false, true, "interrupted"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int p[2];
        ASSERT_EQ(pipe(p), 0);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (dup2(p[1], STDERR_FILENO) < 0) _exit(127);
            std::atomic<bool> stop{false};
            dov::cli::InstallInterruptHandler(&stop);
            dov::cli::DeferQuit(c.deferred);
            for (int i = 0; i < c.presses; ++i) raise(SIGINT);
            if (c.logDone) dov::cli::DeferQuit(false);
            _exit(stop && dov::cli::Interrupted() ? 0 : 3);
        }
        close(p[1]);
        std::string err;
        char buf[256];
        for (ssize_t n; (n = read(p[0], buf, sizeof buf)) > 0;) err.append(buf, n);
        close(p[0]);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status)) << "status " << status << "\n" << err;
        EXPECT_EQ(WEXITSTATUS(status), c.quits ? 1 : 0);
        const std::size_t last = err.rfind("dovreth-cli: ");
        ASSERT_NE(last, std::string::npos);
        EXPECT_NE(err.find(c.lastLine, last), std::string::npos) << err;
    }
}

}  // namespace
