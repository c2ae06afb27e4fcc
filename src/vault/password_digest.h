#pragma once
// The SHA-1 of a password, as breach lists name passwords: the system's or a
// well-kept library's, never ours. Only ever compared with a list's hashes; never
// shown, stored or sent.

#include <array>
#include <cstdint>
#include <string_view>

namespace kv {

using PasswordDigest = std::array<std::uint8_t, 20>;

// The SHA-1 of `bytes` (a password's UTF-8).
PasswordDigest passwordDigest(std::string_view bytes);

} // namespace kv
