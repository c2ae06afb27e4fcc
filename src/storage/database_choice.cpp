#include "storage/database_choice.h"

#include <limits>

namespace kv {

std::string DataFileBaseFor(int index)
{
    return "db" + std::to_string(index + 1);
}

long settingNumber(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate towards the sign's side so the most negative value fits too.
    constexpr long Max = std::numeric_limits<long>::max();
    constexpr long Min = std::numeric_limits<long>::min();
    long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        if (negative) {
            if (value < (Min + digit) / 10)
                return Min;
            value = value * 10 - digit;
        } else {
            if (value > (Max - digit) / 10)
                return Max;
            value = value * 10 + digit;
        }
    }
    return value;
}

int databaseIndexFromSetting(std::string_view text)
{
    const long number = settingNumber(text);
    return number >= 0 && number < DatabaseCount ? static_cast<int>(number) : 0;
}

} // namespace kv
