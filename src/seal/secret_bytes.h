#pragma once
// Bytes that must not leak: a derived key, a typed password. They live in guarded
// memory (kept out of swap, fenced by inaccessible pages) and are wiped when freed.

#include <cstddef>
#include <string>
#include <string_view>

namespace kv {

class SecretBytes
{
public:
    SecretBytes() = default;
    // `size` bytes of guarded memory, zeroed; throws std::bad_alloc when there is none.
    explicit SecretBytes(std::size_t size);
    // A copy of `text` in guarded memory; `text` is wiped and emptied.
    static SecretBytes takeFrom(std::string& text);
    ~SecretBytes();
    SecretBytes(SecretBytes&& other) noexcept;
    SecretBytes& operator=(SecretBytes&& other) noexcept;
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;

    unsigned char* data() { return m_data; }
    const unsigned char* data() const { return m_data; }
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    std::string_view view() const { return {reinterpret_cast<const char*>(m_data), m_size}; }

private:
    unsigned char* m_data = nullptr;
    std::size_t m_size = 0;
};

// Overwrites `size` bytes at `data` with zeros in a way the compiler keeps.
void wipeBytes(void* data, std::size_t size);

// Overwrites all of `text`'s buffer with zeros, then empties it: what a shorter
// text left past its end goes too. Growing it to its capacity moves nothing.
template <typename Char> void wipe(std::basic_string<Char>& text)
{
    text.resize(text.capacity());
    wipeBytes(text.data(), text.size() * sizeof(Char));
    text.clear();
}

} // namespace kv
