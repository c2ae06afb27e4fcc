#pragma once
// Suggested passwords: digits 1-8 and capitals A-Z, every character drawn
// uniformly and independently from the operating system's secure random source.

#include <string>
#include <string_view>

namespace kv {

inline constexpr std::string_view PasswordAlphabet = "12345678ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// Exactly `length` characters (none for length < 1).
std::string GeneratePassword(int length);

} // namespace kv
