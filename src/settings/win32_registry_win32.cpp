#include "settings/win32_registry.h"

#include <windows.h>

#include <limits>
#include <string>

namespace kv {

namespace {

HKEY toHkey(RegHive hive)
{
    if (hive == HiveCurrentUser)
        return HKEY_CURRENT_USER;
    // The other predefined keys are built the same way: the 32-bit value, sign-extended.
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(hive)));
}

HKEY toHkey(RegKey key)
{
    return reinterpret_cast<HKEY>(key);
}

RegKey fromHkey(HKEY key)
{
    return reinterpret_cast<RegKey>(key);
}

} // namespace

// The views are copied: the narrow calls want zero-terminated texts.

long Win32Registry::openKey(RegHive hive, std::string_view path, std::uint32_t access, RegKey& key)
{
    key = 0;
    const std::string subKey(path);
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyExA(toHkey(hive), subKey.c_str(), 0, static_cast<REGSAM>(access), &opened);
    if (status == ERROR_SUCCESS)
        key = fromHkey(opened);
    return status;
}

long Win32Registry::createKey(RegHive hive, std::string_view path, std::uint32_t access, RegKey& key)
{
    key = 0;
    const std::string subKey(path);
    HKEY created = nullptr;
    const LONG status = RegCreateKeyExA(toHkey(hive), subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                        static_cast<REGSAM>(access), nullptr, &created, nullptr);
    if (status == ERROR_SUCCESS)
        key = fromHkey(created);
    return status;
}

long Win32Registry::setValue(RegKey key, std::string_view name, std::uint32_t type, std::string_view data)
{
    if (data.size() > std::numeric_limits<DWORD>::max())
        return ERROR_INVALID_PARAMETER;
    const std::string valueName(name);
    return RegSetValueExA(toHkey(key), valueName.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size()));
}

long Win32Registry::queryValue(RegKey key, std::string_view name, std::uint32_t& type, std::uint32_t& size,
                               std::string* data)
{
    const std::string valueName(name);
    DWORD foundType = 0;
    DWORD foundSize = 0;
    if (data == nullptr) {
        const LONG status = RegQueryValueExA(toHkey(key), valueName.c_str(), nullptr, &foundType, nullptr, &foundSize);
        if (status == ERROR_SUCCESS) {
            type = foundType;
            size = foundSize;
        }
        return status;
    }
    // The size asked for first may be stale by now (another program wrote the value,
    // and the narrow call reports room for the wide text): grow the buffer and retry
    // a few times rather than hand back a cut-off value.
    DWORD room = size;
    LONG status = ERROR_MORE_DATA;
    for (int attempt = 0; attempt < 4 && status == ERROR_MORE_DATA; ++attempt) {
        data->assign(room, '\0');
        foundSize = room;
        status = RegQueryValueExA(toHkey(key), valueName.c_str(), nullptr, &foundType,
                                  reinterpret_cast<BYTE*>(data->data()), &foundSize);
        if (status == ERROR_MORE_DATA)
            room = foundSize > room ? foundSize : room + 256;
    }
    if (status != ERROR_SUCCESS) {
        data->clear();
        return status;
    }
    data->resize(foundSize);
    type = foundType;
    size = foundSize;
    return status;
}

long Win32Registry::closeKey(RegKey key)
{
    return RegCloseKey(toHkey(key));
}

} // namespace kv
