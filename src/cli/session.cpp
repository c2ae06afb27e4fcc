#include "cli/session.h"

#include "storage/database_choice.h"
#include "vault/entry_rules.h"

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
    if (m_vault->load())
        return true;
    failWith(fileFailure("read", *m_database));
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

int Session::failWith(const std::string& message)
{
    // The window names the file alone; here the folder may be any, so the whole name.
    const std::string shortName = m_database->base() + ".ksd";
    std::string text = message;
    const std::size_t at = text.find(shortName);
    if (at != std::string::npos)
        text.replace(at, shortName.size(), dataFileName());
    return fail(text);
}

} // namespace kv
