#pragma once
// The settings store: a few string values under one key of the current user.
// Callers use SaveSettingString and GetSettingString; the rest serve them.
// Texts are UTF-8 here and Windows-1252 in the store.

#include "settings/registry.h"

#include <string>
#include <string_view>

namespace kv {

// The values the program keeps under its key.
inline constexpr std::string_view LockSetting = "101";     // the log-in, enciphered
inline constexpr std::string_view GridSetting = "102";     // "Show grid": True or False
inline constexpr std::string_view DatabaseSetting = "103"; // the open database's index, 0 to 2

// "Software\Orvendale\" followed by the application title.
std::string SettingsKeyPath();

// Writes a string value, creating the key when it cannot be opened. True when written.
bool SaveSettingString(Registry& reg, RegHive hive, std::string_view keyPath, std::string_view name,
                       std::string_view text);

// A string as stored, a number as its decimal digits, anything else (absent key or
// value, other type, failure) as the empty text.
std::string GetSettingString(Registry& reg, RegHive hive, std::string_view keyPath, std::string_view name);

void CreateSettingsKey(Registry& reg, std::string_view keyPath, RegHive hive);

// type 1: stores the text plus a terminating zero; type 4: the text as a 32-bit
// number; any other type stores nothing and returns 0.
long SetRegistryValue(Registry& reg, RegKey key, std::string_view name, std::uint32_t type, std::string_view value);

// 0 on success, the platform's status, or -1 for an unsupported type (value empty).
long QueryRegistryValue(Registry& reg, RegKey key, std::string_view name, std::string& value);

// Convenience for the program: the settings key of the current user.
class SettingsStore
{
public:
    explicit SettingsStore(Registry& reg) : m_reg(reg), m_keyPath(SettingsKeyPath()) {}
    std::string get(std::string_view name) const { return GetSettingString(m_reg, HiveCurrentUser, m_keyPath, name); }
    bool save(std::string_view name, std::string_view text) const
    {
        return SaveSettingString(m_reg, HiveCurrentUser, m_keyPath, name, text);
    }
    Registry& registry() const { return m_reg; }

private:
    Registry& m_reg;
    std::string m_keyPath;
};

} // namespace kv
