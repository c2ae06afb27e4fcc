#pragma once
// Which of the three databases is open: index 0..2, base name db1..db3.

#include <string>
#include <string_view>

namespace kv {

inline constexpr int DatabaseCount = 3;

// "db" followed by index + 1.
std::string DataFileBaseFor(int index);

// Numeric reading of a stored setting: the decimal number from its leading digits;
// empty text or text that does not begin with a number reads as 0.
long settingNumber(std::string_view text);

// The stored database index, with anything outside 0..2 read as 0.
int databaseIndexFromSetting(std::string_view text);

} // namespace kv
