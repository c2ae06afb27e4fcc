#pragma once
// Who the program is: the names every room agrees on.

#include <string_view>

namespace kv {

// The application title: the settings key's last part, the line cipher's key,
// the service name of the log-in entry, and the head of message captions.
inline constexpr std::string_view AppTitle = "Keystead Vault";
// The main window's own caption.
inline constexpr std::string_view WindowTitle = "Keystead Vault Plus";

} // namespace kv
