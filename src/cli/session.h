#pragma once
// One run of the command line: its arguments, the settings, and the database it
// works on, with the words it fails in.

#include "cli/arguments.h"
#include "cli/console.h"
#include "seal/sealing.h"
#include "seal/secret_bytes.h"
#include "settings/settings_store.h"
#include "storage/open_database.h"
#include "vault/vault.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

inline constexpr std::string_view CliName = "keystead-vault-cli";

// Exit statuses.
inline constexpr int ExitOk = 0;
inline constexpr int ExitFailure = 1;
inline constexpr int ExitUsage = 2;

// A file name as the command line takes it (UTF-8) and as it names one back:
// on Windows the narrow forms would go through the code page, which cannot hold
// every name.
std::filesystem::path pathFromUtf8(const std::string& name);
std::string utf8Of(const std::filesystem::path& path);

// Why `file` could not be read, in the words a person knows it by (": no such
// file", ": it is a folder", ...), or the system's reason.
std::string whyUnreadable(const std::filesystem::path& file, FileError reason);
// "1 entry", "2 entries".
std::string entryCount(std::size_t count);

// What the program finds around it; tests give their own.
struct CliEnvironment
{
    Console* console = nullptr;
    Registry* registry = nullptr;     // the window's settings
    std::filesystem::path dataFolder; // where the window keeps its databases
    bool dataFolderIsPrivate = false; // the user's own data folder, kept owner-only
    std::function<std::string()> now; // the time as entries record it
    FileOps* fileOps = nullptr;       // null: the real file system
    // What a new seal's key derivation costs (tests make it the least allowed).
    std::uint64_t sealMemoryKiB = DefaultSealMemoryKiB;
    std::uint32_t sealPasses = DefaultSealPasses;
};

class Session
{
public:
    Session(CliEnvironment& env, Arguments args);

    Console& console() { return *m_env.console; }
    const Arguments& args() const { return m_args; }
    const SettingsStore& settings() const { return m_settings; }
    FileOps& fileOps() { return m_env.fileOps ? *m_env.fileOps : realFileOps(); }
    std::string now() const { return m_env.now(); }

    // The database the options name (or the window's), opened but not read.
    OpenDatabase& database() { return *m_database; }
    Vault& vault() { return *m_vault; }
    // Reads the database whole; false (after saying why) when it could not. A
    // sealed database is opened first (openSealed).
    bool load();
    // When the database is sealed, asks for its password (on the terminal, or a
    // line of standard input) and opens its key; false after saying why when it
    // could not. Nothing is asked of a database that is not sealed.
    bool openSealed();
    // The database's password as typed for openSealed; null when none was asked.
    const SecretBytes* databasePassword() const { return m_password.empty() ? nullptr : &m_password; }
    // A password asked with `prompt` on the terminal without echo, or read as a
    // line of standard input; nothing when there is none.
    std::optional<SecretBytes> askSecret(std::string_view prompt);
    // The key `password` opens for the sealed file `name` whose header is
    // `header`; null after saying why ("Wrong password for <name>", ...).
    std::shared_ptr<const LineSeal> openKey(std::string_view header, const SecretBytes& password,
                                            const std::string& name);
    // A new seal's key for `password`, at the cost this environment asks.
    std::shared_ptr<const LineSeal> newKey(const SecretBytes& password) const;
    // The whole file `name` (UTF-8) names into `content`; false after saying
    // "Could not read NAME: why".
    bool readFile(const std::string& name, std::string& content);
    // The data file's full name, for messages.
    std::string dataFileName() const;

    // "keystead-vault-cli: <message>" on standard error; returns ExitFailure.
    int fail(std::string_view message);
    // What the vault or the database refused ("Could not write db1.ksd: ..."),
    // naming the data file by its full name.
    int failWith(const Outcome& outcome);
    int failWith(const DatabaseResult& result);

private:
    CliEnvironment& m_env;
    Arguments m_args;
    SettingsStore m_settings;
    std::unique_ptr<OpenDatabase> m_database;
    std::unique_ptr<Vault> m_vault;
    SecretBytes m_password;
};

} // namespace kv
