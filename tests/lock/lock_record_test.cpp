#include "lock/lock_record.h"

#include "settings/reg_file_registry.h"
#include "storage/line_cipher.h"

#include "../storage/storage_test_support.h"
#include "product/product.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

class LockRecord : public ::testing::Test
{
protected:
    void storeRaw(std::string_view cipher) { ASSERT_TRUE(store.save(LockSetting, cipher)); }
    void storePlain(std::string_view text) { storeRaw(EncodeLine(text, AppTitle)); }
    // The stored record deciphered, filler included.
    std::string storedPlain() const { return DecodeLine(store.get(LockSetting), AppTitle); }

    // What is stored, or "keep user" / "keep pass" when nothing is.
    Credentials read() { return ReadLockRecord(store).value_or(Credentials{"keep user", "keep pass"}); }
    bool write(std::string user, std::string password)
    {
        return WriteLockRecord(store, {std::move(user), std::move(password)});
    }

    test::TestFolder folder;
    RegFileRegistry reg{folder / "s.reg"};
    SettingsStore store{reg};
};

TEST_F(LockRecord, ReadsTheStoredFields)
{
    struct Case
    {
        std::string plain;
        std::string user;
        std::string password;
    };
    const Case cases[] = {
        {"u|p|", "u", "p"},
        {"  u  |  p  |", "u", "p"},
        {"\tu\t|p |", "\tu\t", "p"}, // only spaces are trimmed
        {"u||", "u", ""},
        {"||", "", ""},
        {"u|", "u", ""},
        {"u|p|extra|more|", "u", "p"},
        {"u|p|tail without bar", "u", "p"},
        {"Caf\xC3\xA9 user|p\xC3\xA9ss word|", "Caf\xC3\xA9 user", "p\xC3\xA9ss word"},
        {"a long user name here|and its long password|", "a long user name here", "and its long password"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.plain);
        storePlain(c.plain);
        const Credentials stored = read();
        EXPECT_EQ(stored.user, c.user);
        EXPECT_EQ(stored.password, c.password);
    }
}

// Mended fault: a record without any "|" has no defined meaning; it reads as no lock.
TEST_F(LockRecord, AbsentOrMalformedRecordReadsAsNone)
{
    const std::string cases[] = {
        "", // absent or empty value
        EncodeLine("no bar at all", AppTitle),
        EncodeLine("", AppTitle), // deciphers to filler only
        "NOT HEX|u|p|",           // DecodeLine gives empty text
        EncodeLine("u|p|", AppTitle) + "Z",
    };
    for (const std::string& cipher : cases) {
        SCOPED_TRACE(cipher);
        storeRaw(cipher);
        const Credentials stored = read();
        EXPECT_EQ(stored.user, "keep user");
        EXPECT_EQ(stored.password, "keep pass");
    }
}

TEST_F(LockRecord, WriteKeepsTheStoredContinuation)
{
    ASSERT_TRUE(write("u", "p"));
    EXPECT_TRUE(storedPlain().starts_with("u|p|."));

    storePlain("old|secret|third|fourth|");
    ASSERT_TRUE(write("new user", "new pass"));
    EXPECT_EQ(storedPlain(), "new user|new pass|third|fourth|");

    // Disarming keeps the record, starting with "||".
    ASSERT_TRUE(write("", ""));
    EXPECT_EQ(storedPlain(), "||third|fourth|");
    EXPECT_EQ(read().password, "");

    // Nothing worth keeping in a malformed record.
    storeRaw("garbage");
    ASSERT_TRUE(write("u", "p"));
    LockFields fields;
    ASSERT_TRUE(parseLockText(storedPlain(), fields));
    EXPECT_EQ(fields.credentials.user, "u");
    EXPECT_EQ(fields.credentials.password, "p");
    EXPECT_EQ(fields.continuation, "");
}

TEST_F(LockRecord, WrittenCredentialsReadBack)
{
    struct Case
    {
        std::string user;
        std::string password;
        std::string readPassword;
    };
    const Case cases[] = {
        {"user", "", ""}, // a user name with no password: stored, and locks nothing
        {"User", "pass  ", "pass"},
        {"\xC3\xA9mile", "\xE2\x82\xACuro", "\xE2\x82\xACuro"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.user + "/" + c.password);
        ASSERT_TRUE(write(c.user, c.password));
        const Credentials stored = read();
        EXPECT_EQ(stored.user, c.user);
        EXPECT_EQ(stored.password, c.readPassword);
    }
}

// Mended fault: credentials that would not read back as typed would lock the user
// out, so they are refused and the stored record stays as it was.
TEST_F(LockRecord, RefusesCredentialsThatCannotBeStored)
{
    ASSERT_TRUE(write("u", "p"));
    const std::string before = store.get(LockSetting);
    const std::pair<std::string, std::string> cases[] = {
        {"a|b", "p"},          {"u", "p|q"}, {"u", "check \xE2\x9C\x93"},
        {"\xE2\x9C\x93", "p"}, {"u", "   "}, // read back trimmed: no password, no lock
    };
    for (const auto& [user, password] : cases) {
        SCOPED_TRACE(user + "/" + password);
        EXPECT_FALSE(write(user, password));
        EXPECT_EQ(store.get(LockSetting), before);
    }
}

} // namespace
} // namespace kv
