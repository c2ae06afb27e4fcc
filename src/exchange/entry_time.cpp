#include "exchange/entry_time.h"

#include <array>
#include <cstdint>
#include <ctime>

namespace kv {

namespace {

constexpr long long SecondsPerDay = 86400;

bool isLeap(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month)
{
    constexpr std::array<int, 12> days = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeap(year) ? 29 : days[static_cast<std::size_t>(month - 1)];
}

bool valid(const CivilTime& t)
{
    return t.year >= 1 && t.year <= 9999 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
           t.day <= daysInMonth(t.year, t.month) && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 &&
           t.second >= 0 && t.second <= 59;
}

// Days since 1970-01-01 of a proleptic Gregorian date, and back (the usual era
// arithmetic: exact over the whole range, no loops).
long long daysFromCivil(long long y, int m, int d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

long long unixSecondsOf(const CivilTime& t)
{
    return daysFromCivil(t.year, t.month, t.day) * SecondsPerDay + t.hour * 3600LL + t.minute * 60LL + t.second;
}

std::optional<CivilTime> timeFromUnixSeconds(long long seconds)
{
    // Outside years 1 ... 9999 the records could not show it anyway; the bound also
    // keeps the arithmetic below far from overflow.
    constexpr long long lowest = -62135596800LL;  // 0001-01-01 00:00:00
    constexpr long long highest = 253402300799LL; // 9999-12-31 23:59:59
    if (seconds < lowest || seconds > highest)
        return std::nullopt;
    long long days = seconds / SecondsPerDay;
    long long rest = seconds % SecondsPerDay;
    if (rest < 0) {
        rest += SecondsPerDay;
        --days;
    }
    const long long z = days + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    CivilTime t;
    t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2));
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest / 60 % 60);
    t.second = static_cast<int>(rest % 60);
    return t;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads exactly `count` digits at `pos`.
bool readNumber(std::string_view text, std::size_t& pos, std::size_t count, int& value)
{
    if (text.size() - pos < count)
        return false;
    value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const char c = text[pos + i];
        if (!isDigit(c))
            return false;
        value = value * 10 + (c - '0');
    }
    pos += count;
    return true;
}

