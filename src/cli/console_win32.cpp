#include "cli/console.h"

#include "cli/line_input.h"

#include <windows.h>

#include <shellapi.h>

#include <fcntl.h>
#include <io.h>
#include <iostream>
#include <vector>

namespace kv {

namespace {

std::string utf8Of(std::wstring_view wide)
{
    if (wide.empty())
        return {};
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size, nullptr,
                            nullptr);
    return text;
}

bool isConsole(HANDLE handle)
{
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

// A line typed at the console, as UTF-16 (the narrow calls lose what the
// console's code page cannot hold), read past every buffer of ours (see
// line_input.h) and wiped once converted.
std::optional<std::string> readConsoleLine(HANDLE input)
{
    std::optional<std::wstring> line = readLineWith<wchar_t>([input](wchar_t& c) {
        DWORD read = 0;
        return ReadConsoleW(input, &c, 1, &read, nullptr) && read == 1;
    });
    if (!line)
        return std::nullopt;
    std::string text = utf8Of(*line);
    wipe(*line);
    return text;
}

// The next line of standard input when it is no console, byte by byte.
std::optional<std::string> readInputLine(HANDLE input)
{
    return readLineWith<char>([input](char& c) {
        DWORD read = 0;
        // A pipe in message mode gives a byte of a longer message as "more data".
        const bool done = ReadFile(input, &c, 1, &read, nullptr) || GetLastError() == ERROR_MORE_DATA;
        return done && read == 1;
    });
}

class Win32Console : public Console
{
public:
    Win32Console()
    {
        SetConsoleOutputCP(CP_UTF8);
        // Bytes as they are: an export keeps its CR LF, and nothing else gets one.
        _setmode(_fileno(stdout), _O_BINARY);
        _setmode(_fileno(stdin), _O_BINARY);
    }
    ~Win32Console() override { std::cout.flush(); }

    std::ostream& out() override { return std::cout; }
    std::ostream& err() override { return std::cerr; }
    bool inputIsTerminal() override { return isConsole(GetStdHandle(STD_INPUT_HANDLE)); }
    bool errorIsTerminal() override { return isConsole(GetStdHandle(STD_ERROR_HANDLE)); }

    std::optional<std::string> readLine() override
    {
        const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
        if (isConsole(input))
            return readConsoleLine(input);
        return readInputLine(input);
    }

    std::optional<std::string> ask(std::string_view prompt, bool echo) override
    {
        const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
        DWORD mode = 0;
        if (input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &mode))
            return std::nullopt;
        std::cerr << prompt << std::flush;
        if (echo)
            return readConsoleLine(input);
        SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
        std::optional<std::string> line = readConsoleLine(input);
        SetConsoleMode(input, mode);
        std::cerr << '\n';
        return line;
    }

    int columns() override
    {
        CONSOLE_SCREEN_BUFFER_INFO info;
        const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
        if (!isConsole(output) || !GetConsoleScreenBufferInfo(output, &info))
            return 0;
        return info.srWindow.Right - info.srWindow.Left + 1;
    }
};

} // namespace

std::unique_ptr<Console> systemConsole()
{
    return std::make_unique<Win32Console>();
}

std::vector<std::string> commandLineArguments(int, char*[])
{
    std::vector<std::string> args;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide)
        return args;
    for (int i = 1; i < count; ++i)
        args.push_back(utf8Of(wide[i]));
    LocalFree(wide);
    return args;
}

std::filesystem::path executableFolder()
{
    std::vector<wchar_t> name(MAX_PATH);
    for (;;) {
        const DWORD size = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (size == 0)
            return {};
        if (size < name.size())
            return std::filesystem::path(std::wstring(name.data(), size)).parent_path();
        name.resize(name.size() * 2);
    }
}

} // namespace kv
