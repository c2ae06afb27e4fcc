#pragma once
// The application lock's record: value "101", the enciphered text
// "user|password|" followed by any continuation carried over unchanged.

#include "settings/settings_store.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kv {

// Slot 1 is the user name, slot 2 the password; the others mean nothing here.
using CredentialSlots = std::array<std::string, 5>;

inline constexpr std::int16_t LockRead = 0;
inline constexpr std::int16_t LockWrite = 1;
inline constexpr std::string_view LockValueName = "101";

// Read: fills slots 1 and 2 (trimmed of spaces) from the stored record; a missing,
// empty or malformed record (no "|" once deciphered) leaves the slots unchanged.
// Write: stores slot 1, "|", slot 2, "|" and the stored continuation; refuses (stores
// nothing) when slot 1 or 2 holds a "|" or a character outside Windows-1252, since
// those would not read back as written. Returns whether the write reached the store
// (always true for a read).
bool LockRecordIO(const SettingsStore& store, CredentialSlots& credentials, std::int16_t mode);

// The record text for the given fields and continuation, and its parsing.
struct LockFields
{
    std::string username;
    std::string password;
    std::string continuation; // "|"-terminated fields after the second
};
// False (and `out` untouched) when the text holds no "|" at all.
bool parseLockText(std::string_view decoded, LockFields& out);

} // namespace kv
