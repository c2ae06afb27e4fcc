#pragma once
// Entry times as other programs write them and as our records keep them
// ("MM-DD-YYYY hh:mm:ss", the local clock reading when the entry was recorded).
// A time a file marks as UTC (a zone designator, epoch milliseconds, KeePass's
// binary form) is read as UTC and made local through the C library's zone rules
// (the TZ database); what we write as UTC is made so the same way.

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
// designator ("Z", "+hh:mm", "-hhmm"). With a designator the result is the UTC
// time it names and `utc` (when given) is set; without, the clock reading as written.
std::optional<CivilTime> parseIsoTime(std::string_view text, bool* utc = nullptr);
// Decimal milliseconds since 1970-01-01 00:00:00 UTC, as UTC.
std::optional<CivilTime> parseUnixMillis(std::string_view text);
// Base64 of eight little-endian bytes counting seconds since 0001-01-01 00:00:00
// UTC, the form newer KeePass files use; as UTC.
std::optional<CivilTime> parseKeepassBinaryTime(std::string_view text);
// Any of the text forms above, or nothing; `utc` (when given) says whether the
// result is UTC rather than a local clock reading.
std::optional<CivilTime> parseAnyTime(std::string_view text, bool* utc = nullptr);
// The same made local time: what a record keeps.
std::optional<CivilTime> parseAsLocal(std::string_view text);

// The local clock reading at a UTC time, and the UTC time of a local reading,
// under the zone rules in force (TZ). Nothing when the C library cannot tell
// (on Windows, times before 1970 or after 3000). A local reading that falls in
// the hour a clock change skips is taken as the C library's mktime takes it.
std::optional<CivilTime> localFromUtc(const CivilTime& utc);
std::optional<CivilTime> utcFromLocal(const CivilTime& local);

// "MM-DD-YYYY hh:mm:ss".
std::string recordedText(const CivilTime& time);
// "YYYY-MM-DDThh:mm:ssZ": `time` is UTC.
void appendIsoTime(std::string& out, const CivilTime& time);

} // namespace kv
