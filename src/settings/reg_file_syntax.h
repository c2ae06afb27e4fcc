#pragma once
// The small text forms of a REGEDIT4 file, over the file's own Windows-1252 bytes:
// quoted names and strings, dword:xxxxxxxx numbers, hex: and hex(N): byte lists.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv::regfile {

// The file's lines, each with its own line end ("\n" or "\r\n"; the last may have none).
std::vector<std::string_view> splitLines(std::string_view text);

// Upper case over Windows-1252, the way the registry compares key and value names.
std::string fold(std::string_view s);
bool startsWithNoCase(std::string_view s, std::string_view prefix);

// Spaces and tabs.
std::string_view trimLeft(std::string_view s);
std::string_view trimRight(std::string_view s);

// A quoted text at the start of `s`, with \\ and \" undone; `s` moves past it.
std::optional<std::string> takeQuoted(std::string_view& s);
// The text in quotes, with \ and " escaped.
std::string quoted(std::string_view text);

// A value as the registry would hold it: a string with its terminating zero, a
// number as four little-endian bytes.
struct ValueData
{
    std::uint32_t type = 0; // 0 also for a form we cannot read
    std::string bytes;      // empty where the form could not be read
    bool deleted = false;   // "name"=- marks the value removed
};

// The text after "=", continuation lines already joined.
ValueData parseData(std::string_view data);
// The text after "=" for a value, in the form the registry editor itself writes.
std::string formatData(std::uint32_t type, std::string_view bytes);

} // namespace kv::regfile
