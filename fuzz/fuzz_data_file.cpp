// Data files in memory: any bytes load without harm, a file written from records
// loads back to the same records, and writing what was loaded is stable. Sealed
// files too: under a key, no row comes from a line that does not open under it,
// every line is a row, a line kept aside or blank, and a damaged line costs
// that line alone; with no key, a sealed file gives nothing.

#include "fuzz_check.h"
#include "seal/seal_key.h"
#include "seal/sealing.h"
#include "storage/ansi_text.h"
#include "storage/data_file.h"
#include "storage/record_line.h"
#include "storage/record_table.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The seal the sealed seeds in corpus/fuzz_data_file were written under:
// password "fuzz", the least cost the bounds allow.
constexpr std::string_view FixedHeader =
    "*KVSEAL 1 argon2id m=65536 t=3 salt=585f07843d0f1e719186f3dba8491075 "
    "check=724f7d35df551877204db0523e355cc8cc05793844033c6a36c31d696ee316b8 sum=4b6177263a36d9527979e0ea2342a3cd";

// Its key twice: as raw bytes for the seal room's own openLine, which checks
// the storage's reading, and as the key the storage reads with.
struct FixedSeal
{
    kv::SealHeader header;
    kv::SecretBytes raw;
    std::shared_ptr<const kv::LineSeal> key;
};

const FixedSeal& fixedSeal()
{
    static const FixedSeal made = [] {
        FixedSeal s;
        KV_REQUIRE(kv::readSealHeader(FixedHeader, s.header) == kv::HeaderRead::Read);
        KV_REQUIRE(kv::openSeal(s.header, "fuzz", s.raw) == kv::KeyResult::Opened);
        kv::SecretBytes copy(s.raw.size());
        std::memcpy(copy.data(), s.raw.data(), copy.size());
        s.key = std::make_shared<const kv::SealKey>(s.header, std::move(copy), "fuzz");
        return s;
    }();
    return made;
}

std::string_view trimmed(std::string_view line)
{
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
        line.remove_prefix(1);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
        line.remove_suffix(1);
    return line;
}

// The file's lines as a reader numbers them: ended by CR LF, LF or CR, a
// byte-order mark before the first left out.
std::vector<std::string_view> linesOf(std::string_view content)
{
    std::vector<std::string_view> lines;
    while (!content.empty()) {
        const std::size_t end = content.find_first_of("\r\n");
        if (end == std::string_view::npos) {
            lines.push_back(content);
            break;
        }
        lines.push_back(content.substr(0, end));
        std::size_t next = end + 1;
        if (content[end] == '\r' && next < content.size() && content[next] == '\n')
            ++next;
        content.remove_prefix(next);
    }
    if (!lines.empty() && lines.front().starts_with("\xEF\xBB\xBF"))
        lines.front().remove_prefix(3);
    return lines;
}

bool sameRows(const kv::RecordTable& a, const kv::RecordTable& b)
{
    if (a.size() != b.size())
        return false;
    for (int row = 0; row < a.size(); ++row) {
        if (a.fields(row) != b.fields(row))
            return false;
    }
    return true;
}

// Whether `row` of `rows` holds the fields of row `of` in `expected`, its own
// kept line aside.
bool sameFields(const kv::RecordTable& rows, int row, const kv::RecordTable& expected, int of)
{
    auto a = rows.fields(row);
    auto b = expected.fields(of);
    a[kv::indexOf(kv::RecordField::KeptLine)] = b[kv::indexOf(kv::RecordField::KeptLine)] = {};
    return a == b;
}

