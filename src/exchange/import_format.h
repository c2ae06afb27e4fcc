#pragma once
// Reading entries from the files other password managers and browsers export:
// CSV of the shapes we know by their header, KeePass 2 XML, and the JSON of
// Bitwarden, Keeper and Enpass.

#include "storage/record_line.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

// What the user may ask for. Csv takes any CSV whose header we know, Json the
// JSON exports we know; Auto tells XML, JSON and CSV apart by the first character.
enum class ImportFormat { Auto, Csv, KeepassXml, Json };

// "auto", "csv", "keepass-xml", "json".
std::optional<ImportFormat> importFormatNamed(std::string_view name);

struct ImportedEntry
{
    Record record; // UTF-8, unchecked against what a data file can hold
    // Where the entry stands in the file: for CSV the 1-based line its record
    // starts on (the header is line 1), for KeePass XML its 1-based number among
    // the file's entries (old versions in History not counted), for JSON among
    // the file's items.
    int where = 0;
    // The file is our own CSV export, whose empty recorded time is the entry's
    // own: it stays empty rather than taking the import's time.
    bool ownEmptyTime = false;
};

// What a file holds that is not imported, by why.
struct LeftOut
{
    std::size_t recycled = 0;    // in a recycle bin or trash
    std::size_t browserSync = 0; // a browser's record of its own sync account
    std::size_t notLogins = 0;   // folders, cards, identities, notes: no log-in
};

struct ImportResult
{
    bool ok = false;
    std::string error;      // when !ok: one line saying why
    std::string formatName; // "keepass-xml", "bitwarden-csv", "chrome-csv", ...
    std::vector<ImportedEntry> entries;
    LeftOut leftOut;
};

// Reads a whole file's content. An entry's service is its title or name; when
// that is empty, the host of its address, else its user name. Its recorded time
// is the entry's modification time when the file has one that reads as a time
// ("MM-DD-YYYY hh:mm:ss"), else empty.
ImportResult readImport(std::string_view content, ImportFormat format);

// Told of each entry as it is read, in the file's order. The entry is the
// reader's own and is used again for the next one.
using ImportSink = std::function<void(ImportedEntry& entry)>;
// The same, but each entry goes to `sink` as it is read and `entries` stays
// empty: a large file's entries never sit in memory all at once. A file that
// turns out malformed may have given some entries before it says so.
ImportResult readImport(std::string_view content, ImportFormat format, const ImportSink& sink);
// Told now and then (each MiB) how many bytes of the file have been read, while a
// file that is parsed whole before any entry goes on (JSON) is being parsed.
using ImportParsing = std::function<void(std::size_t bytesParsed)>;
ImportResult readImport(std::string_view content, ImportFormat format, const ImportSink& sink,
                        const ImportParsing& parsing);

} // namespace kv
