// The settings store over the real Windows registry. What the store wrote is read
// back with the system's own narrow calls, not through the code under test.
//
// The values go under the program's real key, with names the program never uses,
// and are removed again afterwards (with the key, when the test made it) unless
// KV_KEEP_TEST_REGISTRY is set, so a throwaway Wine prefix can be looked at.

#include "settings/settings_store.h"
#include "settings/win32_registry.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace kv {
namespace {

// The store's constants are the platform's, so the portable code and the .reg file
// backend speak the same numbers as the real registry.
static_assert(RegSuccess == ERROR_SUCCESS && RegFileNotFound == ERROR_FILE_NOT_FOUND &&
              RegAccessDenied == ERROR_ACCESS_DENIED && RegInvalidHandle == ERROR_INVALID_HANDLE &&
              RegInvalidParameter == ERROR_INVALID_PARAMETER && RegMoreData == ERROR_MORE_DATA);
static_assert(RegTypeString == REG_SZ && RegTypeBinary == REG_BINARY && RegTypeNumber == REG_DWORD);
static_assert(KeyQueryValue == KEY_QUERY_VALUE && KeySetValue == KEY_SET_VALUE &&
              KeyAllSettingsAccess == (KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_ENUMERATE_SUB_KEYS |
                                       KEY_NOTIFY | KEY_CREATE_LINK));

struct Stored
{
    LONG status = ERROR_FILE_NOT_FOUND;
    DWORD type = REG_NONE;
    std::string bytes;
};

Stored readRaw(const std::string& keyPath, const std::string& name)
{
    Stored stored;
    HKEY key = nullptr;
    stored.status = ::RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_QUERY_VALUE, &key);
    if (stored.status != ERROR_SUCCESS)
        return stored;
    std::string buffer(1 << 16, '\x7F');
    DWORD size = static_cast<DWORD>(buffer.size());
    stored.status =
        ::RegQueryValueExA(key, name.c_str(), nullptr, &stored.type, reinterpret_cast<BYTE*>(buffer.data()), &size);
    ::RegCloseKey(key);
    if (stored.status == ERROR_SUCCESS)
        stored.bytes = buffer.substr(0, size);
    return stored;
}

bool keyExists(const std::string& keyPath)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(key);
    return true;
}

LONG writeRaw(const std::string& keyPath, const std::string& name, DWORD type, const std::string& bytes)
{
    HKEY key = nullptr;
    LONG status = ::RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_SET_VALUE, &key);
    if (status != ERROR_SUCCESS)
        return status;
    status = ::RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                              static_cast<DWORD>(bytes.size()));
    ::RegCloseKey(key);
    return status;
}

