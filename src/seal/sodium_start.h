#pragma once
// libsodium, started once for the whole program.

#include <sodium.h>

namespace kv {

// Whether libsodium is started and usable (it needs the system's secure random
// source); starts it at the first call.
bool sodiumReady();

} // namespace kv
