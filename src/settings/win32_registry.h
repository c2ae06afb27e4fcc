#pragma once
// The real Windows registry through the narrow Reg*A calls.

#include "settings/registry.h"

#ifdef _WIN32
namespace kv {

class Win32Registry : public Registry
{
public:
    long openKey(RegHive hive, std::string_view path, std::uint32_t access, RegKey& key) override;
    long createKey(RegHive hive, std::string_view path, std::uint32_t access, RegKey& key) override;
    long setValue(RegKey key, std::string_view name, std::uint32_t type, std::string_view data) override;
    long queryValue(RegKey key, std::string_view name, std::uint32_t& type, std::uint32_t& size,
                    std::string* data) override;
    long closeKey(RegKey key) override;
};

} // namespace kv
#endif
