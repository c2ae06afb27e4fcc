#include "settings/reg_file_registry.h"
#include "settings/settings_store.h"

#include "settings_test_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace kv {
namespace {

using test::SettingsFolder;
using test::slurp;

// Writes go straight to an open key of the file backend, then the raw bytes are read.
class RegistryValues : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(reg.createKey(HiveCurrentUser, SettingsKeyPath(), 0x3F, key), RegSuccess); }
    void TearDown() override { reg.closeKey(key); }

    long rawQuery(std::string_view name, std::uint32_t& type, std::string& data)
    {
        std::uint32_t size = 0;
        const long status = reg.queryValue(key, name, type, size, &data);
        EXPECT_EQ(size, data.size());
        return status;
    }

    SettingsFolder folder;
    RegFileRegistry reg{folder / "s.reg"};
    RegKey key = 0;
};

TEST_F(RegistryValues, StringsAreStoredWithTheirTerminatingZero)
{
    struct Case
    {
        std::string text;
        std::string bytes;
    };
    const Case cases[] = {
        {"", std::string(1, '\0')},
        {"abc", std::string("abc\0", 4)},
        {"caf\xC3\xA9", std::string("caf\xE9\0", 5)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ASSERT_EQ(SetRegistryValue(reg, key, "v", RegTypeString, c.text), RegSuccess);
        std::uint32_t type = 0;
        std::string data;
        ASSERT_EQ(rawQuery("v", type, data), RegSuccess);
        EXPECT_EQ(type, RegTypeString);
        EXPECT_EQ(data, c.bytes);
        std::string value = "stale";
        EXPECT_EQ(QueryRegistryValue(reg, key, "v", value), RegSuccess);
        EXPECT_EQ(value, c.text);
    }
}

TEST_F(RegistryValues, NumbersAreStoredAsDwords)
{
    struct Case
    {
        std::string text;
        long status;
        std::string line; // empty: nothing may be stored
        std::string readBack;
    };
    const Case cases[] = {
        {"2", RegSuccess, "\"n\"=dword:00000002", "2"},
        {" 4096 ", RegSuccess, "\"n\"=dword:00001000", "4096"},
        {"-1", RegSuccess, "\"n\"=dword:ffffffff", "-1"},
        {"2147483647", RegSuccess, "\"n\"=dword:7fffffff", "2147483647"},
        {"2147483648", RegInvalidParameter, "", ""},
        {"abc", RegInvalidParameter, "", ""},
        {"", RegInvalidParameter, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        SettingsFolder own;
        RegFileRegistry fresh(own / "s.reg");
        RegKey k = 0;
        ASSERT_EQ(fresh.createKey(HiveCurrentUser, SettingsKeyPath(), 0x3F, k), RegSuccess);
        EXPECT_EQ(SetRegistryValue(fresh, k, "n", RegTypeNumber, c.text), c.status);
        const std::string file = slurp(own / "s.reg");
        if (c.line.empty()) {
            EXPECT_EQ(file.find("\"n\""), std::string::npos);
        } else {
            EXPECT_NE(file.find(c.line + "\r\n"), std::string::npos) << file;
        }
        std::string value;
        QueryRegistryValue(fresh, k, "n", value);
        EXPECT_EQ(value, c.readBack);
        fresh.closeKey(k);
    }
}

TEST_F(RegistryValues, OtherTypesAreNeitherStoredNorRead)
{
    EXPECT_EQ(SetRegistryValue(reg, key, "b", RegTypeBinary, "x"), RegSuccess);
    std::string value = "stale";
    EXPECT_EQ(QueryRegistryValue(reg, key, "b", value), RegFileNotFound);
    EXPECT_EQ(value, "");

    ASSERT_EQ(reg.setValue(key, "b", RegTypeBinary, std::string("\x01\x02", 2)), RegSuccess);
    EXPECT_NE(slurp(folder / "s.reg").find("\"b\"=hex:01,02\r\n"), std::string::npos);
    value = "stale";
    EXPECT_EQ(QueryRegistryValue(reg, key, "b", value), -1);
    EXPECT_EQ(value, "");
}

TEST_F(RegistryValues, HandlesCarryTheirAccess)
{
    RegKey readOnly = 0;
    ASSERT_EQ(reg.openKey(HiveCurrentUser, SettingsKeyPath(), KeyQueryValue, readOnly), RegSuccess);
    EXPECT_EQ(SetRegistryValue(reg, readOnly, "v", RegTypeString, "x"), RegAccessDenied);
    EXPECT_EQ(reg.closeKey(readOnly), RegSuccess);
    EXPECT_EQ(reg.closeKey(readOnly), RegInvalidHandle);
    std::string value;
    EXPECT_EQ(QueryRegistryValue(reg, readOnly, "v", value), RegInvalidHandle);
}

// Records what the store asks of the registry, so the Windows protocol (access
// masks, one handle at a time, every handle closed) shows without Windows.
class RecordingRegistry : public Registry
{
public:
    explicit RecordingRegistry(Registry& inner) : m_inner(inner) {}

    long openKey(RegHive hive, std::string_view path, std::uint32_t access, RegKey& key) override
    {
        const long status = m_inner.openKey(hive, path, access, key);
        log.push_back("open " + std::to_string(access) + " -> " + std::to_string(status));
        open += status == RegSuccess;
        return status;
    }
    long createKey(RegHive hive, std::string_view path, std::uint32_t access, RegKey& key) override
    {
        const long status = m_inner.createKey(hive, path, access, key);
        log.push_back("create " + std::to_string(access) + " -> " + std::to_string(status));
        open += status == RegSuccess;
        return status;
    }
    long setValue(RegKey key, std::string_view name, std::uint32_t type, std::string_view data) override
    {
        log.push_back("set " + std::to_string(type));
        return m_inner.setValue(key, name, type, data);
    }
    long queryValue(RegKey key, std::string_view name, std::uint32_t& type, std::uint32_t& size,
                    std::string* data) override
    {
        const long status = m_inner.queryValue(key, name, type, size, data);
        log.push_back(std::string(data ? "query data" : "query size") + " -> " + std::to_string(status));
        return status;
    }
    long closeKey(RegKey key) override
    {
        log.push_back("close");
        open -= m_inner.closeKey(key) == RegSuccess;
        return RegSuccess;
    }

    std::vector<std::string> log;
    int open = 0;

private:
    Registry& m_inner;
};

TEST(SettingsProtocol, AccessMasksAndHandles)
{
    using Log = std::vector<std::string>;
    SettingsFolder folder;
    RegFileRegistry file(folder / "s.reg");
    RecordingRegistry reg(file);
    const auto step = [&](auto action, const Log& expected) {
        reg.log.clear();
        action();
        EXPECT_EQ(reg.log, expected);
        EXPECT_EQ(reg.open, 0);
    };
    const std::string path = SettingsKeyPath();

    step([&] { GetSettingString(reg, HiveCurrentUser, path, "103"); }, Log{"open 1 -> 2"});
    step([&] { EXPECT_TRUE(SaveSettingString(reg, HiveCurrentUser, path, "103", "1")); },
         Log{"open 63 -> 2", "create 63 -> 0", "close", "open 2 -> 0", "set 1", "close"});
    step([&] { EXPECT_TRUE(SaveSettingString(reg, HiveCurrentUser, path, "103", "2")); },
         Log{"open 63 -> 0", "close", "open 2 -> 0", "set 1", "close"});
    step([&] { EXPECT_EQ(GetSettingString(reg, HiveCurrentUser, path, "103"), "2"); },
         Log{"open 1 -> 0", "query size -> 0", "query data -> 0", "close"});
    step([&] { EXPECT_EQ(GetSettingString(reg, HiveCurrentUser, path, "104"), ""); },
         Log{"open 1 -> 0", "query size -> 2", "close"});
}

} // namespace
} // namespace kv
