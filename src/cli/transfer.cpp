// export and import: the entries out to other programs' formats, and in from
// them, each change in one full save.

#include "cli/verbs.h"

#include "cli/progress.h"
#include "exchange/export_format.h"
#include "exchange/import_format.h"
#include "storage/data_file.h"
#include "storage/database_choice.h"
#include "vault/incoming_entries.h"

namespace kv {

namespace {

using Kind = Option::Kind;

int usage(Session& session, const std::string& message)
{
    session.console().err() << CliName << ": " << message << '\n';
    return ExitUsage;
}

// Why -o may not write `output`, or nothing when it may. Only a regular file at
// exactly that name is ever replaced: a link would carry every password to where
// it points, a device or a FIFO is no file to keep, and a database's own file or
// backup would be lost under the export.
std::optional<std::string> outputRefusal(Session& session, const std::string& output, bool force)
{
    const std::filesystem::path file = pathFromUtf8(output);
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::symlink_status(file, error);
    if (error && status.type() != std::filesystem::file_type::not_found)
        return "Could not write " + output + whyUnreadable(file, FileError::Other);
    const auto type = status.type();
    if (isLinkName(file))
        return output + " is a link: export writes only a file of its own";
    if (type == std::filesystem::file_type::directory)
        return output + " is a folder";
    if (type != std::filesystem::file_type::not_found && type != std::filesystem::file_type::regular)
        return output + " is not a regular file";
    const std::filesystem::path folder = session.database().folder();
    const std::filesystem::path target = std::filesystem::weakly_canonical(file, error);
    for (int index = 0; index < DatabaseCount; ++index) {
        const std::string base = DataFileBaseFor(index);
        const std::filesystem::path data = dataFilePath(folder, base);
        // Through a link, the file it leads to and the backup a save makes beside that.
        const std::filesystem::path linked = followLinks(data);
        std::filesystem::path linkedBackup = linked;
        linkedBackup.replace_extension(".bak");
        for (const std::filesystem::path& own : {data, linked, backupFilePath(folder, base), linkedBackup}) {
            std::error_code sameError;
            const bool same = (!error && std::filesystem::weakly_canonical(own, sameError) == target && !sameError) ||
                              std::filesystem::equivalent(own, file, sameError);
            if (same)
                return output + " is the file of a database (" + base + (own.extension() == ".bak" ? ".bak" : ".ksd") +
                       "): export never writes over it";
        }
    }
    if (type == std::filesystem::file_type::regular && !force)
        return output + " is there already (--force replaces it)";
    return std::nullopt;
}

int exportEntries(Session& session)
{
    const Arguments& args = session.args();
    const std::string* name = args.value("format");
    const std::optional<ExportFormat> format = exportFormatNamed(name ? *name : "csv");
    if (!format)
        return usage(session, "no export format '" + *name + "' (csv, bitwarden-csv, chrome-csv, keepass-xml)");
    const std::string* output = args.value("output");
    if (args.has("force") && !output)
        return usage(session, "--force goes with -o FILE");
    if (output) {
        if (auto why = outputRefusal(session, *output, args.has("force")))
            return session.fail(*why);
    }
    if (!session.load())
        return ExitFailure;
    const RecordTable& held = session.vault().entries().table();
    // A field the format cannot carry is never changed on the way out: named, and
    // then either nothing is written or that entry is left out.
    const std::vector<int> refused = rowsNotCarried(*format, held);
    const std::string formatName(exportFormatName(*format));
    if (!refused.empty() && !args.has("skip-invalid")) {
        for (const int row : refused)
            session.console().err() << CliName << ": entry " << row + 1 << " holds a control character, which "
                                    << formatName << " cannot carry\n";
        return session.fail("nothing exported: " + entryCount(refused.size()) +
                            " cannot be carried (--skip-invalid exports the rest)");
    }
    RecordTable carried;
    if (!refused.empty()) {
        std::size_t next = 0;
        for (int row = 0; row < held.size(); ++row) {
            if (next < refused.size() && refused[next] == row)
                ++next;
            else
                carried.append(held.record(row));
        }
    }
    const RecordTable& table = refused.empty() ? held : carried;
    const std::string leftOut =
        refused.empty() ? std::string()
                        : "left out " + std::to_string(refused.size()) + " that " + formatName + " cannot carry";
    // Not over the export itself when that goes to the screen.
    const bool exportOnScreen = !output && session.console().columns() > 0;
    Progress progress(session.console(), "Exporting", static_cast<std::size_t>(table.size()), !exportOnScreen);
    const auto rowsDone = [&progress](int row) { progress.advance(static_cast<std::size_t>(row)); };
    if (!output) {
        // A piece at a time: the export of a large database never sits in memory whole.
        std::ostream& out = session.console().out();
        writeExport(
            *format, table,
            [&out](std::string_view piece) { out.write(piece.data(), static_cast<std::streamsize>(piece.size())); },
            rowsDone);
        progress.finish();
        out.flush();
        if (!out)
            return session.fail("Could not write the standard output");
        if (!refused.empty())
            session.console().err() << CliName << ": " << leftOut << '\n';
        return ExitOk;
    }
    std::string content;
    writeExport(*format, table, content, rowsDone);
    progress.finish();
    // Written beside it and given the name in one step: owner-only from the start,
    // never half a file under that name, never through a link planted there since,
    // and over a file only with --force.
    const std::filesystem::path file = pathFromUtf8(*output);
    const bool force = args.has("force");
    const FileResult written = force ? replaceFileAtName(session.fileOps(), file, content)
                                     : writeFileAtFreeName(session.fileOps(), file, content);
    if (!written) {
        std::error_code error;
        if (!force && std::filesystem::exists(std::filesystem::symlink_status(file, error)))
            return session.fail(*output + " is there already (--force replaces it)");
        return session.fail("Could not write " + *output + std::string(reasonText(written.error())));
    }
    session.console().out() << "Exported " << entryCount(static_cast<std::size_t>(table.size())) << " to " << *output
                            << (leftOut.empty() ? "" : "; ") << leftOut << '\n';
    return ExitOk;
}

constexpr Option ExportOptions[] = {{0, "format", Kind::Value},
                                    {'o', "output", Kind::Value},
                                    {0, "force", Kind::Flag},
                                    {0, "skip-invalid", Kind::Flag}};

constexpr Verb ExportVerb{
    .name = "export",
    .options = ExportOptions,
    .minOperands = 0,
    .maxOperands = 0,
    .needsLogIn = true,
    .run = exportEntries,
    .summary = "write every entry out, passwords in clear",
    .help = "Usage: keystead-vault-cli export [--format FORMAT] [-o FILE [--force]] [--skip-invalid]\n"
            "\n"
            "Writes every entry, passwords in clear, to standard output or to FILE (made\n"
            "readable by you alone). Delete the file once it has served. FILE is only ever\n"
            "a regular file of its own: a link, a folder, a device or FIFO, and the files\n"
            "of the databases are refused. An entry the format cannot carry as it is (a\n"
            "control character in keepass-xml) is named by its place in the list, and then\n"
            "nothing is written.\n"
            "\n"
            "      --format FORMAT  csv (the default: service,username,password,comments,\n"
            "                       address,recorded), bitwarden-csv, chrome-csv (what\n"
            "                       browsers import) or keepass-xml (KeePass 2 XML, which\n"
            "                       desktop managers import into an encrypted database)\n"
            "  -o, --output FILE    write to FILE, which must not exist yet\n"
            "      --force          replace FILE if it is a regular file\n"
            "      --skip-invalid   export the rest, leaving out what cannot be carried\n",
};

// The import's summary line: what came in, what was skipped, and what the file
// holds that is no entry of ours, each kind counted.
void writeImportSummary(Session& session, const ImportResult& read, std::size_t count, std::size_t already,
                        std::size_t invalid)
{
    std::ostream& out = session.console().out();
    out << "Imported " << entryCount(count) << " (" << read.formatName << ") into " << session.dataFileName()
        << "; skipped " << already << " already there";
    if (invalid > 0)
        out << " and " << invalid << " that cannot be stored";
    std::vector<std::string> leftOut;
    const auto kind = [&leftOut](std::size_t n, const char* one, const char* many) {
        if (n > 0)
            leftOut.push_back(std::to_string(n) + (n == 1 ? one : many));
    };
    kind(read.leftOut.recycled, " in the recycle bin", " in the recycle bin");
    kind(read.leftOut.browserSync, " browser sync record", " browser sync records");
    kind(read.leftOut.notLogins, " that is not a log-in", " that are not log-ins");
    for (std::size_t i = 0; i < leftOut.size(); ++i)
        out << (i == 0 ? "; left out " : i + 1 == leftOut.size() ? " and " : ", ") << leftOut[i];
    out << '\n';
}

int importEntries(Session& session)
{
    const std::string* name = session.args().value("format");
    const std::optional<ImportFormat> format = importFormatNamed(name ? *name : "auto");
    if (!format)
        return usage(session, "no import format '" + *name + "' (auto, csv, keepass-xml, json)");
    const std::string& file = session.args().operands[0];
    std::string content;
    if (!session.readFile(file, content))
        return ExitFailure;
    if (!session.load())
        return ExitFailure;

    const bool skipInvalid = session.args().has("skip-invalid");
    const RecordTable& held = session.vault().entries().table();
    // About one entry to a hundred bytes of the file.
    IncomingEntries incoming(held, static_cast<std::size_t>(held.size()) + content.size() / 100, session.now());
    std::size_t invalid = 0;
    std::vector<std::string> refusals;
    // A file parsed whole first (JSON) is read, in MB, and then imported.
    Progress progress(session.console(), "Importing", std::nullopt);
    bool parsed = false;
    constexpr std::size_t Megabyte = 1000 * 1000;
    const auto parsing = [&](std::size_t bytes) {
        if (!parsed)
            progress.nextStep("Reading", (content.size() + Megabyte - 1) / Megabyte, "MB");
        parsed = true;
        progress.advance(bytes / Megabyte);
    };
    std::size_t readCount = 0;
    const auto imported = [&](ImportedEntry& entry) {
        if (readCount == 0 && parsed)
            progress.nextStep("Importing", std::nullopt);
        progress.advance(++readCount);
        if (auto why = incoming.take(entry.record, entry.ownEmptyTime)) {
            ++invalid;
            if (!skipInvalid)
                refusals.push_back(std::to_string(entry.where) + ": " + *why);
        }
    };
    const ImportResult read = readImport(content, *format, imported, parsing);
    progress.finish();
    content.clear();
    if (!read.ok)
        return session.fail(file + ": " + read.error);
    const bool numbered = read.formatName == "keepass-xml" || read.formatName.ends_with("-json");
    for (const std::string& refusal : refusals)
        session.console().err() << file << (numbered ? ": entry " : ":") << refusal << '\n';
    if (invalid > 0 && !skipInvalid)
        return session.fail("nothing imported: " + entryCount(invalid) +
                            " cannot be stored (--skip-invalid imports the rest)");
    const std::size_t count = static_cast<std::size_t>(incoming.batch().size());
    const Outcome outcome = session.vault().addAll(std::move(incoming.batch()));
    if (outcome.problem != Outcome::Problem::None)
        return session.failWith(outcome);
    writeImportSummary(session, read, count, incoming.already(), invalid);
    return ExitOk;
}

constexpr Option ImportOptions[] = {{0, "format", Kind::Value}, {0, "skip-invalid", Kind::Flag}};

constexpr Verb ImportVerb{
    .name = "import",
    .options = ImportOptions,
    .minOperands = 1,
    .maxOperands = 1,
    .needsLogIn = true,
    .run = importEntries,
    .summary = "add the entries of an export file",
    .help = "Usage: keystead-vault-cli import FILE [--format FORMAT] [--skip-invalid]\n"
            "\n"
            "Adds the entries of FILE, all in one save: all of them or none. Entries already\n"
            "here are not added twice. An entry this program cannot store (a | or a line\n"
            "break in a field, a character outside Western European, too long) is listed\n"
            "with its line or entry number, and then nothing is imported.\n"
            "\n"
            "Only log-ins are imported; what is left out (folders, cards, notes, the\n"
            "recycle bin) is counted.\n"
            "\n"
            "      --format FORMAT  auto (the default: the CSV exports of this program and\n"
            "                       of common managers and browsers, told apart by their\n"
            "                       header; KeePass 2 XML; the JSON of Bitwarden, Keeper\n"
            "                       and Enpass), csv, keepass-xml or json\n"
            "      --skip-invalid   import the rest, leaving out what cannot be stored\n",
};

constexpr Verb TransferVerbs[] = {ExportVerb, ImportVerb};

} // namespace

std::span<const Verb> transferVerbs()
{
    return TransferVerbs;
}

} // namespace kv
