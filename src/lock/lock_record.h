#pragma once
// The application lock's record: the settings value LockSetting, holding the
// enciphered text "user|password|" followed by any continuation carried over
// unchanged.

#include "settings/settings_store.h"

#include <optional>
#include <string>
#include <string_view>

namespace kv {

struct Credentials
{
    std::string user;
    std::string password;

    bool operator==(const Credentials&) const = default;
};

// The stored log-in, each field trimmed of spaces; nothing when no record is
// stored or it is malformed (no "|" once deciphered). A record whose password is
// empty is disarmed: it locks nothing.
std::optional<Credentials> ReadLockRecord(const SettingsStore& store);

// Stores "user|password|" and the stored continuation. Refuses (stores nothing)
// credentials holding a "|" or a character outside Windows-1252, and a password
// of spaces alone, since those would not read back as written. Returns whether
// the record reached the store.
bool WriteLockRecord(const SettingsStore& store, const Credentials& credentials);

// Whether the log-in is armed with `entry`, the user name and password of an
// entry as they would read back once stored (spaces around them trimmed).
bool IsArmedWith(const SettingsStore& store, const Credentials& entry);

// The record text split into its fields.
struct LockFields
{
    Credentials credentials;
    std::string continuation; // "|"-terminated fields after the second
};
// False (and `out` untouched) when the text holds no "|" at all.
bool parseLockText(std::string_view decoded, LockFields& out);

} // namespace kv
