#include "exchange/export_format.h"

#include "exchange/byte_scan.h"
#include "exchange/entry_time.h"
#include "product/product.h"
#include "storage/ansi_text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <random>

namespace kv {

namespace {

// Windows-1252 bytes from 0x80 up as UTF-8: two or three bytes each, as every
// character of the code page lies below U+10000.
struct Utf8Char
{
    std::array<char, 3> bytes{};
    std::size_t size = 0;
};
using HighUtf8 = std::array<Utf8Char, 128>;

const HighUtf8& highUtf8()
{
    static const HighUtf8 table = [] {
        HighUtf8 chars;
        for (std::size_t i = 0; i < chars.size(); ++i) {
            const char32_t c = ansiCodePoint(static_cast<unsigned char>(0x80 + i));
            Utf8Char& out = chars[i];
            if (c < 0x800) {
                out.bytes = {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
                out.size = 2;
            } else {
                out.bytes = {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                             static_cast<char>(0x80 | (c & 0x3F))};
                out.size = 3;
            }
        }
        return chars;
    }();
    return table;
}

// Writes a high byte's UTF-8 at `to`, which has room for three bytes.
char* putUtf8(char* to, unsigned char byte)
{
    const Utf8Char& c = highUtf8()[byte - 0x80];
    std::memcpy(to, c.bytes.data(), c.bytes.size());
    return to + c.size;
}

void appendUtf8(std::string& out, unsigned char byte)
{
    const Utf8Char& c = highUtf8()[byte - 0x80];
    out.append(c.bytes.data(), c.size);
}

// What a CSV field needs care with: a comma, a quote or a line end quotes the
// field, a byte from 0x80 up takes more bytes as UTF-8.
struct CsvCare
{
    static std::uint64_t marks(std::uint64_t word)
    {
        // All four lie below 0x2D: most words hold no such byte and skip the exact test.
        const std::uint64_t high = scan::highBytes(word);
        if (!scan::bytesBelow(word, 0x2D))
            return high;
        return scan::bytesEqual(word, ',') | scan::bytesEqual(word, '"') | scan::bytesEqual(word, '\r') |
               scan::bytesEqual(word, '\n') | high;
    }
    static bool byte(unsigned char b) { return Table[b]; }
    static constexpr std::array<bool, 256> Table = scan::tableOf({',', '"', '\r', '\n'}, true);
};

// Within quotes only a quote (doubled) and the high bytes need care.
struct QuotedCsvCare
{
    static std::uint64_t marks(std::uint64_t word) { return scan::bytesEqual(word, '"') | scan::highBytes(word); }
    static bool byte(unsigned char b) { return Table[b]; }
    static constexpr std::array<bool, 256> Table = scan::tableOf({'"'}, true);
};

// Room a field needs at most: three bytes of UTF-8 for each byte (a quote takes
// two), its quotes, and the 8 bytes copyPlain may store past what it copies.
constexpr std::size_t RoomPerByte = 3;
constexpr std::size_t RoomPerField = 2 + 8;

char* putQuotedCsvField(char* to, std::string_view ansi)
{
    const char* at = ansi.data();
    const char* const end = at + ansi.size();
    *to++ = '"';
    for (;;) {
        scan::copyPlain<QuotedCsvCare>(at, end, to);
        if (at == end)
            break;
        const auto byte = static_cast<unsigned char>(*at++);
        if (byte == '"') {
            *to++ = '"';
            *to++ = '"';
        } else {
            to = putUtf8(to, byte);
        }
    }
    *to++ = '"';
    return to;
}

// Writes a field at `to` and says where it ends. Most fields need neither quotes
// nor more than ASCII and are copied a word at a time; a high byte is converted
// in place, and a field found to need quotes is written again from its start.
char* putCsvField(char* to, std::string_view ansi)
{
    char* const start = to;
    const char* at = ansi.data();
    const char* const end = at + ansi.size();
    for (;;) {
        scan::copyPlain<CsvCare>(at, end, to);
        if (at == end)
            return to;
        const auto byte = static_cast<unsigned char>(*at++);
        if (byte < 0x80)
            return putQuotedCsvField(start, ansi);
        to = putUtf8(to, byte);
    }
}

char* put(char* to, std::string_view text)
{
    std::memcpy(to, text.data(), text.size());
    return to + text.size();
}

// Room for the whole export up front: the fields once (a little more for
// characters that take more bytes as UTF-8) and what each row adds around them.
void reserveFor(const RecordTable& entries, std::size_t perRow, std::string& out)
{
    std::size_t bytes = 0;
    for (int row = 0; row < entries.size(); ++row) {
        for (const std::string_view field : entries.fields(row))
            bytes += field.size();
    }
    out.reserve(out.size() + bytes + bytes / 4 + perRow * static_cast<std::size_t>(entries.size()) + 1024);
}

using Fields = std::array<std::string_view, RecordFieldCount>;

std::string_view field(const Fields& fields, RecordField which)
{
    return fields[indexOf(which)];
}

// Writes CSV rows straight into `out` through a pointer: the pieces are many and
// small, and appending each would check the capacity each time. Before each row
// there is room made for the most it can take. The whole export is reserved at
// the start, but made writable (which fills it) a step at a time, so that no
// more memory is touched than the export takes.
// With a sink, each full step goes to it instead, and only one step is ever in memory.
class CsvOut
{
public:
    CsvOut(std::string& out, const RecordTable& entries, std::size_t perRow, std::string_view header,
           const ExportSink* sink)
        : m_out(out), m_used(out.size()), m_sink(sink)
    {
        if (!m_sink)
            reserveFor(entries, perRow, out);
        m_out.append(header);
        m_used = m_out.size();
    }
    ~CsvOut()
    {
        m_out.resize(m_used);
        if (m_sink && !m_out.empty())
            (*m_sink)(m_out);
    }
    CsvOut(const CsvOut&) = delete;
    CsvOut& operator=(const CsvOut&) = delete;

    // Room for one row of these fields, its separators and line end included.
    char* row(const Fields& fields)
    {
        if (m_sink && m_used >= Step) {
            (*m_sink)(std::string_view(m_out.data(), m_used));
            m_used = 0;
        }
        std::size_t room = 64;
        for (const std::string_view f : fields)
            room += RoomPerByte * f.size() + RoomPerField;
        if (m_out.size() - m_used < room)
            m_out.resize(m_used + std::max(room, Step));
        return m_out.data() + m_used;
    }
    void wrote(const char* end) { m_used = static_cast<std::size_t>(end - m_out.data()); }

private:
    static constexpr std::size_t Step = 64 * 1024;
    std::string& m_out;
    std::size_t m_used;
    const ExportSink* m_sink;
};

// A CSV format's row: each field after the text that goes before it, then the
// row's end.
struct CsvColumn
{
    std::string_view before;
    RecordField field;
};
struct CsvShape
{
    std::string_view header;
    std::size_t perRow; // room for the text between the fields
    std::array<CsvColumn, 6> columns;
    std::size_t columnCount;
    std::string_view end;
};

constexpr CsvShape OurCsv{"service,username,password,comments,address,recorded\r\n",
                          16,
                          {{{"", RecordField::Service},
                            {",", RecordField::Username},
                            {",", RecordField::Password},
                            {",", RecordField::Comments},
                            {",", RecordField::Address},
                            {",", RecordField::Recorded}}},
                          6,
                          "\r\n"};
constexpr CsvShape BitwardenCsv{
    "folder,favorite,type,name,notes,fields,reprompt,login_uri,login_username,login_password,login_totp\r\n",
    32,
    {{{",,login,", RecordField::Service},
      {",", RecordField::Comments},
      {",,,", RecordField::Address},
      {",", RecordField::Username},
      {",", RecordField::Password}}},
    5,
    ",\r\n"};
constexpr CsvShape ChromeCsv{"name,url,username,password,note\r\n",
                             16,
                             {{{"", RecordField::Service},
                               {",", RecordField::Address},
                               {",", RecordField::Username},
                               {",", RecordField::Password},
                               {",", RecordField::Comments}}},
                             5,
                             "\r\n"};

// Rows between two reports of progress: few enough to keep them cheap.
constexpr int RowsPerReport = 1024;

void writeCsv(const CsvShape& shape, const RecordTable& entries, std::string& out, const ExportSink* sink,
              const ExportProgress& progress)
{
    CsvOut csv(out, entries, shape.perRow, shape.header, sink);
    for (int row = 0; row < entries.size(); ++row) {
        if (progress && row % RowsPerReport == 0)
            progress(row);
        const Fields fields = entries.fields(row);
        char* to = csv.row(fields);
        for (std::size_t c = 0; c < shape.columnCount; ++c) {
            to = put(to, shape.columns[c].before);
            to = putCsvField(to, field(fields, shape.columns[c].field));
        }
        to = put(to, shape.end);
        csv.wrote(to);
    }
}

// What XML text needs care with: the markup characters, a CR (a literal one
// would come back as LF), the control characters and the high bytes.
struct XmlCare
{
    static std::uint64_t marks(std::uint64_t word)
    {
        return scan::bytesEqual(word, '&') | scan::bytesEqual(word, '<') | scan::bytesEqual(word, '>') |
               scan::bytesEqual(word, '"') | scan::bytesBelow(word, 0x20) | scan::highBytes(word);
    }
    static bool byte(unsigned char b) { return Table[b]; }
    static constexpr std::array<bool, 256> Table = [] {
        std::array<bool, 256> table = scan::tableOf({'&', '<', '>', '"'}, true);
        for (std::size_t b = 0; b < 0x20; ++b)
            table[b] = true;
        return table;
    }();
};

void appendXmlText(std::string& out, std::string_view ansi)
{
    const char* at = ansi.data();
    const char* const end = at + ansi.size();
    for (;;) {
        const char* const care = scan::findCare<XmlCare>(at, end);
        out.append(at, static_cast<std::size_t>(care - at));
        if (care == end)
            return;
        at = care + 1;
        const auto byte = static_cast<unsigned char>(*care);
        if (byte == '&')
            out += "&amp;";
        else if (byte == '<')
            out += "&lt;";
        else if (byte == '>')
            out += "&gt;";
        else if (byte == '"')
            out += "&quot;";
        else if (byte == '\r')
            out += "&#13;"; // a literal CR would come back as LF
        else if (byte == '\t' || byte == '\n')
            out += static_cast<char>(byte);
        else if (byte >= 0x80)
            appendUtf8(out, byte);
        // else: a control character XML 1.0 cannot hold at all; rowsNotCarried
        // keeps every entry with one out of the export
    }
}

// KeePass names groups and entries by 16 random bytes. They need only be unique
// within the file, so one seeding from the system serves the whole export.
class UuidSource
{
public:
    UuidSource()
    {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device(), device(), device(), device(), device()};
        m_engine.seed(seed);
    }

    // Base64 of 16 bytes: 24 characters.
    void append(std::string& out)
    {
        static constexpr std::string_view digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        std::array<unsigned char, 18> bytes{}; // 16 and two zero bytes that fill the last group
        for (std::size_t half = 0; half < 2; ++half) {
            std::uint64_t bits = m_engine();
            for (std::size_t i = 0; i < 8; ++i, bits >>= 8)
                bytes[half * 8 + i] = static_cast<unsigned char>(bits);
        }
        for (std::size_t i = 0; i < bytes.size(); i += 3) {
            const std::uint32_t group =
                (std::uint32_t{bytes[i]} << 16) | (std::uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
            out += digits[(group >> 18) & 0x3F];
            out += digits[(group >> 12) & 0x3F];
            out += digits[(group >> 6) & 0x3F];
            out += digits[group & 0x3F];
        }
        out.resize(out.size() - 2);
        out += "==";
    }

private:
    std::mt19937_64 m_engine;
};

void appendXmlString(std::string& out, std::string_view key, std::string_view ansi, bool protect = false)
{
    out += "\t\t\t\t<String><Key>";
    out += key;
    out += protect ? "</Key><Value ProtectInMemory=\"True\">" : "</Key><Value>";
    appendXmlText(out, ansi);
    out += "</Value></String>\r\n";
}

void writeKeepassXml(const RecordTable& entries, std::string& out, const ExportSink* sink,
                     const ExportProgress& progress)
{
    constexpr std::size_t Step = 64 * 1024;
    if (!sink)
        reserveFor(entries, 640, out);
    UuidSource uuids;
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
           "<KeePassFile>\r\n"
           "\t<Meta>\r\n"
           "\t\t<Generator>";
    appendXmlText(out, utf8ToAnsi(WindowTitle));
    out += "</Generator>\r\n"
           "\t\t<DatabaseName>";
    appendXmlText(out, utf8ToAnsi(AppTitle));
    out += "</DatabaseName>\r\n"
           "\t</Meta>\r\n"
           "\t<Root>\r\n"
           "\t\t<Group>\r\n"
           "\t\t\t<UUID>";
    uuids.append(out);
    out += "</UUID>\r\n"
           "\t\t\t<Name>";
    appendXmlText(out, utf8ToAnsi(AppTitle));
    out += "</Name>\r\n";
    std::string stamp;
    for (int row = 0; row < entries.size(); ++row) {
        if (progress && row % RowsPerReport == 0)
            progress(row);
        const Fields fields = entries.fields(row);
        out += "\t\t\t<Entry>\r\n"
               "\t\t\t\t<UUID>";
        uuids.append(out);
        out += "</UUID>\r\n";
        // The recorded time is the entry's local clock reading; KeePass keeps UTC.
        // One the C library cannot place (Windows, outside 1970 ... 3000) goes
        // as it reads: off by the zone's offset at most, never lost.
        if (const auto time = parseRecordedTime(field(fields, RecordField::Recorded))) {
            stamp.clear();
            const std::optional<CivilTime> utc = utcFromLocal(*time);
            appendIsoTime(stamp, utc ? *utc : *time);
            out += "\t\t\t\t<Times>\r\n";
            for (const std::string_view element :
                 {"CreationTime", "LastModificationTime", "LastAccessTime", "LocationChanged"}) {
                out += "\t\t\t\t\t<";
                out += element;
                out += '>';
                out += stamp;
                out += "</";
                out += element;
                out += ">\r\n";
            }
            out += "\t\t\t\t\t<Expires>False</Expires>\r\n"
                   "\t\t\t\t</Times>\r\n";
        }
        appendXmlString(out, "Title", field(fields, RecordField::Service));
        appendXmlString(out, "UserName", field(fields, RecordField::Username));
        appendXmlString(out, "Password", field(fields, RecordField::Password), true);
        appendXmlString(out, "URL", field(fields, RecordField::Address));
        appendXmlString(out, "Notes", field(fields, RecordField::Comments));
        out += "\t\t\t</Entry>\r\n";
        if (sink && out.size() >= Step) {
            (*sink)(out);
            out.clear();
        }
    }
    out += "\t\t</Group>\r\n"
           "\t</Root>\r\n"
           "</KeePassFile>\r\n";
    if (sink) {
        (*sink)(out);
        out.clear();
    }
}

} // namespace

std::optional<ExportFormat> exportFormatNamed(std::string_view name)
{
    for (const ExportFormat format :
         {ExportFormat::Csv, ExportFormat::BitwardenCsv, ExportFormat::ChromeCsv, ExportFormat::KeepassXml}) {
        if (name == exportFormatName(format))
            return format;
    }
    return std::nullopt;
}

std::string_view exportFormatName(ExportFormat format)
{
    switch (format) {
    case ExportFormat::Csv:
        return "csv";
    case ExportFormat::BitwardenCsv:
        return "bitwarden-csv";
    case ExportFormat::ChromeCsv:
        return "chrome-csv";
    case ExportFormat::KeepassXml:
        return "keepass-xml";
    }
    return {};
}

std::vector<int> rowsNotCarried(ExportFormat format, const RecordTable& entries)
{
    std::vector<int> rows;
    if (format != ExportFormat::KeepassXml)
        return rows;
    const auto uncarried = [](std::string_view text) {
        return std::any_of(text.begin(), text.end(), [](char c) {
            const auto b = static_cast<unsigned char>(c);
            return b < 0x20 && b != '\t' && b != '\n' && b != '\r';
        });
    };
    for (int row = 0; row < entries.size(); ++row) {
        const Fields fields = entries.fields(row);
        for (const RecordField written : {RecordField::Service, RecordField::Username, RecordField::Password,
                                          RecordField::Address, RecordField::Comments}) {
            if (uncarried(field(fields, written))) {
                rows.push_back(row);
                break;
            }
        }
    }
    return rows;
}

namespace {

void writeAny(ExportFormat format, const RecordTable& entries, std::string& out, const ExportSink* sink,
              const ExportProgress& progress)
{
    switch (format) {
    case ExportFormat::Csv:
        writeCsv(OurCsv, entries, out, sink, progress);
        break;
    case ExportFormat::BitwardenCsv:
        writeCsv(BitwardenCsv, entries, out, sink, progress);
        break;
    case ExportFormat::ChromeCsv:
        writeCsv(ChromeCsv, entries, out, sink, progress);
        break;
    case ExportFormat::KeepassXml:
        writeKeepassXml(entries, out, sink, progress);
        break;
    }
}

} // namespace

void writeExport(ExportFormat format, const RecordTable& entries, std::string& out, const ExportProgress& progress)
{
    writeAny(format, entries, out, nullptr, progress);
}

void writeExport(ExportFormat format, const RecordTable& entries, const ExportSink& sink,
                 const ExportProgress& progress)
{
    std::string piece;
    writeAny(format, entries, piece, &sink, progress);
}

} // namespace kv