std::string dword(DWORD value)
{
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

// Takes away what a test left under the program's key, so a developer's own
// settings are as they were.
class RegistryCleanup
{
public:
    RegistryCleanup() : m_parentExisted(keyExists(Parent)), m_keyExisted(keyExists(SettingsKeyPath())) {}
    RegistryCleanup(const RegistryCleanup&) = delete;
    RegistryCleanup& operator=(const RegistryCleanup&) = delete;
    ~RegistryCleanup()
    {
        if (std::getenv("KV_KEEP_TEST_REGISTRY") != nullptr)
            return;
        HKEY key = nullptr;
        if (::RegOpenKeyExA(HKEY_CURRENT_USER, SettingsKeyPath().c_str(), 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            for (const std::string& name : m_names)
                ::RegDeleteValueA(key, name.c_str());
            ::RegCloseKey(key);
        }
        if (!m_keyExisted)
            ::RegDeleteKeyA(HKEY_CURRENT_USER, SettingsKeyPath().c_str());
        if (!m_parentExisted)
            ::RegDeleteKeyA(HKEY_CURRENT_USER, Parent);
    }

    bool keyExisted() const { return m_keyExisted; }
    // Removed afterwards, under the program's key.
    void valueWritten(const std::string& name) { m_names.push_back(name); }

    static constexpr const char* Parent = "Software\\Orvendale";

private:
    bool m_parentExisted;
    bool m_keyExisted;
    std::vector<std::string> m_names;
};

// One test for everything under the program's key: ctest runs tests in parallel
// processes, and the first write must really be the first.
TEST(Win32Registry, SettingsKeyValuesAsTheProgramWritesAndReadsThem)
{
    Win32Registry reg;
    RegistryCleanup cleanup;
    const std::string keyPath = SettingsKeyPath();
    ASSERT_EQ(keyPath, "Software\\Orvendale\\Keystead Vault");

    const std::string first = "kv-test first";
    cleanup.valueWritten(first);
    if (!cleanup.keyExisted()) {
        EXPECT_EQ(GetSettingString(reg, HiveCurrentUser, keyPath, first), "");
        EXPECT_FALSE(keyExists(keyPath)); // reading never creates the key
    }
    ASSERT_TRUE(SaveSettingString(reg, HiveCurrentUser, keyPath, first, "1"));
    EXPECT_TRUE(keyExists(keyPath));

    struct Case
    {
        std::string name;
        std::optional<std::string> saved; // written by the store; otherwise `raw` by the test
        DWORD rawType;
        std::string raw;
        bool westernOnly; // the narrow calls convert with the system's code page
        DWORD storedType;
        std::string storedBytes;
        std::string readBack;
    };
    const std::string longText(5000, 'x');
    const Case cases[] = {
        {"kv-test text", "True", 0, "", false, REG_SZ, std::string("True\0", 5), "True"},
        {"kv-test empty", "", 0, "", false, REG_SZ, std::string(1, '\0'), ""},
        {"kv-test western", "Caf\u00E9 \u20AC5", 0, "", true, REG_SZ, std::string("Caf\xE9 \x80\x35\0", 8),
         "Caf\u00E9 \u20AC5"},
        {"kv-test outside", "\u4E2D|x", 0, "", false, REG_SZ, std::string("?|x\0", 4), "?|x"},
        {"kv-test long", longText, 0, "", false, REG_SZ, longText + '\0', longText},
        {"kv-test dword", std::nullopt, REG_DWORD, dword(2), false, REG_DWORD, dword(2), "2"},
        {"kv-test negative", std::nullopt, REG_DWORD, dword(0xFFFFFFFF), false, REG_DWORD, dword(0xFFFFFFFF), "-1"},
        {"kv-test binary", std::nullopt, REG_BINARY, std::string("2\0", 2), false, REG_BINARY, std::string("2\0", 2),
         ""},
        {"kv-test expand", std::nullopt, REG_EXPAND_SZ, std::string("%TEMP%\0", 7), false, REG_EXPAND_SZ,
         std::string("%TEMP%\0", 7), ""},
        // Written by another program without its terminating zero: no real character is lost.
        {"kv-test unterminated", std::nullopt, REG_SZ, "abc", false, REG_SZ, "abc", "abc"},
    };
    const bool western = ::GetACP() == 1252;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.westernOnly && !western)
            continue;
        cleanup.valueWritten(c.name);
        if (c.saved) {
            // Overwriting a longer text must not leave its tail behind.
            ASSERT_TRUE(SaveSettingString(reg, HiveCurrentUser, keyPath, c.name, "a longer earlier text"));
            ASSERT_TRUE(SaveSettingString(reg, HiveCurrentUser, keyPath, c.name, *c.saved));
        } else {
            ASSERT_EQ(writeRaw(keyPath, c.name, c.rawType, c.raw), ERROR_SUCCESS);
        }
        const Stored stored = readRaw(keyPath, c.name);
        ASSERT_EQ(stored.status, ERROR_SUCCESS);
        EXPECT_EQ(stored.type, c.storedType);
        if (stored.type == REG_SZ && c.raw == "abc") {
            // The narrow call may add the zero the value lacks.
            EXPECT_EQ(stored.bytes.substr(0, 3), "abc");
        } else {
            EXPECT_EQ(stored.bytes.size(), c.storedBytes.size());
            EXPECT_EQ(stored.bytes, c.storedBytes);
        }
        EXPECT_EQ(GetSettingString(reg, HiveCurrentUser, keyPath, c.name), c.readBack);
    }

    EXPECT_EQ(GetSettingString(reg, HiveCurrentUser, keyPath, "kv-test never written"), "");
    const std::string missingKey = keyPath + "\\kv-test no such key";
    EXPECT_EQ(GetSettingString(reg, HiveCurrentUser, missingKey, first), "");
    EXPECT_FALSE(keyExists(missingKey));
}

// The backend hands back the platform's status codes and honours the access a key
// was opened with, which is what lets the store create the key only when needed.
TEST(Win32Registry, ReportsThePlatformsStatus)
{
    Win32Registry reg;
    // Away from the program's key, which the other test watches being created.
    const std::string scratch = "Software\\kv-test scratch " + std::to_string(::GetCurrentProcessId());
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(HKEY_CURRENT_USER), static_cast<ULONG_PTR>(LONG(HiveCurrentUser)));
    RegKey key = 0;
    EXPECT_EQ(reg.openKey(HiveCurrentUser, scratch, KeyQueryValue, key), RegFileNotFound);
    EXPECT_EQ(key, 0u);
    ASSERT_EQ(reg.createKey(HiveCurrentUser, scratch, KeyAllSettingsAccess, key), RegSuccess);
    ASSERT_NE(key, 0u);
    EXPECT_EQ(reg.closeKey(key), RegSuccess);

    ASSERT_EQ(reg.openKey(HiveCurrentUser, scratch, KeyQueryValue, key), RegSuccess);
    EXPECT_EQ(reg.setValue(key, "v", RegTypeString, std::string("x\0", 2)), RegAccessDenied);
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    EXPECT_EQ(reg.queryValue(key, "v", type, size, nullptr), RegFileNotFound);
    EXPECT_EQ(reg.closeKey(key), RegSuccess);

    ASSERT_EQ(reg.openKey(HiveCurrentUser, scratch, KeySetValue, key), RegSuccess);
    EXPECT_EQ(SetRegistryValue(reg, key, "v", RegTypeString, "x"), RegSuccess);
    EXPECT_EQ(reg.queryValue(key, "v", type, size, nullptr), RegAccessDenied);
    EXPECT_EQ(reg.closeKey(key), RegSuccess);

    ASSERT_EQ(reg.openKey(HiveCurrentUser, scratch, KeyQueryValue, key), RegSuccess);
    std::string value;
    EXPECT_EQ(QueryRegistryValue(reg, key, "v", value), RegSuccess);
    EXPECT_EQ(value, "x");
    EXPECT_EQ(reg.closeKey(key), RegSuccess);

    EXPECT_EQ(::RegDeleteKeyA(HKEY_CURRENT_USER, scratch.c_str()), ERROR_SUCCESS);
}

} // namespace
} // namespace kv
