#include "cli/console.h"

#include "cli/line_input.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace kv {

namespace {

// The terminal as it was before echo went off, for a signal that ends the
// program at the prompt (Ctrl-C) to put back first.
termios g_savedTerminal{};
volatile std::sig_atomic_t g_echoIsOff = 0;
constexpr int EndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
struct sigaction g_previous[std::size(EndingSignals)];

extern "C" void echoBackAndEnd(int signal)
{
    if (g_echoIsOff)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_savedTerminal);
    g_echoIsOff = 0;
    for (std::size_t i = 0; i < std::size(EndingSignals); ++i) {
        if (EndingSignals[i] == signal)
            sigaction(signal, &g_previous[i], nullptr);
    }
    raise(signal);
}

// Echo off for as long as it lives, and back on however the reading ends: a
// signal that ends the program meanwhile puts it back first.
class EchoOff
{
public:
    explicit EchoOff(int fd) : m_fd(fd)
    {
        if (tcgetattr(m_fd, &m_saved) != 0)
            return;
        g_savedTerminal = m_saved;
        struct sigaction action
        {
        };
        action.sa_handler = echoBackAndEnd;
        sigemptyset(&action.sa_mask);
        // A signal the program was started to ignore (nohup, a script's trap) stays ignored.
        for (std::size_t i = 0; i < std::size(EndingSignals); ++i) {
            sigaction(EndingSignals[i], nullptr, &g_previous[i]);
            if (g_previous[i].sa_handler != SIG_IGN)
                sigaction(EndingSignals[i], &action, nullptr);
        }
        termios quiet = m_saved;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        quiet.c_lflag |= ECHONL;
        g_echoIsOff = 1;
        m_on = tcsetattr(m_fd, TCSAFLUSH, &quiet) == 0;
        m_handled = true;
    }
    ~EchoOff()
    {
        if (m_on)
            tcsetattr(m_fd, TCSAFLUSH, &m_saved);
        g_echoIsOff = 0;
        if (m_handled) {
            for (std::size_t i = 0; i < std::size(EndingSignals); ++i)
                sigaction(EndingSignals[i], &g_previous[i], nullptr);
        }
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    int m_fd;
    termios m_saved{};
    bool m_on = false;
    bool m_handled = false;
};

// The next line of standard input, read past every buffer (see line_input.h).
std::optional<std::string> readInputLine()
{
    return readLineWith<char>([](char& c) {
        for (;;) {
            const ssize_t got = read(STDIN_FILENO, &c, 1);
            if (got == 1)
                return true;
            if (got < 0 && errno == EINTR)
                continue;
            return false;
        }
    });
}

class PosixConsole : public Console
{
public:
    std::ostream& out() override { return std::cout; }
    std::ostream& err() override { return std::cerr; }
    bool inputIsTerminal() override { return isatty(STDIN_FILENO) == 1; }
    bool errorIsTerminal() override { return isatty(STDERR_FILENO) == 1; }

    std::optional<std::string> readLine() override { return readInputLine(); }

    std::optional<std::string> ask(std::string_view prompt, bool echo) override
    {
        if (!inputIsTerminal())
            return std::nullopt;
        std::cerr << prompt << std::flush;
        if (echo)
            return readInputLine();
        const EchoOff quiet(STDIN_FILENO);
        return readInputLine();
    }

    int columns() override
    {
        if (isatty(STDOUT_FILENO) != 1)
            return 0;
        winsize size{};
        if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
            return size.ws_col;
        if (const char* text = std::getenv("COLUMNS")) {
            const int wanted = std::atoi(text);
            if (wanted > 0)
                return wanted;
        }
        return 80;
    }
};

} // namespace

std::unique_ptr<Console> systemConsole()
{
    return std::make_unique<PosixConsole>();
}

std::vector<std::string> commandLineArguments(int argc, char* argv[])
{
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

std::filesystem::path executableFolder()
{
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : self.parent_path();
}

} // namespace kv
