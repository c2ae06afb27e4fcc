#include "storage/data_file_lines.h"

#include "product/product.h"
#include "storage/line_cipher.h"

#include <algorithm>
#include <functional>

namespace kv {

namespace fileLines {

namespace {

constexpr std::size_t FieldCount = 6;
constexpr RecordField LineFields[FieldCount] = {RecordField::Service,  RecordField::Username, RecordField::Password,
                                                RecordField::Comments, RecordField::Address,  RecordField::Recorded};

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Whether a full save can write the record back from its fields and lose nothing
// of the deciphered line but what every reader ignores (what follows its last
// "|": the line end and the cipher's filler). Not so for a line that did not
// decipher or holds no "|" at all, one with more fields than a record has, and one
// whose rebuilt line would be too long for the cipher.
bool rewritable(const RecordTable::LineShape& shape)
{
    return shape.fields > 0 && !shape.moreFields &&
           shape.fieldBytes + FieldCount + LineEnd.size() <= MaxStoredLineLength;
}

// One line of the file into a row of the table, deciphered straight into it. A
// line DecodeLine cannot read still gives a row, all of it empty, as the old loader
// did: the user sees that something was there, and the line is kept.
void addFileLine(RecordTable& table, std::string_view raw)
{
    const std::string_view line = trimmed(raw);
    if (line.empty())
        return;
    const std::size_t size = (line.size() + 1) / 2;
    char* plain = table.lineBuffer(size);
    const bool deciphered = decodeBytesTo(line, AppTitle, plain);
    if (!rewritable(table.addLine(deciphered ? size : 0)))
        table.keepLine(raw);
}

// One line of a sealed file, opened under `key` straight into a row. A line that
// does not open makes no row: it is kept aside as it stands.
void addSealedLine(RecordTable& table, const LineSeal& key, std::string_view raw, std::string_view line,
                   std::vector<std::string>& unopened)
{
    const std::size_t size = key.openedSize(line);
    if (size > 0) {
        char* plain = table.lineBuffer(size);
        if (const std::optional<std::size_t> opened = key.open(line, plain)) {
            if (!rewritable(table.addLine(*opened)))
                table.keepLine(raw);
            return;
        }
        table.dropLine();
    }
    unopened.emplace_back(raw);
}

} // namespace

std::string_view trimmed(std::string_view line)
{
    while (!line.empty() && isBlank(line.front()))
        line.remove_prefix(1);
    while (!line.empty() && isBlank(line.back()))
        line.remove_suffix(1);
    return line;
}

void FileLineReader::operator()(std::string_view raw)
{
    ++m_line;
    const std::string_view line = trimmed(raw);
    if (line.empty() || m_shut)
        return;
    if (m_first) {
        m_first = false;
        if (isSealMarked(line)) {
            m_sealed.header = line;
            m_shut = !m_key || m_key->header() != line;
            return;
        }
    }
    const int before = m_rows.size();
    if (!m_sealed.sealed()) {
        if (looksSealed(line))
            m_sealed.strayLines = true;
        addFileLine(m_rows, raw);
    } else {
        const std::size_t kept = m_sealed.unopened.size();
        addSealedLine(m_rows, *m_key, raw, line, m_sealed.unopened);
        if (m_unopenedLines && m_sealed.unopened.size() > kept)
            m_unopenedLines->push_back(m_line);
    }
    if (m_lineOf && m_rows.size() > before)
        m_lineOf->push_back(m_line);
}

// Room for what a file of `bytes` bytes holds: its text is half its size, and a
// line is seldom shorter than 60 digits. Memory reserved but never filled costs
// address space, not memory.
void reserveFor(RecordTable& table, std::uint64_t bytes)
{
    table.reserve(static_cast<std::size_t>(bytes / 60 + 16), static_cast<std::size_t>(bytes / 2 + 64));
}

// Whether a full save can write every row, and how many bytes it writes. A kept
// line that starts with the bytes of a byte-order mark, written first, would lose
// them to the next load: the file then gets a mark of its own before it.
bool measureContent(const RecordTable& rows, std::size_t& size)
{
    size = 0;
    for (int row = 0; row < rows.size(); ++row) {
        const auto fields = rows.fields(row);
        const std::string_view kept = fields[indexOf(RecordField::KeptLine)];
        if (!kept.empty()) {
            size += kept.size() + LineEnd.size();
            if (row == 0 && kept.starts_with(ByteOrderMark))
                size += ByteOrderMark.size();
            continue;
        }
        std::size_t plain = FieldCount + LineEnd.size();
        for (const RecordField field : LineFields)
            plain += fields[indexOf(field)].size();
        if (plain > MaxStoredLineLength)
            return false;
        size += 2 * std::max(plain, AppTitle.size()) + LineEnd.size();
    }
    return true;
}

// The line a full save writes for a row, appended to `out`; `plain` is the
// caller's to reuse. With `key`, the row is sealed under it.
void appendRowLine(const RecordTable& rows, int row, std::string& plain, std::string& out, const LineSeal* key)
{
    const auto fields = rows.fields(row);
    const std::string_view kept = fields[indexOf(RecordField::KeptLine)];
    if (!kept.empty()) {
        if (!key && row == 0 && kept.starts_with(ByteOrderMark))
            out += ByteOrderMark;
        out += kept;
        out += LineEnd;
        return;
    }
    plain.clear();
    for (const RecordField field : LineFields) {
        plain += fields[indexOf(field)];
        plain += '|';
    }
    if (key) {
        key->seal(plain, out);
    } else {
        plain += LineEnd; // enciphered with the line, as stored files always had it
        encodeBytesAppend(plain, AppTitle, out);
    }
    out += LineEnd;
}

} // namespace fileLines

using namespace fileLines;

void ParseDatabase(std::string_view content, RecordTable& out)
{
    reserveFor(out, content.size());
    LineSplitter splitter([&out](std::string_view line) { addFileLine(out, line); });
    splitter.feed(content);
    splitter.finish();
}

void ParseDatabase(std::string_view content, RecordTable& out, std::vector<int>& lineOf)
{
    SealedFile sealed;
    ParseDatabase(content, out, lineOf, nullptr, sealed);
}

bool ParseDatabase(std::string_view content, RecordTable& out, std::vector<int>& lineOf, const LineSeal* key,
                   SealedFile& sealed, std::vector<int>* unopenedLines)
{
    sealed = {};
    RecordTable rows;
    reserveFor(rows, content.size());
    FileLineReader reader(rows, key, sealed, &lineOf, unopenedLines);
    LineSplitter splitter(std::ref(reader));
    splitter.feed(content);
    splitter.finish();
    if (reader.shut())
        return false;
    if (out.empty())
        out = std::move(rows);
    else
        out.append(rows);
    return true;
}

bool DatabaseContent(const RecordTable& rows, std::string& out)
{
    std::size_t size = 0;
    if (!measureContent(rows, size))
        return false;
    std::string content;
    content.reserve(size);
    std::string plain;
    for (int row = 0; row < rows.size(); ++row)
        appendRowLine(rows, row, plain, content);
    out += content;
    return true;
}

} // namespace kv
