#pragma once
// One stored entry and its plain record line: six fields, each followed by "|".

#include <cstddef>
#include <string>
#include <string_view>

namespace kv {

struct Record
{
    std::string service;
    std::string username;
    std::string password; // in clear; the list shows only its mask
    std::string comments;
    std::string address;
    std::string recorded; // "MM-DD-YYYY hh:mm:ss", kept as text
    // The line as the file held it, for a record read from a line that a full save
    // could not write back from the fields above (it did not decipher, or held more
    // than they can): the save writes this instead, until the record is replaced.
    std::string keptLine = {};

    bool operator==(const Record&) const = default;
};

// Longest enciphered line any reader must cope with, in Windows-1252 characters.
inline constexpr std::size_t MaxStoredLineLength = 16383;

// service|username|password|comments|address|recorded| (UTF-8, no line end).
std::string BuildRecordLine(const Record& record);

// Splits a deciphered line as the loader does: text after the last "|" is never a
// field, missing fields stay empty, fields after the sixth are dropped.
Record ParseRecordLine(std::string_view decoded);

// Whether the record can be stored and later rewritten by a full save: its line
// plus CR LF fits MaxStoredLineLength once converted to Windows-1252.
bool RecordLineFits(const Record& record);

// One "*" per character of the password.
std::string PasswordMask(std::string_view password);

} // namespace kv
