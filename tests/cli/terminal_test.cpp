// The real program at a real terminal (a pseudo-terminal): what a person sees,
// and what is left of the terminal when the program is stopped at a prompt.

#include "storage/storage_test_support.h"

#include <gtest/gtest.h>

#ifdef __linux__
#include <csignal>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace kv {
namespace {

#ifdef __linux__
// Reads what the program writes to its terminal until `text` shows, or ten seconds pass.
bool waitFor(int terminal, const std::string& text, std::string& seen)
{
    for (int waited = 0; seen.find(text) == std::string::npos; ++waited) {
        pollfd ready{terminal, POLLIN, 0};
        if (waited == 100 || poll(&ready, 1, 100) < 0)
            return false;
        char buffer[256];
        const ssize_t got = ready.revents & POLLIN ? read(terminal, buffer, sizeof buffer) : 0;
        if (got > 0)
            seen.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
}

// Waits up to ten seconds for the child to end; a child still running then is killed.
bool waitForEnd(pid_t child, int& status)
{
    for (int waited = 0; waited < 1000; ++waited) {
        if (waitpid(child, &status, WNOHANG) == child)
            return true;
        usleep(10000);
    }
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    return false;
}

bool echoes(int terminal)
{
    termios now{};
    return tcgetattr(terminal, &now) == 0 && (now.c_lflag & ECHO) != 0;
}

// Mended faults: Ctrl-C at the password prompt left the terminal without echo,
// and the program could be dumped with the password in its memory. A program
// started to ignore Ctrl-C (nohup, a script's trap) goes on reading, echo off.
TEST(Terminal, APromptStoppedByCtrlCGivesTheEchoBack)
{
    for (const bool ignored : {false, true}) {
        SCOPED_TRACE(ignored ? "Ctrl-C ignored" : "Ctrl-C");
        test::TestFolder folder;
        const std::string config = (folder / "config").string();
        const std::string data = (folder / "data").string();
        int terminal = -1;
        const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
        ASSERT_GE(child, 0);
        if (child == 0) {
            setenv("XDG_CONFIG_HOME", config.c_str(), 1);
            // Core files allowed as far as this user may, so that the program's own
            // limit is what the test sees.
            rlimit core{RLIM_INFINITY, RLIM_INFINITY};
            if (setrlimit(RLIMIT_CORE, &core) != 0 && getrlimit(RLIMIT_CORE, &core) == 0) {
                core.rlim_cur = core.rlim_max;
                setrlimit(RLIMIT_CORE, &core);
            }
            if (ignored)
                signal(SIGINT, SIG_IGN);
            execl(KV_CLI_PROGRAM, KV_CLI_PROGRAM, "--data-dir", data.c_str(), "add", "mail", nullptr);
            _exit(127);
        }
        // A prompt is ready once echo is off: it goes off after the prompt shows,
        // and discards what was typed before.
        std::string seen;
        const auto waitForPrompt = [&](const std::string& prompt) {
            EXPECT_TRUE(waitFor(terminal, prompt, seen)) << seen;
            for (int i = 0; i < 500 && echoes(terminal); ++i)
                usleep(10000);
            EXPECT_FALSE(echoes(terminal));
        };
        waitForPrompt("Password: ");
        // Guarded from its first line: nothing of its memory goes into a core file.
        std::ifstream limits("/proc/" + std::to_string(child) + "/limits");
        std::string line;
        while (std::getline(limits, line) && !line.starts_with("Max core file size")) {
        }
        EXPECT_NE(line.find(" 0 "), std::string::npos) << line;
        const char interrupt = 3; // what Ctrl-C types
        ASSERT_EQ(write(terminal, &interrupt, 1), 1);
        int status = 0;
        if (ignored) {
            usleep(200000);
            EXPECT_EQ(waitpid(child, &status, WNOHANG), 0);
            EXPECT_FALSE(echoes(terminal));
            ASSERT_EQ(write(terminal, "pw\r", 3), 3);
            waitForPrompt("Repeat password: ");
            ASSERT_EQ(write(terminal, "pw\r", 3), 3);
        }
        ASSERT_TRUE(waitForEnd(child, status)) << seen;
        if (ignored)
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        else
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
        EXPECT_TRUE(echoes(terminal));
        close(terminal);
    }
}
#endif

} // namespace
} // namespace kv
