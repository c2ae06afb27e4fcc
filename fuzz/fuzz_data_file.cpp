// Data files in memory: any bytes load without harm, a file written from records
// loads back to the same records, and writing what was loaded is stable.

#include "fuzz_check.h"
#include "storage/ansi_text.h"
#include "storage/data_file.h"
#include "storage/record_line.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::vector<kv::Record> parsed(std::string_view content)
{
    std::vector<kv::Record> rows;
    kv::ParseDatabase(content, rows);
    return rows;
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
    const bool written = kv::DatabaseContent(rows, content);
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
    KV_REQUIRE(kv::DatabaseContent(loaded, again));
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    // Loading appends: rows already there stay as they were.
    std::vector<kv::Record> rows(1);
    rows.front().service = "already there";
    kv::ParseDatabase(input, rows);
    KV_REQUIRE(rows.front().service == "already there");
    rows.erase(rows.begin());

    checkSaveLoad(rows);
    checkSaveLoad(recordsFrom(input));
    return 0;
}
