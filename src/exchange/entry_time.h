#pragma once
// Entry times as other programs write them and as our records keep them
// ("MM-DD-YYYY hh:mm:ss"). No zones are applied: a time keeps the clock reading
// it was written with, so an export read back gives the same text.

#include <optional>
#include <string>
#include <string_view>

namespace kv {

struct CivilTime
{
    int year = 1; // 1 ... 9999
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// "MM-DD-YYYY hh:mm:ss", as the records keep it.
std::optional<CivilTime> parseRecordedTime(std::string_view text);
// "YYYY-MM-DD", optionally followed by "T" or " " and "hh:mm[:ss[.fraction]]" and a zone
// designator ("Z", "+hh:mm"), which is read past.
std::optional<CivilTime> parseIsoTime(std::string_view text);
// Decimal milliseconds since 1970-01-01 00:00:00 UTC.
std::optional<CivilTime> parseUnixMillis(std::string_view text);
// Base64 of eight little-endian bytes counting seconds since 0001-01-01 00:00:00, the
// form newer KeePass files use.
std::optional<CivilTime> parseKeepassBinaryTime(std::string_view text);
// Any of the text forms above, or nothing.
std::optional<CivilTime> parseAnyTime(std::string_view text);

// "MM-DD-YYYY hh:mm:ss".
std::string recordedText(const CivilTime& time);
// "YYYY-MM-DDThh:mm:ssZ".
void appendIsoTime(std::string& out, const CivilTime& time);

} // namespace kv
