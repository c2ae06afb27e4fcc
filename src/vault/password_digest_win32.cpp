#include "vault/password_digest.h"

#include <windows.h>

#include <bcrypt.h>

#include <limits>
#include <stdexcept>

namespace kv {

namespace {

// Opened once: the provider costs more than a hash.
BCRYPT_ALG_HANDLE sha1Provider()
{
    static const BCRYPT_ALG_HANDLE provider = [] {
        BCRYPT_ALG_HANDLE opened = nullptr;
        if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&opened, BCRYPT_SHA1_ALGORITHM, nullptr, 0)))
            throw std::runtime_error("the system offers no SHA-1");
        return opened;
    }();
    return provider;
}

} // namespace

PasswordDigest passwordDigest(std::string_view bytes)
{
    PasswordDigest digest{};
    BCRYPT_HASH_HANDLE hash = nullptr;
    // A stored password is far shorter than a ULONG counts.
    const bool done = bytes.size() <= std::numeric_limits<ULONG>::max() &&
                      BCRYPT_SUCCESS(BCryptCreateHash(sha1Provider(), &hash, nullptr, 0, nullptr, 0, 0)) &&
                      BCRYPT_SUCCESS(BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                                                    static_cast<ULONG>(bytes.size()), 0)) &&
                      BCRYPT_SUCCESS(BCryptFinishHash(hash, digest.data(), static_cast<ULONG>(digest.size()), 0));
    if (hash)
        BCryptDestroyHash(hash);
    if (!done)
        throw std::runtime_error("the system could not make a SHA-1");
    return digest;
}

} // namespace kv
