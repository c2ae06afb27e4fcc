// keystead-vault-cli: the window's settings and data folder, then the verb.

#include "cli/command_line.h"
#include "process/process_guard.h"
#include "settings/reg_file_registry.h"
#include "storage/data_folder.h"
#ifdef _WIN32
#include "settings/win32_registry.h"
#endif

#include <ctime>
#include <exception>
#include <iostream>

namespace {

// The local time as the window records it: "MM-DD-YYYY hh:mm:ss".
std::string recordedNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%m-%d-%Y %H:%M:%S", &local);
    return text;
}

} // namespace

int main(int argc, char* argv[])
{
    // First of all: the log-in and every password typed pass through this memory.
    kv::guardProcess();
    try {
        const std::unique_ptr<kv::Console> console = kv::systemConsole();
#ifdef _WIN32
        kv::Win32Registry registry;
#else
        kv::RegFileRegistry registry(kv::defaultSettingsFile());
#endif
        kv::CliEnvironment env;
        env.console = console.get();
        env.registry = &registry;
#ifdef KV_PER_USER_DATA
        // Where the installed window keeps them, so both see the same files.
        env.dataFolder = kv::userDataFolder();
        env.dataFolderIsPrivate = !env.dataFolder.empty();
#endif
        if (env.dataFolder.empty())
            env.dataFolder = kv::executableFolder();
        env.now = recordedNow;
        return kv::runCommandLine(kv::commandLineArguments(argc, argv), env);
    } catch (const std::exception& error) {
        std::cerr << kv::CliName << ": " << error.what() << '\n';
    } catch (...) {
        std::cerr << kv::CliName << ": failed\n";
    }
    return kv::ExitFailure;
}
