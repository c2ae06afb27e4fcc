#pragma once
// Where an installed program keeps the user's databases: a folder of the user's
// own, since the program's folder is not the user's to write.

#include <filesystem>

namespace kv {

// $XDG_DATA_HOME/keystead-vault (by default ~/.local/share/keystead-vault), or on
// Windows %APPDATA%\Orvendale\Keystead Vault. Empty when neither the variable nor
// a home folder is known.
std::filesystem::path userDataFolder();

} // namespace kv