// Any bytes as a data file's content, with no key and under the fixed one.
void checkSealedParse(std::string_view content)
{
    const FixedSeal& s = fixedSeal();
    const std::vector<std::string_view> lines = linesOf(content);
    std::size_t first = 0;
    while (first < lines.size() && trimmed(lines[first]).empty())
        ++first;
    const std::string_view header = first < lines.size() ? trimmed(lines[first]) : std::string_view();
    const bool marked = kv::isSealMarked(header);

    kv::RecordTable plainRows;
    std::vector<int> plainLineOf;
    kv::SealedFile plainSealed;
    KV_REQUIRE(kv::ParseDatabase(content, plainRows, plainLineOf, nullptr, plainSealed) == !marked);
    KV_REQUIRE(plainSealed.header == (marked ? header : std::string_view()));
    KV_REQUIRE(plainSealed.unopened.empty());
    KV_REQUIRE(!marked || (plainRows.empty() && plainLineOf.empty()));

    kv::RecordTable rows;
    std::vector<int> lineOf;
    std::vector<int> unopenedLines;
    kv::SealedFile sealed;
    const bool read = kv::ParseDatabase(content, rows, lineOf, s.key.get(), sealed, &unopenedLines);
    if (!marked) {
        // Not sealed: the key plays no part.
        KV_REQUIRE(read && !sealed.sealed() && sealed.unopened.empty() && unopenedLines.empty());
        KV_REQUIRE(sameRows(rows, plainRows) && lineOf == plainLineOf);
        return;
    }
    KV_REQUIRE(sealed.header == header);
    if (header != s.key->header()) {
        KV_REQUIRE(!read && rows.empty() && lineOf.empty() && sealed.unopened.empty() && unopenedLines.empty());
        return;
    }
    KV_REQUIRE(read && lineOf.size() == static_cast<std::size_t>(rows.size()));
    KV_REQUIRE(unopenedLines.size() == sealed.unopened.size());
    // Each line after the header, in order: blank, a row holding what it opens
    // to under the key, or kept aside as it stands.
    std::size_t row = 0;
    std::size_t aside = 0;
    std::string plain;
    for (std::size_t i = first + 1; i < lines.size(); ++i) {
        const std::string_view line = trimmed(lines[i]);
        if (line.empty())
            continue;
        const int number = static_cast<int>(i + 1);
        if (kv::openLine(s.raw, s.header, line, plain)) {
            KV_REQUIRE(row < lineOf.size() && lineOf[row] == number);
            kv::RecordTable expected;
            expected.appendLine(plain);
            KV_REQUIRE(sameFields(rows, static_cast<int>(row), expected, 0));
            const std::string_view kept = rows.bytes(static_cast<int>(row), kv::RecordField::KeptLine);
            KV_REQUIRE(kept.empty() || kept == lines[i]);
            ++row;
        } else {
            KV_REQUIRE(aside < unopenedLines.size() && unopenedLines[aside] == number);
            KV_REQUIRE(sealed.unopened[aside] == lines[i]);
            ++aside;
        }
    }
    KV_REQUIRE(row == lineOf.size() && aside == unopenedLines.size());
}

kv::RecordTable tableOf(const std::vector<kv::Record>& records)
{
    kv::RecordTable table;
    for (const kv::Record& record : records)
        table.append(record);
    return table;
}

std::vector<kv::Record> recordsOf(const kv::RecordTable& table)
{
    std::vector<kv::Record> records;
    for (int row = 0; row < table.size(); ++row)
        records.push_back(table.record(row));
    return records;
}

std::vector<kv::Record> parsed(std::string_view content)
{
    kv::RecordTable rows;
    kv::ParseDatabase(content, rows);
    return recordsOf(rows);
}

// Saving must succeed exactly when every row fits; what it writes must load back
// to the same rows and rewrite to the same bytes.
void checkSaveLoad(const std::vector<kv::Record>& rows)
{
    bool fits = true;
    for (const kv::Record& row : rows)
        fits = fits && (!row.keptLine.empty() || kv::RecordLineFits(row));

    const std::string before = "earlier content\r\n";
    std::string content = before;
    const bool written = kv::DatabaseContent(tableOf(rows), content);
    KV_REQUIRE(written == fits);
    if (!written) {
        KV_REQUIRE(content == before);
        return;
    }
    KV_REQUIRE(content.starts_with(before));
    content.erase(0, before.size());

    const std::vector<kv::Record> loaded = parsed(content);
    KV_REQUIRE(loaded == rows);
    std::string again;
    KV_REQUIRE(kv::DatabaseContent(tableOf(loaded), again));
    KV_REQUIRE(again == content);
}

