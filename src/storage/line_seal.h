#pragma once
// A sealed data file begins with a header line that says how its key is made
// from a password, and holds each entry as one line encrypted under that key.
// The storage reads and writes such a file through a LineSeal, the key of one
// header, which the seal room makes; it knows nothing of the cryptography.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

// What a sealed file's first line begins with. No line of the fixed-key format
// can: those are hexadecimal digits alone.
inline constexpr std::string_view SealMarker = "*KVSEAL";

inline bool isSealMarked(std::string_view line)
{
    return line.starts_with(SealMarker);
}

// What each entry's line of a sealed file begins with, again no digit.
inline constexpr char SealedLineMark = '~';

// The fewest characters after the mark of an entry's line: the URL-safe Base64
// of its nonce and its tag, with no text between them.
inline constexpr std::size_t SealedLineLeast = ((24 + 16) * 4 + 2) / 3;

// Whether a line is a sealed file's: its header, or what an entry's line looks
// like (the mark, then URL-safe Base64 long enough to hold a nonce and a tag).
inline bool looksSealed(std::string_view line)
{
    if (isSealMarked(line))
        return true;
    if (!line.starts_with(SealedLineMark) || line.size() < 1 + SealedLineLeast)
        return false;
    for (const char c : line.substr(1)) {
        const bool base64 =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
        if (!base64)
            return false;
    }
    return true;
}

class LineSeal
{
public:
    virtual ~LineSeal() = default;
    // The header line this key was made for, without its line end.
    virtual const std::string& header() const = 0;
    // Appends the sealed text of a record line (Windows-1252 bytes, no line end),
    // under a fresh nonce.
    virtual void seal(std::string_view plain, std::string& out) const = 0;
    // At most how many bytes `line` opens to; 0 when it is no sealed line.
    virtual std::size_t openedSize(std::string_view line) const = 0;
    // Opens `line` into `plain`, which has room for openedSize(line) bytes: the
    // bytes it holds, or nothing when the line does not authenticate under this
    // key and header. Safe to call from several threads at once.
    virtual std::optional<std::size_t> open(std::string_view line, char* plain) const = 0;
    // Whether `password` is the one this key was made from; the password itself
    // is not kept.
    virtual bool madeFrom(std::string_view password) const = 0;
};

} // namespace kv
