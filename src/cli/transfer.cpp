// export, import and merge: the entries out to other programs' formats, and in
// from them or from another data file, each change in one full save.

#include "cli/verbs.h"

#include "exchange/export_format.h"
#include "exchange/import_format.h"
#include "storage/data_file.h"
#include "vault/entry_set.h"

namespace kv {

namespace {

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
    if (!session.load())
        return ExitFailure;

    const bool skipInvalid = session.args().has("skip-invalid");
    const RecordTable& held = session.vault().entries().table();
    // About one entry to a hundred bytes of the file.
    const std::size_t expected = static_cast<std::size_t>(held.size()) + content.size() / 100;
    EntrySet present(true, expected);
    for (int row = 0; row < held.size(); ++row)
        present.insert(held, row);
    EntryBatch batch;
    // Made at the first entry without a time (few files have any), of the entries
    // held and those taken in before it.
    std::optional<EntrySet> presentUntimed;
    const auto makeUntimedSet = [&] {
        presentUntimed.emplace(false, expected);
        for (int row = 0; row < held.size(); ++row)
            presentUntimed->insert(held, row);
        for (int row = 0; row < batch.size(); ++row)
            presentUntimed->insert(batch.table(), row);
    };
    const std::string now = session.now();
    std::size_t invalid = 0;
    std::size_t already = 0;
    std::vector<std::string> refusals;
    const ImportResult read = readImport(content, *format, [&](ImportedEntry& entry) {
        Record& record = entry.record;
        // An entry the file gave no time takes the time of the import, which says
        // nothing of the entry: then it is here already if all else is.
        const bool timed = !record.recorded.empty();
        if (!timed) {
            record.recorded = now;
            if (!presentUntimed)
                makeUntimedSet();
        }
        if (auto why = batch.add(record)) {
            ++invalid;
            if (!skipInvalid)
                refusals.push_back(std::to_string(entry.where) + ": " + *why);
            return;
        }
        const RecordTable& added = batch.table();
        const int last = added.size() - 1;
        const bool fresh = timed ? present.insert(added, last) : !presentUntimed->contains(added, last);
        if (!fresh) {
            batch.dropLast();
            ++already;
            return;
        }
        if (presentUntimed)
            presentUntimed->insert(added, last);
        if (!timed)
            present.insert(added, last);
    });
    content.clear();
    if (!read.ok)
        return session.fail(file + ": " + read.error);
    const bool numbered = read.formatName == "keepass-xml";
    for (const std::string& refusal : refusals)
        session.console().err() << file << (numbered ? ": entry " : ":") << refusal << '\n';
    if (invalid > 0 && !skipInvalid)
        return session.fail("nothing imported: " + entries(invalid) +
                            " cannot be stored (--skip-invalid imports the rest)");
    const std::size_t count = static_cast<std::size_t>(batch.size());
    const Outcome outcome = session.vault().addAll(std::move(batch));
    if (!outcome.message.empty())
        return session.failWith(outcome.message);
    session.console().out() << "Imported " << entries(count) << " (" << read.formatName << ") into "
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
    EntrySet present(true, static_cast<std::size_t>(held.size() + other.size()));
    for (int row = 0; row < held.size(); ++row)
        present.insert(held, row);
    std::vector<Record> added;
    for (int row = 0; row < other.size(); ++row) {
        if (present.insert(other, row))
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
