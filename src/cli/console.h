#pragma once
// What the command line talks through: standard output and error, lines of
// standard input, and the terminal when there is one (for what must not echo).
// The program's own is SystemConsole; tests give one that plays a script.

#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

class Console
{
public:
    virtual ~Console() = default;
    virtual std::ostream& out() = 0;
    virtual std::ostream& err() = 0;
    // Whether standard input is a terminal (a person typing, not a pipe or a file).
    virtual bool inputIsTerminal() = 0;
    // Whether standard error is a terminal, where a progress line may be drawn
    // and cleared again; never for a pipe, a file or a log.
    virtual bool errorIsTerminal() { return false; }
    // The next line of standard input without its line end; nothing at its end.
    virtual std::optional<std::string> readLine() = 0;
    // `prompt` on the terminal, then a line typed there: shown as typed, or not at
    // all (a password). Nothing when there is no terminal or it was closed.
    virtual std::optional<std::string> ask(std::string_view prompt, bool echo) = 0;
    // Width of the terminal standard output goes to; 0 when it goes elsewhere.
    virtual int columns() = 0;
};

// Standard input, output and error of this process. Output is UTF-8 (on Windows
// the console is switched to it, and standard output writes bytes unchanged).
std::unique_ptr<Console> systemConsole();

// The program's arguments after its name, as UTF-8 (on Windows from the wide
// command line: the narrow one has lost what the code page cannot hold).
std::vector<std::string> commandLineArguments(int argc, char* argv[]);

// The folder the running executable lives in; empty when the system does not say.
std::filesystem::path executableFolder();

} // namespace kv
