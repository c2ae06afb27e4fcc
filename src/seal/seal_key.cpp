#include "seal/seal_key.h"

#include <sodium.h>

#include <vector>

namespace kv {

namespace {

constexpr std::size_t NonceSize = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr std::size_t TagSize = crypto_aead_xchacha20poly1305_ietf_ABYTES;

// How many bytes unpadded Base64 of `size` characters holds; 0 for a size no
// such text has.
std::size_t decodedSize(std::size_t size)
{
    const std::size_t rest = size % 4;
    if (rest == 1)
        return 0;
    return size / 4 * 3 + (rest == 0 ? 0 : rest - 1);
}

} // namespace

SealKey::SealKey(SealHeader header, SecretBytes key, std::string_view password)
    : m_header(std::move(header)), m_key(std::move(key)), m_passwordMark(crypto_generichash_BYTES)
{
    markOf(password, m_passwordMark.data());
}

// The password's digest under the key: it tells the password again without
// keeping it, and says nothing of it to whoever lacks the key.
void SealKey::markOf(std::string_view password, unsigned char* mark) const
{
    crypto_generichash(mark, crypto_generichash_BYTES, reinterpret_cast<const unsigned char*>(password.data()),
                       password.size(), m_key.data(), m_key.size());
}

bool SealKey::madeFrom(std::string_view password) const
{
    unsigned char mark[crypto_generichash_BYTES];
    markOf(password, mark);
    const bool same = sodium_memcmp(mark, m_passwordMark.data(), sizeof mark) == 0;
    sodium_memzero(mark, sizeof mark);
    return same;
}

void SealKey::seal(std::string_view plain, std::string& out) const
{
    sealLine(m_key, m_header, plain, out);
}

std::size_t SealKey::openedSize(std::string_view line) const
{
    if (line.size() < 2 || line.front() != SealedLineMark)
        return 0;
    const std::size_t sealed = decodedSize(line.size() - 1);
    return sealed > NonceSize + TagSize ? sealed - NonceSize - TagSize : 0;
}

std::optional<std::size_t> SealKey::open(std::string_view line, char* plain) const
{
    const std::size_t size = openedSize(line);
    if (size == 0)
        return std::nullopt;
    // One buffer per thread for the decoded line, so that opening a file makes no
    // allocation per line.
    thread_local std::vector<unsigned char> sealed;
    sealed.resize(size + NonceSize + TagSize);
    std::size_t decoded = 0;
    const char* end = nullptr;
    line.remove_prefix(1);
    if (sodium_base642bin(sealed.data(), sealed.size(), line.data(), line.size(), nullptr, &decoded, &end,
                          sodium_base64_VARIANT_URLSAFE_NO_PADDING) != 0 ||
        end != line.data() + line.size() || decoded != sealed.size())
        return std::nullopt;
    unsigned long long opened = 0;
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(reinterpret_cast<unsigned char*>(plain), &opened, nullptr,
                                                   sealed.data() + NonceSize, decoded - NonceSize,
                                                   reinterpret_cast<const unsigned char*>(m_header.line.data()),
                                                   m_header.line.size(), sealed.data(), m_key.data()) != 0)
        return std::nullopt;
    return static_cast<std::size_t>(opened);
}

KeyOpening openSealKey(std::string_view header, std::string_view password, std::shared_ptr<const LineSeal>& key)
{
    SealHeader read;
    switch (readSealHeader(header, read)) {
    case HeaderRead::Read:
        break;
    case HeaderRead::Damaged:
        return KeyOpening::Damaged;
    case HeaderRead::Unsupported:
        return KeyOpening::Unsupported;
    case HeaderRead::OutOfBounds:
        return KeyOpening::OutOfBounds;
    }
    SecretBytes bytes;
    switch (openSeal(read, password, bytes)) {
    case KeyResult::Opened:
        break;
    case KeyResult::WrongPassword:
        return KeyOpening::WrongPassword;
    case KeyResult::Failed:
        return KeyOpening::Failed;
    }
    try {
        key = std::make_shared<const SealKey>(std::move(read), std::move(bytes), password);
        return KeyOpening::Opened;
    } catch (...) {
        return KeyOpening::Failed;
    }
}

std::shared_ptr<const LineSeal> newSealKey(std::string_view password, std::uint64_t memoryKiB, std::uint32_t passes)
{
    std::optional<NewSeal> made = makeSeal(password, memoryKiB, passes);
    if (!made)
        return nullptr;
    try {
        return std::make_shared<const SealKey>(std::move(made->header), std::move(made->key), password);
    } catch (...) {
        return nullptr;
    }
}

} // namespace kv
