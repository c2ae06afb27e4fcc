#pragma once
// Runs a verb of the command line in the benchmark's process, as the program
// runs it but without the cost of starting a process, over a folder of data
// files; what it prints goes where a pipe to /dev/null would take it.

#include "cli/command_line.h"
#include "settings/reg_file_registry.h"

#include <filesystem>
#include <optional>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

namespace kvbench {

// Takes what it is given and keeps nothing, as /dev/null would.
class NullBuffer : public std::streambuf
{
protected:
    std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
};

// Output discarded; standard input a pipe that gives `line` each time a line is
// read (a sealed database's password), or nothing.
class DiscardingConsole : public kv::Console
{
public:
    explicit DiscardingConsole(std::optional<std::string> line = std::nullopt) : m_line(std::move(line)) {}

    std::ostream& out() override { return m_out; }
    std::ostream& err() override { return m_err; }
    bool inputIsTerminal() override { return false; }
    std::optional<std::string> readLine() override { return m_line; }
    std::optional<std::string> ask(std::string_view, bool) override { return std::nullopt; }
    int columns() override { return 0; }

private:
    std::optional<std::string> m_line;
    NullBuffer m_discard;
    std::ostream m_out{&m_discard};
    std::ostream m_err{&m_discard};
};

// The verbs over one folder, each with the settings file there; `line` is what
// standard input gives (see DiscardingConsole).
class VerbRunner
{
public:
    explicit VerbRunner(const std::filesystem::path& folder, std::optional<std::string> line = std::nullopt)
        : m_folder(folder), m_console(std::move(line)), m_registry(folder / "settings.reg")
    {
    }

    // The verb's exit status.
    int operator()(const std::vector<std::string>& args)
    {
        kv::CliEnvironment env;
        env.console = &m_console;
        env.registry = &m_registry;
        env.dataFolder = m_folder;
        env.now = [] { return std::string("12-08-2026 10:00:00"); };
        return kv::runCommandLine(args, env);
    }

private:
    std::filesystem::path m_folder;
    DiscardingConsole m_console;
    kv::RegFileRegistry m_registry;
};

} // namespace kvbench
