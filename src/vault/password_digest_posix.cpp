#include "vault/password_digest.h"

#include <nettle/sha1.h>

namespace kv {

PasswordDigest passwordDigest(std::string_view bytes)
{
    sha1_ctx context;
    sha1_init(&context);
    sha1_update(&context, bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()));
    PasswordDigest digest;
    sha1_digest(&context, digest.size(), digest.data());
    return digest;
}

} // namespace kv
