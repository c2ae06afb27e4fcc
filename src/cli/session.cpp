#include "cli/session.h"

#include "seal/seal_key.h"
#include "storage/database_choice.h"

namespace kv {

std::filesystem::path pathFromUtf8(const std::string& name)
{
    return std::filesystem::path(std::u8string(name.begin(), name.end()));
}

std::string utf8Of(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string whyUnreadable(const std::filesystem::path& file, FileError reason)
{
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(file, error);
    if (error == std::errc::too_many_symbolic_link_levels)
        return ": too many levels of links";
    if (error == std::errc::permission_denied)
        return ": permission denied";
    if (status.type() == std::filesystem::file_type::not_found)
        return ": no such file";
    if (status.type() == std::filesystem::file_type::directory)
        return ": it is a folder";
    if (!error && status.type() != std::filesystem::file_type::regular)
        return ": it is not a regular file";
    return std::string(reasonText(reason));
}

std::string entryCount(std::size_t count)
{
    return std::to_string(count) + (count == 1 ? " entry" : " entries");
}

Session::Session(CliEnvironment& env, Arguments args) : m_env(env), m_args(std::move(args)), m_settings(*env.registry)
{
    const std::string* folder = m_args.value("data-dir");
    const bool ownFolder = folder == nullptr;
    m_database = std::make_unique<OpenDatabase>(ownFolder ? m_env.dataFolder : pathFromUtf8(*folder), fileOps(),
                                                ownFolder && m_env.dataFolderIsPrivate);
    // Checked by the caller: "1" to "3".
    const std::string* number = m_args.value("database");
    const int index = number ? (*number)[0] - '1' : databaseIndexFromSetting(m_settings.get(DatabaseSetting));
    m_database->choose(DataFileBaseFor(index));
    m_vault = std::make_unique<Vault>(*m_database, m_settings);
}

bool Session::load()
{
    if (!openSealed())
        return false;
    // A file sealed anew since its key was opened was changed outside the program.
    const DatabaseResult loaded = m_vault->load();
    if (loaded)
        return true;
    failWith(loaded);
    return false;
}

bool Session::openSealed()
{
    if (const DatabaseResult read = m_database->readSealHeader(); !read) {
        failWith(read);
        return false;
    }
    if (!m_database->shut())
        return true;
    std::optional<SecretBytes> password = askSecret("Password for " + m_database->base() + ".ksd: ");
    if (!password) {
        fail("no password for " + dataFileName());
        return false;
    }
    std::shared_ptr<const LineSeal> key = openKey(m_database->sealHeader(), *password, dataFileName());
    if (!key)
        return false;
    m_password = std::move(*password);
    m_database->setKey(std::move(key));
    return true;
}

std::optional<SecretBytes> Session::askSecret(std::string_view prompt)
{
    std::optional<std::string> line = console().inputIsTerminal() ? console().ask(prompt, false) : console().readLine();
    if (!line)
        return std::nullopt;
    try {
        return SecretBytes::takeFrom(*line);
    } catch (...) {
        wipe(*line);
        return std::nullopt;
    }
}

std::shared_ptr<const LineSeal> Session::openKey(std::string_view header, const SecretBytes& password,
                                                 const std::string& name)
{
    std::shared_ptr<const LineSeal> key;
    switch (openSealKey(header, password.view(), key)) {
    case KeyOpening::Opened:
        return key;
    case KeyOpening::WrongPassword:
        fail("Wrong password for " + name);
        break;
    case KeyOpening::Damaged:
        fail("the seal of " + name + " is damaged, so it cannot be opened");
        break;
    case KeyOpening::Unsupported:
        fail(name + " is sealed in a way this version cannot open");
        break;
    case KeyOpening::OutOfBounds:
        fail(name + " asks for a key derivation beyond what this program allows, so it is not opened");
        break;
    case KeyOpening::Failed:
        fail("could not open " + name + ": not enough memory");
        break;
    }
    return nullptr;
}

std::shared_ptr<const LineSeal> Session::newKey(const SecretBytes& password) const
{
    return newSealKey(password.view(), m_env.sealMemoryKiB, m_env.sealPasses);
}

bool Session::readFile(const std::string& name, std::string& content)
{
    const std::filesystem::path file = pathFromUtf8(name);
    const FileResult read = fileOps().readAll(file, content);
    if (read)
        return true;
    fail("Could not read " + name + whyUnreadable(file, read.error()));
    return false;
}

std::string Session::dataFileName() const
{
    return utf8Of(dataFilePath(m_database->folder(), m_database->base()));
}

int Session::fail(std::string_view message)
{
    console().err() << CliName << ": " << message << '\n';
    return ExitFailure;
}

// The window names the file alone; here the folder may be any, so the whole name.
int Session::failWith(const Outcome& outcome)
{
    return fail(describe(outcome, dataFileName()));
}

int Session::failWith(const DatabaseResult& result)
{
    return fail(describe(result, dataFileName()));
}

} // namespace kv
