#include "exchange/export_format.h"

#include "exchange/entry_time.h"
#include "product/product.h"
#include "storage/ansi_text.h"

#include <array>
#include <cstdint>
#include <random>

namespace kv {

namespace {

// Appends Windows-1252 bytes as UTF-8, runs of ASCII in one piece.
void appendUtf8(std::string& out, std::string_view ansi)
{
    std::size_t start = 0;
    for (std::size_t i = 0; i < ansi.size(); ++i) {
        const auto byte = static_cast<unsigned char>(ansi[i]);
        if (byte < 0x80)
            continue;
        out.append(ansi.data() + start, i - start);
        start = i + 1;
        // Every character of the code page lies below U+10000.
        const char32_t c = ansiCodePoint(byte);
        if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        }
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    out.append(ansi.data() + start, ansi.size() - start);
}

// A field is quoted when it holds a comma, a quote or a line end. Looked up by
// byte: a search for any of four characters costs four searches per field.
constexpr std::array<bool, 256> QuotedFor = [] {
    std::array<bool, 256> table{};
    for (const unsigned char c : {',', '"', '\r', '\n'})
        table[c] = true;
    return table;
}();

bool needsQuotes(std::string_view ansi)
{
    for (const char c : ansi) {
        if (QuotedFor[static_cast<unsigned char>(c)])
            return true;
    }
    return false;
}

void appendCsvField(std::string& out, std::string_view ansi)
{
    if (!needsQuotes(ansi)) {
        appendUtf8(out, ansi);
        return;
    }
    out += '"';
    for (;;) {
        const std::size_t quote = ansi.find('"');
        appendUtf8(out, ansi.substr(0, quote));
        if (quote == std::string_view::npos)
            break;
        out += "\"\"";
        ansi.remove_prefix(quote + 1);
    }
    out += '"';
}

void appendXmlText(std::string& out, std::string_view ansi)
{
    std::size_t start = 0;
    for (std::size_t i = 0; i < ansi.size(); ++i) {
        const char c = ansi[i];
        std::string_view replacement;
        if (c == '&')
            replacement = "&amp;";
        else if (c == '<')
            replacement = "&lt;";
        else if (c == '>')
            replacement = "&gt;";
        else if (c == '"')
            replacement = "&quot;";
        else if (c == '\r')
            replacement = "&#13;"; // a literal CR would come back as LF
        else if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n')
            continue;
        // else: a control character XML 1.0 cannot hold at all, dropped
        appendUtf8(out, ansi.substr(start, i - start));
        out += replacement;
        start = i + 1;
    }
    appendUtf8(out, ansi.substr(start));
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

void writeCsv(const RecordTable& entries, std::string& out)
{
    reserveFor(entries, 16, out);
    out += "service,username,password,comments,address,recorded\r\n";
    for (int row = 0; row < entries.size(); ++row) {
        const Fields fields = entries.fields(row);
        appendCsvField(out, field(fields, RecordField::Service));
        out += ',';
        appendCsvField(out, field(fields, RecordField::Username));
        out += ',';
        appendCsvField(out, field(fields, RecordField::Password));
        out += ',';
        appendCsvField(out, field(fields, RecordField::Comments));
        out += ',';
        appendCsvField(out, field(fields, RecordField::Address));
        out += ',';
        appendCsvField(out, field(fields, RecordField::Recorded));
        out += "\r\n";
    }
}

void writeBitwardenCsv(const RecordTable& entries, std::string& out)
{
    reserveFor(entries, 32, out);
    out += "folder,favorite,type,name,notes,fields,reprompt,login_uri,login_username,login_password,login_totp\r\n";
    for (int row = 0; row < entries.size(); ++row) {
        const Fields fields = entries.fields(row);
        out += ",,login,";
        appendCsvField(out, field(fields, RecordField::Service));
        out += ',';
        appendCsvField(out, field(fields, RecordField::Comments));
        out += ",,,";
        appendCsvField(out, field(fields, RecordField::Address));
        out += ',';
        appendCsvField(out, field(fields, RecordField::Username));
        out += ',';
        appendCsvField(out, field(fields, RecordField::Password));
        out += ",\r\n";
    }
}

void writeChromeCsv(const RecordTable& entries, std::string& out)
{
    reserveFor(entries, 16, out);
    out += "name,url,username,password,note\r\n";
    for (int row = 0; row < entries.size(); ++row) {
        const Fields fields = entries.fields(row);
        appendCsvField(out, field(fields, RecordField::Service));
        out += ',';
        appendCsvField(out, field(fields, RecordField::Address));
        out += ',';
        appendCsvField(out, field(fields, RecordField::Username));
        out += ',';
        appendCsvField(out, field(fields, RecordField::Password));
        out += ',';
        appendCsvField(out, field(fields, RecordField::Comments));
        out += "\r\n";
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

void writeKeepassXml(const RecordTable& entries, std::string& out)
{
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
        const Fields fields = entries.fields(row);
        out += "\t\t\t<Entry>\r\n"
               "\t\t\t\t<UUID>";
        uuids.append(out);
        out += "</UUID>\r\n";
        // The recorded time is the entry's local clock reading; written as it is.
        if (const auto time = parseRecordedTime(field(fields, RecordField::Recorded))) {
            stamp.clear();
            appendIsoTime(stamp, *time);
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
    }
    out += "\t\t</Group>\r\n"
           "\t</Root>\r\n"
           "</KeePassFile>\r\n";
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

void writeExport(ExportFormat format, const RecordTable& entries, std::string& out)
{
    switch (format) {
    case ExportFormat::Csv:
        writeCsv(entries, out);
        break;
    case ExportFormat::BitwardenCsv:
        writeBitwardenCsv(entries, out);
        break;
    case ExportFormat::ChromeCsv:
        writeChromeCsv(entries, out);
        break;
    case ExportFormat::KeepassXml:
        writeKeepassXml(entries, out);
        break;
    }
}

} // namespace kv
