#pragma once
// A registry as the settings store sees it: the handful of narrow-character calls
// it makes, with the platform's status codes. On Windows the real registry stands
// behind it; elsewhere a REGEDIT4 text file standing for HKEY_CURRENT_USER.

#include <cstdint>
#include <string>
#include <string_view>

namespace kv {

using RegHive = std::uint32_t;
using RegKey = std::uintptr_t; // an open key; 0 is never a valid one

inline constexpr RegHive HiveCurrentUser = 0x80000001u;

// Status codes (the platform's values).
inline constexpr long RegSuccess = 0;
inline constexpr long RegFileNotFound = 2;
inline constexpr long RegAccessDenied = 5;
inline constexpr long RegInvalidHandle = 6;
inline constexpr long RegInvalidParameter = 87;
inline constexpr long RegMoreData = 234;

// Value types.
inline constexpr std::uint32_t RegTypeString = 1; // REG_SZ
inline constexpr std::uint32_t RegTypeBinary = 3; // REG_BINARY
inline constexpr std::uint32_t RegTypeNumber = 4; // REG_DWORD

// Access masks.
inline constexpr std::uint32_t KeyQueryValue = 0x0001;
inline constexpr std::uint32_t KeySetValue = 0x0002;
inline constexpr std::uint32_t KeyAllSettingsAccess = 0x3F;

class Registry
{
public:
    virtual ~Registry() = default;

    // Key paths and value names are Windows-1252 bytes, as the narrow calls take them.
    virtual long openKey(RegHive hive, std::string_view path, std::uint32_t access, RegKey& key) = 0;
    virtual long createKey(RegHive hive, std::string_view path, std::uint32_t access, RegKey& key) = 0;
    // `data` holds the raw value bytes: a string with its terminating zero, a
    // number as four little-endian bytes.
    virtual long setValue(RegKey key, std::string_view name, std::uint32_t type, std::string_view data) = 0;
    // With `data` null: only type and size. Otherwise fills `data` with the bytes.
    virtual long queryValue(RegKey key, std::string_view name, std::uint32_t& type, std::uint32_t& size,
                            std::string* data) = 0;
    virtual long closeKey(RegKey key) = 0;
};

} // namespace kv
