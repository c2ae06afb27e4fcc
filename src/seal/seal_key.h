#pragma once
// The key of one sealed file as the storage uses it: made for a new seal from a
// password, or opened from a file's header with its password. The key itself
// lives in guarded memory and is wiped when the last holder lets it go.

#include "seal/sealing.h"
#include "storage/line_seal.h"

#include <memory>
#include <string_view>

namespace kv {

class SealKey final : public LineSeal
{
public:
    // `password`: the one the key was made from, of which it keeps a keyed digest alone.
    SealKey(SealHeader header, SecretBytes key, std::string_view password);

    const std::string& header() const override { return m_header.line; }
    void seal(std::string_view plain, std::string& out) const override;
    std::size_t openedSize(std::string_view line) const override;
    std::optional<std::size_t> open(std::string_view line, char* plain) const override;
    bool madeFrom(std::string_view password) const override;

private:
    void markOf(std::string_view password, unsigned char* mark) const;

    SealHeader m_header;
    SecretBytes m_key;
    SecretBytes m_passwordMark;
};

enum class KeyOpening {
    Opened,
    WrongPassword,
    Damaged,     // the header's sum does not fit, or a field does not read
    Unsupported, // a version or algorithm this program does not know
    OutOfBounds, // asks for memory or passes outside the bounds
    Failed,      // the derivation could not run (no memory)
};
// The key `password` opens for the file whose header line is `header`.
KeyOpening openSealKey(std::string_view header, std::string_view password, std::shared_ptr<const LineSeal>& key);
// A new seal for `password` (a fresh salt) at the given cost; null when it could
// not be made.
std::shared_ptr<const LineSeal> newSealKey(std::string_view password, std::uint64_t memoryKiB = DefaultSealMemoryKiB,
                                           std::uint32_t passes = DefaultSealPasses);

} // namespace kv
