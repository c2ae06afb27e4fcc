#include "cli/console.h"

#include <cstdlib>
#include <iostream>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace kv {

namespace {

// Echo off for as long as it lives, and back on however the reading ends.
class EchoOff
{
public:
    explicit EchoOff(int fd) : m_fd(fd)
    {
        if (tcgetattr(m_fd, &m_saved) == 0) {
            termios quiet = m_saved;
            quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
            quiet.c_lflag |= ECHONL;
            m_on = tcsetattr(m_fd, TCSAFLUSH, &quiet) == 0;
        }
    }
    ~EchoOff()
    {
        if (m_on)
            tcsetattr(m_fd, TCSAFLUSH, &m_saved);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    int m_fd;
    termios m_saved{};
    bool m_on = false;
};

bool readLineFrom(std::istream& in, std::string& line)
{
    if (!std::getline(in, line))
        return false;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

class PosixConsole : public Console
{
public:
    std::ostream& out() override { return std::cout; }
    std::ostream& err() override { return std::cerr; }
    bool inputIsTerminal() override { return isatty(STDIN_FILENO) == 1; }

    std::optional<std::string> readLine() override
    {
        std::string line;
        if (!readLineFrom(std::cin, line))
            return std::nullopt;
        return line;
    }

    std::optional<std::string> ask(std::string_view prompt, bool echo) override
    {
        if (!inputIsTerminal())
            return std::nullopt;
        std::cerr << prompt << std::flush;
        std::string line;
        bool read = false;
        if (echo) {
            read = readLineFrom(std::cin, line);
        } else {
            const EchoOff quiet(STDIN_FILENO);
            read = readLineFrom(std::cin, line);
        }
        if (!read)
            return std::nullopt;
        return line;
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
