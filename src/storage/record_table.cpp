#include "storage/record_table.h"

#include "storage/ansi_text.h"

#include <cstring>
#include <limits>
#include <stdexcept>

namespace kv {

namespace {

constexpr std::size_t FieldsOfALine = 6;

std::uint32_t offset(std::size_t position)
{
    if (position > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("database larger than 4 GiB");
    return static_cast<std::uint32_t>(position);
}

} // namespace

std::string_view RecordTable::bytes(int row, RecordField field) const
{
    const Row& r = m_rows.at(static_cast<std::size_t>(row));
    const std::size_t i = indexOf(field);
    return std::string_view(m_text).substr(r.begin[i], r.end[i] - r.begin[i]);
}

std::array<std::string_view, RecordFieldCount> RecordTable::fields(int row) const
{
    const Row& r = m_rows.at(static_cast<std::size_t>(row));
    std::array<std::string_view, RecordFieldCount> out;
    for (std::size_t i = 0; i < RecordFieldCount; ++i)
        out[i] = std::string_view(m_text.data() + r.begin[i], r.end[i] - r.begin[i]);
    return out;
}

std::string RecordTable::text(int row, RecordField field) const
{
    return ansiToUtf8(bytes(row, field));
}

Record RecordTable::record(int row) const
{
    Record record;
    record.service = text(row, RecordField::Service);
    record.username = text(row, RecordField::Username);
    record.password = text(row, RecordField::Password);
    record.comments = text(row, RecordField::Comments);
    record.address = text(row, RecordField::Address);
    record.recorded = text(row, RecordField::Recorded);
    record.keptLine = bytes(row, RecordField::KeptLine); // the file's own bytes, not text
    return record;
}

RecordTable::Row RecordTable::store(const std::array<std::string_view, RecordFieldCount>& fields)
{
    std::size_t size = 0;
    for (const std::string_view field : fields)
        size += field.size();
    m_text.reserve(m_text.size() + size);
    Row row;
    for (std::size_t i = 0; i < RecordFieldCount; ++i) {
        row.begin[i] = offset(m_text.size());
        m_text += fields[i];
        row.end[i] = offset(m_text.size());
    }
    return row;
}

void RecordTable::append(const Record& record)
{
    // Text of plain ASCII is the same in both: only the rest is converted (an
    // import appends tens of thousands of records).
    const std::string* texts[] = {&record.service,  &record.username, &record.password,
                                  &record.comments, &record.address,  &record.recorded};
    std::array<std::string, 6> converted;
    std::array<std::string_view, RecordFieldCount> fields;
    for (std::size_t i = 0; i < converted.size(); ++i) {
        const std::string& text = *texts[i];
        unsigned char high = 0;
        for (const char c : text)
            high |= static_cast<unsigned char>(c);
        if (high < 0x80) {
            fields[i] = text;
        } else {
            converted[i] = utf8ToAnsi(text);
            fields[i] = converted[i];
        }
    }
    fields[indexOf(RecordField::KeptLine)] = record.keptLine;
    m_rows.push_back(store(fields));
}

void RecordTable::append(const RecordTable& other)
{
    m_rows.reserve(m_rows.size() + other.m_rows.size());
    for (int row = 0; row < other.size(); ++row) {
        std::array<std::string_view, RecordFieldCount> fields;
        for (std::size_t i = 0; i < RecordFieldCount; ++i)
            fields[i] = other.bytes(row, static_cast<RecordField>(i));
        m_rows.push_back(store(fields));
    }
}

char* RecordTable::lineBuffer(std::size_t size)
{
    const std::size_t start = m_text.size();
    m_text.resize(start + size);
    m_lineStart = start;
    return m_text.data() + start;
}

RecordTable::LineShape RecordTable::addLine(std::size_t size)
{
    // The fields stay where they were deciphered, each followed by its "|";
    // whatever follows the last field's "|" (the line end, the cipher's filler)
    // is dropped.
    const std::size_t start = m_lineStart;
    const char* plain = m_text.data() + start;
    Row row;
    LineShape shape;
    std::size_t pos = 0;
    for (; shape.fields < FieldsOfALine; ++shape.fields) {
        const void* bar = pos < size ? std::memchr(plain + pos, '|', size - pos) : nullptr;
        if (!bar)
            break;
        const std::size_t end = static_cast<std::size_t>(static_cast<const char*>(bar) - plain);
        row.begin[shape.fields] = offset(start + pos);
        row.end[shape.fields] = offset(start + end);
        shape.fieldBytes += end - pos;
        pos = end + 1;
    }
    for (std::size_t i = shape.fields; i < FieldsOfALine; ++i)
        row.begin[i] = row.end[i] = offset(start + pos);
    shape.moreFields = shape.fields == FieldsOfALine && pos < size && std::memchr(plain + pos, '|', size - pos);
    m_text.resize(start + pos);
    const std::size_t k = indexOf(RecordField::KeptLine);
    row.begin[k] = row.end[k] = offset(m_text.size());
    m_rows.push_back(row);
    return shape;
}

void RecordTable::dropLine()
{
    m_text.resize(m_lineStart);
}

void RecordTable::keepLine(std::string_view raw)
{
    Row& row = m_rows.back();
    const std::size_t k = indexOf(RecordField::KeptLine);
    m_unused += row.end[k] - row.begin[k];
    row.begin[k] = offset(m_text.size());
    m_text += raw;
    row.end[k] = offset(m_text.size());
}

void RecordTable::appendLine(std::string_view plain, std::string_view keptLine)
{
    const std::string copy(plain); // `plain` could lie in m_text, which lineBuffer may move
    std::memcpy(lineBuffer(copy.size()), copy.data(), copy.size());
    addLine(copy.size());
    if (!keptLine.empty())
        keepLine(keptLine);
}

void RecordTable::replaceDetails(int row, const Record& record)
{
    Row& target = m_rows.at(static_cast<std::size_t>(row));
    std::size_t size = 0;
    for (std::size_t i = 0; i < RecordFieldCount; ++i)
        size += target.end[i] - target.begin[i];
    const std::string service(bytes(row, RecordField::Service));
    const std::string username = utf8ToAnsi(record.username);
    const std::string password = utf8ToAnsi(record.password);
    const std::string comments = utf8ToAnsi(record.comments);
    const std::string address = utf8ToAnsi(record.address);
    const std::string recorded = utf8ToAnsi(record.recorded);
    m_rows[static_cast<std::size_t>(row)] = store({service, username, password, comments, address, recorded, {}});
    m_unused += size;
    compactIfWasteful();
}

void RecordTable::remove(int row)
{
    const Row& gone = m_rows.at(static_cast<std::size_t>(row));
    for (std::size_t i = 0; i < RecordFieldCount; ++i)
        m_unused += gone.end[i] - gone.begin[i];
    m_rows.erase(m_rows.begin() + row);
    compactIfWasteful();
}

void RecordTable::clear()
{
    // Given back, not kept: the next database may be small.
    m_text = std::string();
    m_rows = std::vector<Row>();
    m_unused = 0;
}

void RecordTable::reserve(std::size_t rows, std::size_t textBytes)
{
    m_rows.reserve(rows);
    m_text.reserve(textBytes);
}

void RecordTable::reorder(std::span<const int> order)
{
    std::vector<Row> rows;
    rows.reserve(m_rows.size());
    for (const int from : order)
        rows.push_back(m_rows.at(static_cast<std::size_t>(from)));
    m_rows = std::move(rows);
}

void RecordTable::compactIfWasteful()
{
    // Removed and replaced rows leave their text behind; once that is most of the
    // buffer, the live text is copied into a new one.
    if (m_unused < 64 * 1024 || m_unused < m_text.size() / 2)
        return;
    std::string text;
    text.reserve(m_text.size() - m_unused);
    for (Row& row : m_rows) {
        for (std::size_t i = 0; i < RecordFieldCount; ++i) {
            const std::size_t begin = text.size();
            text.append(m_text, row.begin[i], row.end[i] - row.begin[i]);
            row.begin[i] = offset(begin);
            row.end[i] = offset(text.size());
        }
    }
    m_text = std::move(text);
    m_unused = 0;
}

} // namespace kv
