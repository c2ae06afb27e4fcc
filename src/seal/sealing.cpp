#include "seal/sealing.h"

#include "seal/sodium_start.h"
#include "storage/line_seal.h"

#include <charconv>
#include <vector>

namespace kv {

namespace {

constexpr std::string_view Marker = SealMarker;
constexpr std::string_view Version = "1";
constexpr std::string_view Algorithm = "argon2id";
constexpr std::size_t KeySize = crypto_aead_xchacha20poly1305_ietf_KEYBYTES;
constexpr std::size_t NonceSize = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr std::size_t TagSize = crypto_aead_xchacha20poly1305_ietf_ABYTES;
constexpr std::size_t SumSize = 16;

static_assert(KeySize == 32 && NonceSize == 24);
static_assert(std::tuple_size_v<decltype(SealHeader::salt)> == crypto_pwhash_SALTBYTES);

template <std::size_t N> std::string hexOf(const std::array<unsigned char, N>& bytes)
{
    std::string text(2 * N + 1, '\0');
    sodium_bin2hex(text.data(), text.size(), bytes.data(), N);
    text.pop_back();
    return text;
}

template <std::size_t N> bool readHex(std::string_view text, std::array<unsigned char, N>& out)
{
    std::size_t size = 0;
    const char* end = nullptr;
    return text.size() == 2 * N && sodium_hex2bin(out.data(), N, text.data(), text.size(), nullptr, &size, &end) == 0 &&
           size == N && end == text.data() + text.size();
}

std::array<unsigned char, SumSize> sumOf(std::string_view text)
{
    std::array<unsigned char, SumSize> sum{};
    crypto_generichash(sum.data(), sum.size(), reinterpret_cast<const unsigned char*>(text.data()), text.size(),
                       nullptr, 0);
    return sum;
}

// The check value: a hash of the header's text before it, keyed with the second
// half of what the derivation made (the first half is the encryption key).
std::array<unsigned char, 32> checkOf(std::string_view text, const unsigned char* checkKey)
{
    std::array<unsigned char, 32> check{};
    crypto_generichash(check.data(), check.size(), reinterpret_cast<const unsigned char*>(text.data()), text.size(),
                       checkKey, KeySize);
    return check;
}

std::string costText(const SealHeader& header)
{
    return std::string(Marker) + ' ' + std::string(Version) + ' ' + std::string(Algorithm) +
           " m=" + std::to_string(header.memoryKiB) + " t=" + std::to_string(header.passes) +
           " salt=" + hexOf(header.salt);
}

// Both keys from the password: the encryption key, then the check key.
bool derive(const SealHeader& header, std::string_view password, SecretBytes& both)
{
    both = SecretBytes(2 * KeySize);
    return crypto_pwhash(both.data(), both.size(), password.data(), password.size(), header.salt.data(), header.passes,
                         static_cast<std::size_t>(header.memoryKiB) * 1024, crypto_pwhash_ALG_ARGON2ID13) == 0;
}

SecretBytes firstHalf(const SecretBytes& both)
{
    SecretBytes key(KeySize);
    std::copy(both.data(), both.data() + KeySize, key.data());
    return key;
}

template <typename Number> bool readNumber(std::string_view text, std::string_view name, Number& out)
{
    if (!text.starts_with(name))
        return false;
    text.remove_prefix(name.size());
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size() && !text.empty() && text[0] != '+';
}

} // namespace

HeaderRead readSealHeader(std::string_view line, SealHeader& out)
{
    std::vector<std::string_view> fields;
    for (std::size_t at = 0; at <= line.size();) {
        const std::size_t space = std::min(line.find(' ', at), line.size());
        fields.push_back(line.substr(at, space - at));
        at = space + 1;
    }
    if (fields.size() != 8 || fields[0] != Marker || !sodiumReady())
        return HeaderRead::Damaged;
    // The sum first: a header that changed in any way is damaged, not unknown.
    std::array<unsigned char, SumSize> sum{};
    const std::size_t sumAt = line.rfind(" sum=");
    if (!fields[7].starts_with("sum=") || !readHex(fields[7].substr(4), sum) || sum != sumOf(line.substr(0, sumAt)))
        return HeaderRead::Damaged;
    if (fields[1] != Version || fields[2] != Algorithm)
        return HeaderRead::Unsupported;
    SealHeader header;
    if (!readNumber(fields[3], "m=", header.memoryKiB) || !readNumber(fields[4], "t=", header.passes) ||
        !fields[5].starts_with("salt=") || !readHex(fields[5].substr(5), header.salt) ||
        !fields[6].starts_with("check=") || !readHex(fields[6].substr(6), header.check))
        return HeaderRead::Damaged;
    if (header.memoryKiB < MinSealMemoryKiB || header.memoryKiB > MaxSealMemoryKiB || header.passes < MinSealPasses ||
        header.passes > MaxSealPasses)
        return HeaderRead::OutOfBounds;
    header.line = line;
    out = std::move(header);
    return HeaderRead::Read;
}

std::optional<NewSeal> makeSeal(std::string_view password, std::uint64_t memoryKiB, std::uint32_t passes)
{
    if (!sodiumReady() || memoryKiB < MinSealMemoryKiB || memoryKiB > MaxSealMemoryKiB || passes < MinSealPasses ||
        passes > MaxSealPasses)
        return std::nullopt;
    try {
        NewSeal seal;
        seal.header.memoryKiB = memoryKiB;
        seal.header.passes = passes;
        randombytes_buf(seal.header.salt.data(), seal.header.salt.size());
        SecretBytes both;
        if (!derive(seal.header, password, both))
            return std::nullopt;
        std::string text = costText(seal.header);
        seal.header.check = checkOf(text, both.data() + KeySize);
        text += " check=" + hexOf(seal.header.check);
        text += " sum=" + hexOf(sumOf(text));
        seal.header.line = std::move(text);
        seal.key = firstHalf(both);
        return seal;
    } catch (...) {
        return std::nullopt;
    }
}

KeyResult openSeal(const SealHeader& header, std::string_view password, SecretBytes& key)
{
    try {
        SecretBytes both;
        if (!sodiumReady() || !derive(header, password, both))
            return KeyResult::Failed;
        // Over the text as stored, which a header read from a file has.
        const std::string text =
            header.line.empty() ? costText(header) : header.line.substr(0, header.line.rfind(" check="));
        const std::array<unsigned char, 32> check = checkOf(text, both.data() + KeySize);
        if (sodium_memcmp(check.data(), header.check.data(), check.size()) != 0)
            return KeyResult::WrongPassword;
        key = firstHalf(both);
        return KeyResult::Opened;
    } catch (...) {
        return KeyResult::Failed;
    }
}

void sealLine(const SecretBytes& key, const SealHeader& header, std::string_view plain, std::string& out)
{
    std::vector<unsigned char> sealed(NonceSize + plain.size() + TagSize);
    randombytes_buf(sealed.data(), NonceSize);
    unsigned long long size = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(sealed.data() + NonceSize, &size,
                                               reinterpret_cast<const unsigned char*>(plain.data()), plain.size(),
                                               reinterpret_cast<const unsigned char*>(header.line.data()),
                                               header.line.size(), nullptr, sealed.data(), key.data());
    const int variant = sodium_base64_VARIANT_URLSAFE_NO_PADDING;
    std::string text(sodium_base64_encoded_len(sealed.size(), variant), '\0');
    sodium_bin2base64(text.data(), text.size(), sealed.data(), sealed.size(), variant);
    text.pop_back(); // its terminating zero
    out += SealedLineMark;
    out += text;
}

bool openLine(const SecretBytes& key, const SealHeader& header, std::string_view line, std::string& plain)
{
    if (line.size() < 2 || line.front() != SealedLineMark || key.size() != KeySize)
        return false;
    line.remove_prefix(1);
    std::vector<unsigned char> sealed(line.size() / 4 * 3 + 3);
    std::size_t size = 0;
    const char* end = nullptr;
    if (sodium_base642bin(sealed.data(), sealed.size(), line.data(), line.size(), nullptr, &size, &end,
                          sodium_base64_VARIANT_URLSAFE_NO_PADDING) != 0 ||
        end != line.data() + line.size() || size < NonceSize + TagSize)
        return false;
    plain.resize(size - NonceSize - TagSize);
    unsigned long long opened = 0;
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(reinterpret_cast<unsigned char*>(plain.data()), &opened, nullptr,
                                                   sealed.data() + NonceSize, size - NonceSize,
                                                   reinterpret_cast<const unsigned char*>(header.line.data()),
                                                   header.line.size(), sealed.data(), key.data()) != 0) {
        plain.clear();
        return false;
    }
    plain.resize(static_cast<std::size_t>(opened));
    return true;
}

} // namespace kv
