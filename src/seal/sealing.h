#pragma once
// A sealed database: a header line that says how the key is made from the
// password, then one line per entry, its record line encrypted under that key.
// Argon2id makes the key and XChaCha20-Poly1305 encrypts, both libsodium's.
//
// The header, one line:
//   *KVSEAL 1 argon2id m=<KiB> t=<passes> salt=<32 hex> check=<64 hex> sum=<32 hex>
// `check` is a keyed hash of the text before it (a wrong password is told from a
// damaged file), `sum` an unkeyed hash of the text before it (a damaged header is
// told from a wrong password). A sealed line is "~" and the URL-safe Base64 of 24
// random nonce bytes and the encrypted, authenticated record line, with the whole
// header line as associated data. Neither can be taken for a line of the fixed-key
// format, which is hexadecimal digits alone.

#include "seal/secret_bytes.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

// What the key derivation may ask for; a header outside these bounds is refused
// before anything is allocated.
inline constexpr std::uint64_t MinSealMemoryKiB = 64 * 1024;
inline constexpr std::uint64_t MaxSealMemoryKiB = 1024 * 1024;
inline constexpr std::uint32_t MinSealPasses = 3;
inline constexpr std::uint32_t MaxSealPasses = 32;
// What a new seal asks for.
inline constexpr std::uint64_t DefaultSealMemoryKiB = 256 * 1024;
inline constexpr std::uint32_t DefaultSealPasses = 3;

struct SealHeader
{
    std::uint64_t memoryKiB = DefaultSealMemoryKiB;
    std::uint32_t passes = DefaultSealPasses;
    std::array<unsigned char, 16> salt{};
    std::array<unsigned char, 32> check{};
    std::string line; // the header as stored, without its line end

    bool operator==(const SealHeader&) const = default;
};

enum class HeaderRead {
    Read,        // a header this program reads
    Damaged,     // the marker, but a sum that does not fit or a field that does not read
    Unsupported, // whole, but a version or an algorithm this program does not know
    OutOfBounds, // whole, but asking for memory or passes outside the bounds
};
HeaderRead readSealHeader(std::string_view line, SealHeader& out);

// A new seal for `password`: a fresh salt, the given cost, the key it makes and
// the header that records them. Nothing when libsodium cannot be used or the
// memory cannot be had.
struct NewSeal
{
    SealHeader header;
    SecretBytes key;
};
std::optional<NewSeal> makeSeal(std::string_view password, std::uint64_t memoryKiB = DefaultSealMemoryKiB,
                                std::uint32_t passes = DefaultSealPasses);

enum class KeyResult { Opened, WrongPassword, Failed };
// The key `password` makes under `header`, checked against the header's check
// value. Failed: the derivation could not run (no memory).
KeyResult openSeal(const SealHeader& header, std::string_view password, SecretBytes& key);

// A record line (Windows-1252 bytes, no line end) sealed under `key` and `header`,
// with a fresh nonce; appended to `out`.
void sealLine(const SecretBytes& key, const SealHeader& header, std::string_view plain, std::string& out);
// Opens a sealed line into `plain` (replaced); false when it is not one, or does
// not authenticate under this key and header.
bool openLine(const SecretBytes& key, const SealHeader& header, std::string_view line, std::string& plain);

} // namespace kv
