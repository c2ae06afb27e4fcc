#include "seal/sodium_start.h"

namespace kv {

bool sodiumReady()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}

} // namespace kv
