#include "storage/record_line.h"

#include "storage/ansi_text.h"

#include <array>

namespace kv {

std::string BuildRecordLine(const Record& record)
{
    const std::array<const std::string*, 6> fields = {&record.service,  &record.username, &record.password,
                                                      &record.comments, &record.address,  &record.recorded};
    std::size_t size = fields.size();
    for (const std::string* field : fields)
        size += field->size();
    std::string line;
    line.reserve(size);
    for (const std::string* field : fields) {
        line += *field;
        line += '|';
    }
    return line;
}

Record ParseRecordLine(std::string_view decoded)
{
    Record record;
    const std::array<std::string*, 6> fields = {&record.service,  &record.username, &record.password,
                                                &record.comments, &record.address,  &record.recorded};
    // The loader's working storage has room for six fields; a line that holds
    // more (a "|" typed into a value) keeps the first six, as the old loader
    // would have stored them before running out of room.
    std::size_t index = 0;
    while (!decoded.empty() && index < fields.size()) {
        const std::size_t bar = decoded.find('|');
        if (bar == std::string_view::npos)
            break;
        fields[index++]->assign(decoded.substr(0, bar));
        decoded.remove_prefix(bar + 1);
    }
    return record;
}

bool RecordLineFits(const Record& record)
{
    // A full save enciphers the line together with its CR LF.
    return utf8Length(BuildRecordLine(record)) + 2 <= MaxStoredLineLength;
}

std::string PasswordMask(std::string_view password)
{
    return std::string(utf8Length(password), '*');
}

} // namespace kv