bool expect(std::string_view text, std::size_t& pos, char c)
{
    if (pos >= text.size() || text[pos] != c)
        return false;
    ++pos;
    return true;
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

int base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (isDigit(c))
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

// Writes `value` as `count` digits at `to` and returns where they end.
char* putDigits(char* to, int value, int count)
{
    for (int i = count - 1; i >= 0; --i) {
        to[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return to + count;
}

void appendDigits(std::string& out, int value, int count)
{
    char digits[4];
    putDigits(digits, value, count);
    out.append(digits, static_cast<std::size_t>(count));
}

} // namespace

std::optional<CivilTime> parseRecordedTime(std::string_view text)
{
    text = trimmed(text);
    CivilTime t;
    std::size_t pos = 0;
    if (readNumber(text, pos, 2, t.month) && expect(text, pos, '-') && readNumber(text, pos, 2, t.day) &&
        expect(text, pos, '-') && readNumber(text, pos, 4, t.year) && expect(text, pos, ' ') &&
        readNumber(text, pos, 2, t.hour) && expect(text, pos, ':') && readNumber(text, pos, 2, t.minute) &&
        expect(text, pos, ':') && readNumber(text, pos, 2, t.second) && pos == text.size() && valid(t))
        return t;
    return std::nullopt;
}

std::optional<CivilTime> parseIsoTime(std::string_view text, bool* utc)
{
    text = trimmed(text);
    CivilTime t;
    std::size_t pos = 0;
    bool zoned = false;
    int offset = 0; // seconds east of UTC
    if (!(readNumber(text, pos, 4, t.year) && expect(text, pos, '-') && readNumber(text, pos, 2, t.month) &&
          expect(text, pos, '-') && readNumber(text, pos, 2, t.day)))
        return std::nullopt;
    if (pos < text.size()) {
        if (text[pos] != 'T' && text[pos] != 't' && text[pos] != ' ')
            return std::nullopt;
        ++pos;
        if (!(readNumber(text, pos, 2, t.hour) && expect(text, pos, ':') && readNumber(text, pos, 2, t.minute)))
            return std::nullopt;
        if (pos < text.size() && text[pos] == ':') {
            ++pos;
            if (!readNumber(text, pos, 2, t.second))
                return std::nullopt;
            if (pos < text.size() && (text[pos] == '.' || text[pos] == ',')) {
                ++pos;
                const std::size_t start = pos;
                while (pos < text.size() && isDigit(text[pos]))
                    ++pos;
                if (pos == start)
                    return std::nullopt;
            }
        }
        if (pos < text.size() && (text[pos] == 'Z' || text[pos] == 'z')) {
            ++pos;
            zoned = true;
        } else if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
            const int sign = text[pos] == '-' ? -1 : 1;
            ++pos;
            int hours = 0;
            int minutes = 0;
            if (!readNumber(text, pos, 2, hours))
                return std::nullopt;
            if (pos < text.size() && text[pos] == ':')
                ++pos;
            if (pos < text.size() && !readNumber(text, pos, 2, minutes))
                return std::nullopt;
            if (hours > 23 || minutes > 59)
                return std::nullopt;
            zoned = true;
            offset = sign * (hours * 3600 + minutes * 60);
        }
    }
    if (pos != text.size() || !valid(t))
        return std::nullopt;
    if (utc)
        *utc = zoned;
    if (offset == 0)
        return t;
    return timeFromUnixSeconds(unixSecondsOf(t) - offset);
}

std::optional<CivilTime> parseUnixMillis(std::string_view text)
{
    text = trimmed(text);
    // Fifteen digits reach past the year 9999; more would only risk overflow.
    if (text.empty() || text.size() > 15)
        return std::nullopt;
    long long millis = 0;
    for (const char c : text) {
        if (!isDigit(c))
            return std::nullopt;
        millis = millis * 10 + (c - '0');
    }
    return timeFromUnixSeconds(millis / 1000);
}

std::optional<CivilTime> parseKeepassBinaryTime(std::string_view text)
{
    text = trimmed(text);
    if (text.size() != 12 || text.substr(11) != "=")
        return std::nullopt;
    // Eleven characters carry 66 bits: the eight bytes and two zero bits.
    std::array<unsigned char, 9> bytes{};
    for (std::size_t i = 0; i < 11; ++i) {
        const int v = base64Value(text[i]);
        if (v < 0)
            return std::nullopt;
        const std::size_t bit = i * 6;
        for (int b = 5; b >= 0; --b) {
            const std::size_t at = bit + static_cast<std::size_t>(5 - b);
            if ((v >> b) & 1)
                bytes[at / 8] |= static_cast<unsigned char>(0x80 >> (at % 8));
        }
    }
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = (bits << 8) | bytes[static_cast<std::size_t>(i)];
    constexpr std::uint64_t mostSeconds = 315537897599ULL; // 9999-12-31 23:59:59 counted from year 1
    if (bits > mostSeconds)
        return std::nullopt;
    const long long fromYearOne = daysFromCivil(1, 1, 1) * SecondsPerDay;
    return timeFromUnixSeconds(static_cast<long long>(bits) + fromYearOne);
}

std::optional<CivilTime> parseAnyTime(std::string_view text, bool* utc)
{
    if (utc)
        *utc = false;
    if (auto t = parseRecordedTime(text))
        return t;
    if (auto t = parseIsoTime(text, utc))
        return t;
    auto t = parseKeepassBinaryTime(text);
    if (t && utc)
        *utc = true;
    return t;
}

std::optional<CivilTime> parseAsLocal(std::string_view text)
{
    bool utc = false;
    const std::optional<CivilTime> t = parseAnyTime(text, &utc);
    if (!t || !utc)
        return t;
    // A time the C library cannot place keeps its UTC reading: near, and never lost.
    const std::optional<CivilTime> local = localFromUtc(*t);
    return local ? local : t;
}

std::optional<CivilTime> localFromUtc(const CivilTime& utc)
{
    if (!valid(utc))
        return std::nullopt;
    std::tm local{};
#ifdef _WIN32
    const __time64_t seconds = unixSecondsOf(utc);
    if (_localtime64_s(&local, &seconds) != 0)
        return std::nullopt;
#else
    const auto seconds = static_cast<std::time_t>(unixSecondsOf(utc));
    if (static_cast<long long>(seconds) != unixSecondsOf(utc) || !localtime_r(&seconds, &local))
        return std::nullopt;
#endif
    CivilTime t{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
    if (!valid(t))
        return std::nullopt;
    return t;
}

std::optional<CivilTime> utcFromLocal(const CivilTime& local)
{
    if (!valid(local))
        return std::nullopt;
    std::tm fields{};
    fields.tm_year = local.year - 1900;
    fields.tm_mon = local.month - 1;
    fields.tm_mday = local.day;
    fields.tm_hour = local.hour;
    fields.tm_min = local.minute;
    fields.tm_sec = local.second;
    fields.tm_isdst = -1; // whatever the zone's rules say for that day
    fields.tm_wday = -1;
#ifdef _WIN32
    const long long seconds = _mktime64(&fields);
#else
    const long long seconds = std::mktime(&fields);
#endif
    // -1 is also 1969-12-31 23:59:59 UTC; a success sets the day of the week.
    if (seconds == -1 && fields.tm_wday == -1)
        return std::nullopt;
    return timeFromUnixSeconds(seconds);
}

std::string recordedText(const CivilTime& time)
{
    // Put together in place: an import makes one for every entry.
    char text[19];
    char* to = putDigits(text, time.month, 2);
    *to++ = '-';
    to = putDigits(to, time.day, 2);
    *to++ = '-';
    to = putDigits(to, time.year, 4);
    *to++ = ' ';
    to = putDigits(to, time.hour, 2);
    *to++ = ':';
    to = putDigits(to, time.minute, 2);
    *to++ = ':';
    to = putDigits(to, time.second, 2);
    return std::string(text, static_cast<std::size_t>(to - text));
}

void appendIsoTime(std::string& out, const CivilTime& time)
{
    appendDigits(out, time.year, 4);
    out += '-';
    appendDigits(out, time.month, 2);
    out += '-';
    appendDigits(out, time.day, 2);
    out += 'T';
    appendDigits(out, time.hour, 2);
    out += ':';
    appendDigits(out, time.minute, 2);
    out += ':';
    appendDigits(out, time.second, 2);
    out += 'Z';
}

} // namespace kv
