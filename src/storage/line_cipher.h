#pragma once
// The line cipher: a repeating-key exclusive-or over Windows-1252 bytes, written as
// upper-case hexadecimal. It hides text from a casual look; it is not encryption.

#include <string>
#include <string_view>

namespace kv {

// Both take and return UTF-8; the bytes enciphered are the Windows-1252 form of
// the text (a character outside the code page becomes '?').
// A text shorter than the key is first lengthened with "." and the start of the
// application title. An empty key gives the empty text.
std::string EncodeLine(std::string_view text, std::string_view key);

// Upper- or lower-case digits; an odd-length input reads its last digit alone.
// Any invalid digit, or an empty key, gives the empty text. The filler is kept.
std::string DecodeLine(std::string_view cipher, std::string_view key);

// The same two on raw Windows-1252 bytes.
std::string encodeBytes(std::string_view bytes, std::string_view keyBytes);
std::string decodeBytes(std::string_view cipher, std::string_view keyBytes);
// decodeBytes into a buffer the caller reuses (the loader, line after line).
// `out` is emptied first; it stays empty on any failure.
void decodeBytesInto(std::string_view cipher, std::string_view keyBytes, std::string& out);
// decodeBytes straight into (cipher.size() + 1) / 2 bytes at `out`; false (and
// `out` filled with whatever) on an invalid digit or an empty key.
bool decodeBytesTo(std::string_view cipher, std::string_view keyBytes, char* out);
// encodeBytes appended to `out`.
void encodeBytesAppend(std::string_view bytes, std::string_view keyBytes, std::string& out);

} // namespace kv
