#include "settings/reg_file_registry.h"
#include "settings/settings_store.h"

#include "../storage/storage_test_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace kv {
namespace {

using test::readFile;
using test::TestFolder;

// Writes go straight to an open key of the file backend, then the raw bytes are read.
class RegistryValues : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(reg.createKey(HiveCurrentUser, SettingsKeyPath(), 0x3F, key), RegSuccess); }
    void TearDown() override { reg.closeKey(key); }

    TestFolder folder;
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
        std::uint32_t type = 0, size = 0;
        std::string data;
        ASSERT_EQ(reg.queryValue(key, "v", type, size, &data), RegSuccess);
        EXPECT_EQ(type, RegTypeString);
        EXPECT_EQ(size, c.bytes.size());
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
        std::string name;
        std::string text;
        long status;
        std::string line; // empty: nothing may be stored
        std::string readBack;
    };
    const Case cases[] = {
        {"n1", "2", RegSuccess, "\"n1\"=dword:00000002", "2"},
        {"n2", " 4096 ", RegSuccess, "\"n2\"=dword:00001000", "4096"},
        {"n3", "-1", RegSuccess, "\"n3\"=dword:ffffffff", "-1"},
        {"n4", "2147483647", RegSuccess, "\"n4\"=dword:7fffffff", "2147483647"},
        {"n5", "2147483648", RegInvalidParameter, "", ""},
        {"n6", "abc", RegInvalidParameter, "", ""},
        {"n7", "", RegInvalidParameter, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(SetRegistryValue(reg, key, c.name, RegTypeNumber, c.text), c.status);
        const std::string file = readFile(folder / "s.reg");
        EXPECT_EQ(file.find('"' + c.name + '"') == std::string::npos, c.line.empty());
        if (!c.line.empty()) {
            EXPECT_NE(file.find(c.line + "\r\n"), std::string::npos) << file;
        }
        std::string value;
        QueryRegistryValue(reg, key, c.name, value);
        EXPECT_EQ(value, c.readBack);
    }
}

TEST_F(RegistryValues, OtherTypesAreNeitherStoredNorRead)
{
    EXPECT_EQ(SetRegistryValue(reg, key, "b", RegTypeBinary, "x"), RegSuccess);
    std::string value = "stale";
    EXPECT_EQ(QueryRegistryValue(reg, key, "b", value), RegFileNotFound);
    EXPECT_EQ(value, "");

    ASSERT_EQ(reg.setValue(key, "b", RegTypeBinary, std::string("\x01\x02", 2)), RegSuccess);
    EXPECT_NE(readFile(folder / "s.reg").find("\"b\"=hex:01,02\r\n"), std::string::npos);
    value = "stale";
    EXPECT_EQ(QueryRegistryValue(reg, key, "b", value), -1);
    EXPECT_EQ(value, "");
}

// Records what the store asks of the registry, so the Windows protocol (access
// masks, one handle at a time, every handle closed) shows without Windows.
class RecordingRegistry : public Registry
{
public:
    explicit RecordingRegistry(Registry& inner) : m_inner(inner) {}

    long openKey(RegHive h, std::string_view p, std::uint32_t a, RegKey& k) override
    {
        return opened("open " + std::to_string(a), m_inner.openKey(h, p, a, k));
    }
    long createKey(RegHive h, std::string_view p, std::uint32_t a, RegKey& k) override
    {
        return opened("create " + std::to_string(a), m_inner.createKey(h, p, a, k));
    }
    long setValue(RegKey k, std::string_view n, std::uint32_t t, std::string_view d) override
    {
        return note("set " + std::to_string(t), m_inner.setValue(k, n, t, d));
    }
    long queryValue(RegKey k, std::string_view n, std::uint32_t& t, std::uint32_t& s, std::string* d) override
    {
        return note(d ? "query data" : "query size", m_inner.queryValue(k, n, t, s, d));
    }
    long closeKey(RegKey k) override
    {
        --open;
        return note("close", m_inner.closeKey(k));
    }

    std::vector<std::string> log;
    int open = 0;

private:
    long note(const std::string& what, long status)
    {
        log.push_back(what + " -> " + std::to_string(status));
        return status;
    }
    long opened(const std::string& what, long status)
    {
        open += status == RegSuccess;
        return note(what, status);
    }

    Registry& m_inner;
};

TEST(SettingsProtocol, AccessMasksAndHandles)
{
    using Log = std::vector<std::string>;
    TestFolder folder;
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
         Log{"open 63 -> 2", "create 63 -> 0", "close -> 0", "open 2 -> 0", "set 1 -> 0", "close -> 0"});
    step([&] { EXPECT_TRUE(SaveSettingString(reg, HiveCurrentUser, path, "103", "2")); },
         Log{"open 63 -> 0", "close -> 0", "open 2 -> 0", "set 1 -> 0", "close -> 0"});
    step([&] { EXPECT_EQ(GetSettingString(reg, HiveCurrentUser, path, "103"), "2"); },
         Log{"open 1 -> 0", "query size -> 0", "query data -> 0", "close -> 0"});
    step([&] { EXPECT_EQ(GetSettingString(reg, HiveCurrentUser, path, "104"), ""); },
         Log{"open 1 -> 0", "query size -> 2", "close -> 0"});
}

} // namespace
} // namespace kv
