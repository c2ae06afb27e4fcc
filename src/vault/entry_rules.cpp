#include "vault/entry_rules.h"

#include "storage/ansi_text.h"

#include <algorithm>

namespace kv {

namespace {

bool holdsSeparator(const std::string& text)
{
    // A plain loop: find_first_of looks each character up in the set by a call.
    return std::any_of(text.begin(), text.end(), [](char c) { return c == '|' || c == '\r' || c == '\n'; });
}

} // namespace

std::optional<std::string> entryRefusal(const Record& record)
{
    const std::string* fields[] = {&record.service,  &record.username, &record.password,
                                   &record.comments, &record.address,  &record.recorded};
    for (const std::string* field : fields) {
        if (holdsSeparator(*field))
            return "Fields cannot contain | or line breaks";
    }
    for (const std::string* field : fields) {
        if (!fitsAnsi(*field))
            return "Fields can hold only Western European characters";
    }
    if (!RecordLineFits(record))
        return "Entry is too long to store";
    return std::nullopt;
}

std::string fileFailure(std::string_view verb, const OpenDatabase& database)
{
    std::string text = "Could not ";
    text += verb;
    text += ' ';
    text += database.base();
    text += ".ksd";
    text += reasonText(database.lastError());
    return text;
}

} // namespace kv
