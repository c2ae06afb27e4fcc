// Other programs' files: any bytes read in each mode without harm, and entries
// written in each export format read back the same, for the entries read and for
// records made straight from the input's bytes.

#include "exchange/entry_time.h"
#include "exchange/export_format.h"
#include "exchange/import_format.h"
#include "exchange/imported_entry.h"
#include "fuzz_check.h"
#include "storage/record_table.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr kv::ExportFormat Formats[] = {kv::ExportFormat::Csv, kv::ExportFormat::BitwardenCsv,
                                        kv::ExportFormat::ChromeCsv, kv::ExportFormat::KeepassXml};

// What every result holds to: a failure says why in one line and brings nothing;
// a success brings entries in file order, none empty, each with a service when
// it has an address host or user name, and a time only in the records' form.
void checkResult(const kv::ImportResult& result)
{
    if (!result.ok) {
        KV_REQUIRE(result.entries.empty());
        KV_REQUIRE(!result.error.empty());
        KV_REQUIRE(result.error.find_first_of("\r\n") == std::string::npos);
        return;
    }
    KV_REQUIRE(!result.formatName.empty());
    int where = 0;
    for (const kv::ImportedEntry& entry : result.entries) {
        KV_REQUIRE(entry.where > where);
        where = entry.where;
        const kv::Record& record = entry.record;
        KV_REQUIRE(!kv::holdsNothing(record));
        KV_REQUIRE(!record.service.empty() || (record.username.empty() && kv::hostOf(record.address).empty()));
        KV_REQUIRE(record.recorded.empty() || kv::parseRecordedTime(record.recorded));
        KV_REQUIRE(record.keptLine.empty());
    }
}

// The time a format carries back: our CSV reads any time it knows, KeePass XML
// only ours (others are not written), the other CSV formats none.
std::string recordedBack(kv::ExportFormat format, const std::string& recorded)
{
    std::optional<kv::CivilTime> time;
    if (format == kv::ExportFormat::Csv)
        time = kv::parseAsLocal(recorded);
    else if (format == kv::ExportFormat::KeepassXml)
        time = kv::parseRecordedTime(recorded);
    return time ? kv::recordedText(*time) : std::string();
}

// XML 1.0 cannot hold control characters but tab and the line ends: the export drops them.
void dropControls(std::string& text)
{
    std::erase_if(text,
                  [](char c) { return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r'; });
}

// Each format written and read back gives the table's entries (as UTF-8), less
// what the format cannot carry; an entry left with nothing is not read back.
void checkRoundTrip(const kv::RecordTable& table)
{
    for (const kv::ExportFormat format : Formats) {
        const bool xml = format == kv::ExportFormat::KeepassXml;
        std::vector<kv::Record> expected;
        for (int row = 0; row < table.size(); ++row) {
            kv::Record record = table.record(row);
            if (xml) {
                for (std::string* field :
                     {&record.service, &record.username, &record.password, &record.comments, &record.address})
                    dropControls(*field);
            }
            if (kv::holdsNothing(record))
                continue;
            kv::fillService(record);
            record.recorded = recordedBack(format, record.recorded);
            expected.push_back(record);
        }

        const std::string before = "earlier";
        std::string out = before;
        kv::writeExport(format, table, out);
        KV_REQUIRE(out.starts_with(before));
        const kv::ImportResult back =
            kv::readImport(std::string_view(out).substr(before.size()), kv::ImportFormat::Auto);
        KV_REQUIRE(back.ok);
        KV_REQUIRE(back.formatName == kv::exportFormatName(format));
        KV_REQUIRE(back.entries.size() == expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const kv::Record& got = back.entries[i].record;
            KV_REQUIRE(got.service == expected[i].service);
            KV_REQUIRE(got.username == expected[i].username);
            KV_REQUIRE(got.password == expected[i].password);
            KV_REQUIRE(got.comments == expected[i].comments);
            KV_REQUIRE(got.address == expected[i].address);
            KV_REQUIRE(got.recorded == expected[i].recorded);
        }
    }
}

// Records made straight from the input: one per line, fields split at "|", the
// bytes taken as Windows-1252 as a data file holds them.
kv::RecordTable tableFrom(std::string_view input)
{
    kv::RecordTable table;
    while (!input.empty()) {
        const std::size_t newline = input.find('\n');
        table.appendLine(input.substr(0, newline));
        input.remove_prefix(newline == std::string_view::npos ? input.size() : newline + 1);
    }
    return table;
}

} // namespace

// Times are made UTC on the way out and local on the way in: in UTC every local
// time comes back as it went, where a zone's clock changes skip an hour that could not.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setenv("TZ", "UTC0", 1);
    tzset();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    for (const kv::ImportFormat format :
         {kv::ImportFormat::Auto, kv::ImportFormat::Csv, kv::ImportFormat::KeepassXml, kv::ImportFormat::Json}) {
        const kv::ImportResult result = kv::readImport(input, format);
        checkResult(result);
        if (format == kv::ImportFormat::Auto || !result.ok)
            continue;
        kv::RecordTable table;
        for (const kv::ImportedEntry& entry : result.entries)
            table.append(entry.record);
        checkRoundTrip(table);
    }
    checkRoundTrip(tableFrom(input));
    return 0;
}
