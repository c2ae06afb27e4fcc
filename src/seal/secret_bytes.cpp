#include "seal/secret_bytes.h"

#include "seal/sodium_start.h"

#include <new>
#include <utility>

namespace kv {

SecretBytes::SecretBytes(std::size_t size) : m_size(size)
{
    if (!sodiumReady())
        throw std::bad_alloc();
    // sodium_malloc(0) is fine, but a pointer to nothing needs no guard.
    m_data = static_cast<unsigned char*>(sodium_malloc(size == 0 ? 1 : size));
    if (!m_data)
        throw std::bad_alloc();
    sodium_memzero(m_data, size == 0 ? 1 : size);
}

SecretBytes SecretBytes::takeFrom(std::string& text)
{
    SecretBytes secret(text.size());
    text.copy(reinterpret_cast<char*>(secret.m_data), text.size());
    wipe(text);
    return secret;
}

SecretBytes::~SecretBytes()
{
    if (m_data)
        sodium_free(m_data); // wipes it first
}

SecretBytes::SecretBytes(SecretBytes&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0))
{
}

SecretBytes& SecretBytes::operator=(SecretBytes&& other) noexcept
{
    if (this != &other) {
        if (m_data)
            sodium_free(m_data);
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
    }
    return *this;
}

void wipeBytes(void* data, std::size_t size)
{
    // Needs no initialisation of the library: a plain overwrite the compiler keeps.
    if (size > 0)
        sodium_memzero(data, size);
}

} // namespace kv
