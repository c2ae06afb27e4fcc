#pragma once
// A REGEDIT4 .reg text file standing for HKEY_CURRENT_USER on platforms without a
// registry. One section per key, "name"="text" strings, dword:xxxxxxxx numbers;
// other value kinds are kept as written. Lines it does not understand survive a
// rewrite unchanged. Every change rewrites the file atomically.

#include "settings/registry.h"
#include "storage/file_ops.h"

#include <filesystem>
#include <map>
#include <string>

namespace kv {

class RegFileRegistry : public Registry
{
public:
    explicit RegFileRegistry(std::filesystem::path file, FileOps& ops = realFileOps());

    long openKey(RegHive hive, std::string_view path, std::uint32_t access, RegKey& key) override;
    long createKey(RegHive hive, std::string_view path, std::uint32_t access, RegKey& key) override;
    long setValue(RegKey key, std::string_view name, std::uint32_t type, std::string_view data) override;
    long queryValue(RegKey key, std::string_view name, std::uint32_t& type, std::uint32_t& size,
                    std::string* data) override;
    long closeKey(RegKey key) override;

    const std::filesystem::path& file() const { return m_file; }

private:
    struct OpenKey
    {
        std::string path; // under HKEY_CURRENT_USER, as the caller spelled it
        std::uint32_t access = 0;
    };
    const OpenKey* findOpen(RegKey key) const;
    RegKey remember(std::string path, std::uint32_t access);

    std::filesystem::path m_file;
    FileOps& m_ops;
    std::map<RegKey, OpenKey> m_open;
    RegKey m_next = 1;
};

// The settings file under the user's configuration folder:
// $XDG_CONFIG_HOME (or ~/.config) / "Orvendale" / "Keystead Vault.reg".
std::filesystem::path defaultSettingsFile();

} // namespace kv
