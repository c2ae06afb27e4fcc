#include "settings/settings_store.h"

#include "product/product.h"
#include "storage/ansi_text.h"
#include "storage/line_cipher.h"

#include <charconv>
#include <cstdint>
#include <limits>

namespace kv {

namespace {

// A key handle that is closed whichever way the caller leaves.
class OpenedKey
{
public:
    explicit OpenedKey(Registry& reg) : m_reg(reg) {}
    OpenedKey(const OpenedKey&) = delete;
    OpenedKey& operator=(const OpenedKey&) = delete;
    ~OpenedKey() { close(); }

    long open(RegHive hive, std::string_view path, std::uint32_t access)
    {
        close();
        RegKey key = 0;
        const long status = m_reg.openKey(hive, path, access, key);
        if (status == RegSuccess)
            m_key = key;
        return status;
    }
    void close()
    {
        if (m_key != 0)
            m_reg.closeKey(m_key);
        m_key = 0;
    }
    RegKey get() const { return m_key; }

private:
    Registry& m_reg;
    RegKey m_key = 0;
};

// The 32-bit signed number a text stands for, spaces around it allowed.
bool parseNumber(std::string_view text, std::int32_t& out)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty())
        return false;
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return false;
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        return false;
    out = static_cast<std::int32_t>(value);
    return true;
}

} // namespace

std::string SettingsKeyPath()
{
    static const std::string path = "Software\\Orvendale\\" + std::string(AppTitle);
    return path;
}

bool SaveSettingString(Registry& reg, RegHive hive, std::string_view keyPath, std::string_view name,
                       std::string_view text)
{
    try {
        const std::string ansiPath = utf8ToAnsi(keyPath);
        {
            OpenedKey probe(reg);
            if (probe.open(hive, ansiPath, KeyAllSettingsAccess) != RegSuccess)
                CreateSettingsKey(reg, keyPath, hive);
        }
        OpenedKey key(reg);
        if (key.open(hive, ansiPath, KeySetValue) != RegSuccess)
            return false;
        return SetRegistryValue(reg, key.get(), name, RegTypeString, text) == RegSuccess;
    } catch (...) {
        // Running out of memory while converting a text must not take the window down.
        return false;
    }
}

std::string GetSettingString(Registry& reg, RegHive hive, std::string_view keyPath, std::string_view name)
{
    try {
        OpenedKey key(reg);
        if (key.open(hive, utf8ToAnsi(keyPath), KeyQueryValue) != RegSuccess)
            return {};
        std::string value;
        QueryRegistryValue(reg, key.get(), name, value);
        return value;
    } catch (...) {
        return {};
    }
}

void CreateSettingsKey(Registry& reg, std::string_view keyPath, RegHive hive)
{
    RegKey key = 0;
    if (reg.createKey(hive, utf8ToAnsi(keyPath), KeyAllSettingsAccess, key) == RegSuccess && key != 0)
        reg.closeKey(key);
}

long SetRegistryValue(Registry& reg, RegKey key, std::string_view name, std::uint32_t type, std::string_view value)
{
    const std::string ansiName = utf8ToAnsi(name);
    if (type == RegTypeString) {
        std::string data = utf8ToAnsi(value);
        data.push_back('\0');
        return reg.setValue(key, ansiName, RegTypeString, data);
    }
    if (type == RegTypeNumber) {
        std::int32_t number = 0;
        if (!parseNumber(value, number))
            return RegInvalidParameter;
        const auto bits = static_cast<std::uint32_t>(number);
        std::string data(4, '\0');
        for (int i = 0; i < 4; ++i)
            data[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
        return reg.setValue(key, ansiName, RegTypeNumber, data);
    }
    return RegSuccess;
}

long QueryRegistryValue(Registry& reg, RegKey key, std::string_view name, std::string& value)
{
    value.clear();
    long status = RegSuccess;
    try {
        const std::string ansiName = utf8ToAnsi(name);
        std::uint32_t type = 0;
        std::uint32_t size = 0;
        status = reg.queryValue(key, ansiName, type, size, nullptr);
        if (status != RegSuccess)
            return status;

        if (type == RegTypeString) {
            std::string data(size, '\0');
            status = reg.queryValue(key, ansiName, type, size, &data);
            if (status != RegSuccess)
                return status;
            // Another program may have stored the text without its terminating zero;
            // only a zero that is there is dropped, never the last real character.
            if (!data.empty() && data.back() == '\0')
                data.pop_back();
            value = ansiToUtf8(data);
            return status;
        }
        if (type == RegTypeNumber) {
            std::string data(4, '\0');
            status = reg.queryValue(key, ansiName, type, size, &data);
            if (status != RegSuccess)
                return status;
            if (data.size() != 4)
                return -1;
            std::uint32_t bits = 0;
            for (int i = 0; i < 4; ++i)
                bits |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[i])) << (8 * i);
            value = std::to_string(static_cast<std::int32_t>(bits));
            return status;
        }
        return -1;
    } catch (...) {
        value.clear();
        return status;
    }
}

} // namespace kv
