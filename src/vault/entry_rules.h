#pragma once
// What an entry may hold, as both front ends need it.

#include "storage/record_line.h"

#include <optional>
#include <string>
#include <string_view>

namespace kv {

// Why `record` cannot be stored, or nothing when it can: a "|" or a line break
// in a field, a character outside Windows-1252, or a line too long to store.
std::optional<std::string> entryRefusal(const Record& record);

} // namespace kv
