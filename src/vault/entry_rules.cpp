#include "vault/entry_rules.h"

#include "storage/ansi_text.h"

#include <algorithm>
#include <array>

namespace kv {

namespace {

// What a field holds, found in one pass over its bytes (an import checks every
// field of tens of thousands of entries).
struct FieldShape
{
    bool separator = false; // a "|" or a line break
    bool fits = true;       // every character is one of Windows-1252
    std::size_t length = 0; // in characters, as the code page counts them
};

FieldShape shapeOf(const std::string& text)
{
    FieldShape shape;
    // No branch in the loop, so that it runs many bytes at a time.
    unsigned char high = 0;
    bool separator = false;
    for (const char c : text) {
        high |= static_cast<unsigned char>(c);
        separator |= (c == '|') | (c == '\r') | (c == '\n');
    }
    shape.separator = separator;
    const bool ascii = high < 0x80;
    shape.fits = ascii || fitsAnsi(text);
    shape.length = ascii ? text.size() : utf8Length(text);
    return shape;
}

} // namespace

std::optional<std::string> entryRefusal(const Record& record)
{
    const std::string* fields[] = {&record.service,  &record.username, &record.password,
                                   &record.comments, &record.address,  &record.recorded};
    std::array<FieldShape, 6> shapes;
    for (std::size_t i = 0; i < shapes.size(); ++i)
        shapes[i] = shapeOf(*fields[i]);
    if (std::any_of(shapes.begin(), shapes.end(), [](const FieldShape& shape) { return shape.separator; }))
        return "Fields cannot contain | or line breaks";
    if (!std::all_of(shapes.begin(), shapes.end(), [](const FieldShape& shape) { return shape.fits; }))
        return "Fields can hold only Western European characters";
    // As RecordLineFits measures it, without making the line: each field and its
    // "|", and the CR LF a full save enciphers with it.
    std::size_t length = 2;
    for (const FieldShape& shape : shapes)
        length += shape.length + 1;
    if (length > MaxStoredLineLength)
        return "Entry is too long to store";
    return std::nullopt;
}

} // namespace kv
