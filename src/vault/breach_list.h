#pragma once
// A list of breached passwords on the user's own disk, in the form the public
// "Pwned Passwords" SHA-1 download has: one "HASH:COUNT" line per password (40
// hex digits, how often it was seen), sorted by hash, lines ending in CR LF or LF.
// The full list runs to tens of gigabytes, so it is searched where it lies, a few
// kilobytes read per password, never read whole. Nothing is ever sent anywhere.

#include "vault/password_digest.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace kv {

struct BreachLookup
{
    enum class Result {
        Done,       // `counts` holds what the list says
        Unreadable, // the file could not be opened or read, or is no regular file
        NotAList,   // a line that is no "HASH:COUNT", at byte `where`
        Unsorted,   // the hashes are out of order near byte `where`: a search would miss
    };
    Result result = Result::Done;
    std::uint64_t where = 0;
    // For each digest asked about, in the order asked: how often the list has seen
    // it, 0 when it is not in the list.
    std::vector<std::uint64_t> counts;
};

// Looks each of `digests` up in the list `file` (any order; the same digest may
// come more than once).
BreachLookup lookUpBreaches(const std::filesystem::path& file, std::span<const PasswordDigest> digests);

} // namespace kv
