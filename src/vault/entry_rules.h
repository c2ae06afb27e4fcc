#pragma once
// What an entry may hold, and the words for what went wrong with the file, as
// both front ends say them.

#include "storage/open_database.h"
#include "storage/record_line.h"

#include <optional>
#include <string>
#include <string_view>

namespace kv {

// Why `record` cannot be stored, or nothing when it can: a "|" or a line break
// in a field, a character outside Windows-1252, or a line too long to store.
std::optional<std::string> entryRefusal(const Record& record);

// "Could not <verb> db1.ksd", and why where the system said.
std::string fileFailure(std::string_view verb, const OpenDatabase& database);

} // namespace kv