// Records made straight from the input: one per input line, fields split at "|",
// read as Windows-1252 unless they already are UTF-8 the file can hold.
std::vector<kv::Record> recordsFrom(std::string_view input)
{
    std::vector<kv::Record> rows;
    while (!input.empty()) {
        const std::size_t newline = input.find('\n');
        std::string_view line = input.substr(0, newline);
        input.remove_prefix(newline == std::string_view::npos ? input.size() : newline + 1);

        kv::Record& row = rows.emplace_back();
        std::string* fields[] = {&row.service,  &row.username, &row.password,
                                 &row.comments, &row.address,  &row.recorded};
        for (std::string* field : fields) {
            const std::size_t bar = line.find('|');
            std::string bytes;
            for (const char c : line.substr(0, bar)) {
                if (c != '\r')
                    bytes += c;
            }
            *field = kv::fitsAnsi(bytes) ? bytes : kv::ansiToUtf8(bytes);
            if (bar == std::string_view::npos)
                break;
            line.remove_prefix(bar + 1);
        }
    }
    return rows;
}

// Records made from the input, sealed under the fixed key as a full save writes
// them, one line damaged in its middle: every other line reads back to its
// record, in order, and the damaged one is kept aside as it stands.
void checkSealedRoundTrip(const std::vector<kv::Record>& records, std::size_t damage)
{
    const FixedSeal& s = fixedSeal();
    const kv::RecordTable table = tableOf(records);
    const std::size_t damaged = records.empty() ? 0 : damage % records.size();
    std::string content = s.key->header() + "\r\n";
    std::vector<std::string> lines;
    for (int row = 0; row < table.size(); ++row) {
        std::string plain;
        for (const kv::RecordField field :
             {kv::RecordField::Service, kv::RecordField::Username, kv::RecordField::Password, kv::RecordField::Comments,
              kv::RecordField::Address, kv::RecordField::Recorded}) {
            plain += table.bytes(row, field);
            plain += '|';
        }
        std::string& line = lines.emplace_back();
        s.key->seal(plain, line);
        if (static_cast<std::size_t>(row) == damaged) {
            char& middle = line[line.size() / 2];
            middle = middle == 'A' ? 'B' : 'A';
        }
        content += line + "\r\n";
    }

    kv::RecordTable rows;
    std::vector<int> lineOf;
    std::vector<int> unopenedLines;
    kv::SealedFile sealed;
    KV_REQUIRE(kv::ParseDatabase(content, rows, lineOf, s.key.get(), sealed, &unopenedLines));
    KV_REQUIRE(sealed.header == s.key->header());
    if (records.empty()) {
        KV_REQUIRE(rows.empty() && sealed.unopened.empty());
        return;
    }
    KV_REQUIRE(unopenedLines == std::vector<int>{static_cast<int>(damaged) + 2});
    KV_REQUIRE(sealed.unopened == std::vector<std::string>{lines[damaged]});
    KV_REQUIRE(static_cast<std::size_t>(rows.size()) + 1 == records.size());
    for (int row = 0; row < rows.size(); ++row) {
        const int of = row < static_cast<int>(damaged) ? row : row + 1;
        KV_REQUIRE(lineOf[static_cast<std::size_t>(row)] == of + 2);
        KV_REQUIRE(sameFields(rows, row, table, of));
        // Kept as it stands only when too long to be written back from its fields.
        const std::string_view kept = rows.bytes(row, kv::RecordField::KeptLine);
        KV_REQUIRE(kept.empty() || kept == lines[static_cast<std::size_t>(of)]);
    }

    // With no key, a sealed file gives no rows at all.
    kv::RecordTable none;
    std::vector<int> noneLineOf;
    kv::SealedFile noneSealed;
    KV_REQUIRE(!kv::ParseDatabase(content, none, noneLineOf, nullptr, noneSealed) && none.empty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    // Loading appends: rows already there stay as they were.
    kv::Record first;
    first.service = "already there";
    kv::RecordTable table = tableOf({first});
    kv::ParseDatabase(input, table);
    std::vector<kv::Record> rows = recordsOf(table);
    KV_REQUIRE(rows.front().service == "already there");
    rows.erase(rows.begin());

    checkSaveLoad(rows);
    const std::vector<kv::Record> records = recordsFrom(input);
    checkSaveLoad(records);
    checkSealedParse(input);
    checkSealedRoundTrip(records, size);
    return 0;
}
