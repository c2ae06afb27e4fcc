// export, import and merge: the entries out to other programs' formats, and in
// from them or from another data file, each change in one full save.

#include "cli/verbs.h"

#include "exchange/export_format.h"
#include "exchange/import_format.h"
#include "storage/ansi_text.h"
#include "storage/data_file.h"
#include "vault/entry_rules.h"

#include <algorithm>
#include <unordered_set>

namespace kv {

namespace {

// The fields of an entry in one UTF-8 string: no field holds a "|", so none can
// run into another. (Text the code page holds has one UTF-8 form, so an entry
// read from elsewhere compares as it is.)
std::string keyOf(const RecordTable& table, int row, bool withTime)
{
    std::string key;
    for (const RecordField field :
         {RecordField::Service, RecordField::Username, RecordField::Password, RecordField::Comments,
          RecordField::Address, RecordField::Recorded, RecordField::KeptLine}) {
        if (!withTime && field == RecordField::Recorded)
            continue;
        key += ansiToUtf8(table.bytes(row, field));
        key += '|';
    }
    return key;
}

std::string keyOf(const Record& record, bool withTime)
{
    const std::string* fields[] = {&record.service, &record.username, &record.password, &record.comments,
                                   &record.address, &record.recorded, &record.keptLine};
    std::size_t size = 0;
    for (const std::string* field : fields)
        size += field->size() + 1;
    std::string key;
    key.reserve(size);
    for (const std::string* field : fields) {
        if (!withTime && field == &record.recorded)
            continue;
        key += *field;
        key += '|';
    }
    return key;
}

std::string reasonNow()
{
    return std::string(reasonText(firstFileError()));
}

bool readFile(Session& session, const std::string& name, std::string& content)
{
    clearFileError();
    if (session.fileOps().readAll(pathFromUtf8(name), content))
        return true;
    session.fail("Could not read " + name + reasonNow());
    return false;
}

int usage(Session& session, const std::string& message)
{
    session.console().err() << CliName << ": " << message << '\n';
    return ExitUsage;
}

std::string entries(std::size_t count)
{
    return std::to_string(count) + (count == 1 ? " entry" : " entries");
}

} // namespace

int exportEntries(Session& session)
{
    const std::string* name = session.args().value("format");
    const std::optional<ExportFormat> format = exportFormatNamed(name ? *name : "csv");
    if (!format)
        return usage(session, "no export format '" + *name + "' (csv, bitwarden-csv, chrome-csv, keepass-xml)");
    const std::string* output = session.args().value("output");
    if (session.args().has("force") && !output)
        return usage(session, "--force goes with -o FILE");
    if (!session.load())
        return ExitFailure;
    const RecordTable& table = session.vault().entries().table();
    if (!output) {
        // A piece at a time: the export of a large database never sits in memory whole.
        std::ostream& out = session.console().out();
        writeExport(*format, table, [&out](std::string_view piece) {
            out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
        });
        out.flush();
        if (!out)
            return session.fail("Could not write the standard output");
        return ExitOk;
    }
    std::string content;
    writeExport(*format, table, content);
    std::error_code error;
    const std::filesystem::path file = pathFromUtf8(*output);
    if (std::filesystem::exists(std::filesystem::symlink_status(file, error)) && !session.args().has("force"))
        return session.fail(*output + " is there already (--force replaces it)");
    // Written beside it and renamed into place: owner-only from the start, and
    // never half a file under that name.
    clearFileError();
    if (!replaceFileAtomically(session.fileOps(), file, content))
        return session.fail("Could not write " + *output + reasonNow());
    session.console().out() << "Exported " << entries(static_cast<std::size_t>(table.size())) << " to " << *output
                            << '\n';
    return ExitOk;
}

int importEntries(Session& session)
{
    const std::string* name = session.args().value("format");
    const std::optional<ImportFormat> format = importFormatNamed(name ? *name : "auto");
    if (!format)
        return usage(session, "no import format '" + *name + "' (auto, csv, keepass-xml)");
    const std::string& file = session.args().operands[0];
    std::string content;
    if (!readFile(session, file, content))
        return ExitFailure;
    ImportResult read = readImport(content, *format);
    content.clear();
    if (!read.ok)
        return session.fail(file + ": " + read.error);
    if (!session.load())
        return ExitFailure;

    const bool skipInvalid = session.args().has("skip-invalid");
    const bool numbered = read.formatName == "keepass-xml";
    const RecordTable& held = session.vault().entries().table();
    const bool someUntimed = std::any_of(read.entries.begin(), read.entries.end(),
                                         [](const ImportedEntry& entry) { return entry.record.recorded.empty(); });
    std::unordered_set<std::string> present;
    std::unordered_set<std::string> presentUntimed;
    present.reserve(static_cast<std::size_t>(held.size()) + read.entries.size());
    for (int row = 0; row < held.size(); ++row) {
        present.insert(keyOf(held, row, true));
        if (someUntimed)
            presentUntimed.insert(keyOf(held, row, false));
    }
    const std::string now = session.now();
    std::vector<Record> added;
    std::size_t invalid = 0;
    std::size_t already = 0;
    for (ImportedEntry& entry : read.entries) {
        Record& record = entry.record;
        // An entry the file gave no time takes the time of the import, which says
        // nothing of the entry: then it is here already if all else is.
        const bool timed = !record.recorded.empty();
        if (!timed)
            record.recorded = now;
        if (auto why = entryRefusal(record)) {
            ++invalid;
            if (!skipInvalid) {
                session.console().err() << file << (numbered ? ": entry " : ":") << entry.where << ": " << *why << '\n';
            }
            continue;
        }
        const bool fresh =
            timed ? present.insert(keyOf(record, true)).second : !presentUntimed.count(keyOf(record, false));
        if (!fresh) {
            ++already;
            continue;
        }
        if (someUntimed)
            presentUntimed.insert(keyOf(record, false));
        if (!timed)
            present.insert(keyOf(record, true));
        added.push_back(std::move(record));
    }
    if (invalid > 0 && !skipInvalid)
        return session.fail("nothing imported: " + entries(invalid) +
                            " cannot be stored (--skip-invalid imports the rest)");
    const Outcome outcome = session.vault().addAll(added);
    if (!outcome.message.empty())
        return session.failWith(outcome.message);
    session.console().out() << "Imported " << entries(added.size()) << " (" << read.formatName << ") into "
                            << session.dataFileName() << "; skipped " << already << " already there";
    if (invalid > 0)
        session.console().out() << " and " << invalid << " that cannot be stored";
    session.console().out() << '\n';
    return ExitOk;
}

int mergeEntries(Session& session)
{
    const std::string& file = session.args().operands[0];
    std::string content;
    if (!readFile(session, file, content))
        return ExitFailure;
    RecordTable other;
    ParseDatabase(content, other);
    content.clear();
    if (!session.load())
        return ExitFailure;
    const RecordTable& held = session.vault().entries().table();
    std::unordered_set<std::string> present;
    for (int row = 0; row < held.size(); ++row)
        present.insert(keyOf(held, row, true));
    std::vector<Record> added;
    for (int row = 0; row < other.size(); ++row) {
        if (present.insert(keyOf(other, row, true)).second)
            added.push_back(other.record(row));
    }
    const Outcome outcome = session.vault().addAll(added);
    if (!outcome.message.empty())
        return session.failWith(outcome.message);
    session.console().out() << "Merged " << entries(added.size()) << " from " << file << " into "
                            << session.dataFileName() << "; skipped " << other.size() - static_cast<int>(added.size())
                            << " already there\n";
    return ExitOk;
}

} // namespace kv
