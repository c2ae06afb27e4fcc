#pragma once
// Text crosses into files and the settings store as Windows-1252 bytes, whatever
// platform we run on, so data files move between machines unchanged.

#include <cstddef>
#include <string>
#include <string_view>

namespace kv {

// UTF-8 to Windows-1252. A character the code page cannot hold becomes '?'.
// Malformed UTF-8 sequences also become '?'.
std::string utf8ToAnsi(std::string_view utf8);

// Windows-1252 to UTF-8. Every byte maps to a character; the five bytes the code
// page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to U+0081 ... U+009D so
// that every byte comes back unchanged through utf8ToAnsi.
std::string ansiToUtf8(std::string_view ansi);

// True when every character of the UTF-8 text has a Windows-1252 byte (no '?' would
// be substituted) and the text is well-formed UTF-8.
bool fitsAnsi(std::string_view utf8);

// The Unicode code point a Windows-1252 byte stands for (the five undefined bytes
// for the C1 code point of the same number).
char32_t ansiCodePoint(unsigned char byte);

// Number of characters (code points) in a UTF-8 text.
std::size_t utf8Length(std::string_view utf8);

} // namespace kv
