// merge: the entries of another data file of this program (a sync tool's
// conflict copy) that the database lacks, in one full save.

#include "cli/verbs.h"

#include "storage/data_file.h"
#include "vault/entry_set.h"

namespace kv {

namespace {

std::string reasonNow()
{
    return std::string(reasonText(firstFileError()));
}

// Why `file` could not be read, in the words a person knows it by.
std::string whyUnreadable(const std::filesystem::path& file)
{
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(file, error);
    if (error == std::errc::too_many_symbolic_link_levels)
        return ": too many levels of links";
    if (error == std::errc::permission_denied)
        return ": permission denied";
    if (status.type() == std::filesystem::file_type::not_found)
        return ": no such file";
    if (status.type() == std::filesystem::file_type::directory)
        return ": it is a folder";
    if (!error && status.type() != std::filesystem::file_type::regular)
        return ": it is not a regular file";
    return reasonNow();
}

bool readFile(Session& session, const std::string& name, std::string& content)
{
    clearFileError();
    const std::filesystem::path file = pathFromUtf8(name);
    if (session.fileOps().readAll(file, content))
        return true;
    session.fail("Could not read " + name + whyUnreadable(file));
    return false;
}

std::string entries(std::size_t count)
{
    return std::to_string(count) + (count == 1 ? " entry" : " entries");
}

} // namespace

int mergeEntries(Session& session)
{
    const std::string& file = session.args().operands[0];
    std::string content;
    if (!readFile(session, file, content))
        return ExitFailure;
    RecordTable other;
    std::vector<int> lineOf;
    std::vector<int> unopenedLines;
    SealedFile sealed;
    if (!ParseDatabase(content, other, lineOf, nullptr, sealed)) {
        // A sealed copy: opened once the database is, with the database's own
        // password (a copy sealed elsewhere has a salt of its own, so its key is
        // made from its own header), or one more line when the database has none.
        if (!session.load())
            return ExitFailure;
        const LineSeal* held = session.database().key();
        std::shared_ptr<const LineSeal> key;
        if (held && held->header() == sealed.header) {
            if (!ParseDatabase(content, other, lineOf, held, sealed, &unopenedLines))
                return session.fail("Wrong password for " + file);
        } else {
            std::optional<SecretBytes> typed;
            if (!session.databasePassword())
                typed = session.askSecret("Password for " + file + ": ");
            const SecretBytes* password = typed ? &*typed : session.databasePassword();
            if (!password)
                return session.fail("no password for " + file);
            key = session.openKey(sealed.header, *password, file);
            if (!key)
                return ExitFailure;
            ParseDatabase(content, other, lineOf, key.get(), sealed, &unopenedLines);
        }
    }
    content.clear();
    // Only a data file: a line that does not read as an entry is someone's text
    // (an export, a note), and would land in the database as it stands. Never
    // copied: the file is refused, or with --skip-invalid such lines are left out,
    // as long as the file has entries at all. So is a line of a sealed copy that
    // does not open under its key.
    const bool skipInvalid = session.args().has("skip-invalid");
    std::optional<int> firstUnreadable;
    if (!unopenedLines.empty())
        firstUnreadable = unopenedLines.front();
    std::size_t unreadable = unopenedLines.size();
    std::size_t keptRows = 0;
    for (int row = 0; row < other.size(); ++row) {
        if (!other.bytes(row, RecordField::KeptLine).empty()) {
            ++keptRows;
            const int line = lineOf[static_cast<std::size_t>(row)];
            if (!firstUnreadable || line < *firstUnreadable)
                firstUnreadable = line;
        }
    }
    unreadable += keptRows;
    if (firstUnreadable && (!skipInvalid || keptRows == static_cast<std::size_t>(other.size())))
        return session.fail(file + ":" + std::to_string(*firstUnreadable) +
                            ": not an entry of a data file, so nothing is merged (an export goes in with import)");
    if (!sealed.sealed() && !session.load())
        return ExitFailure;
    const RecordTable& held = session.vault().entries().table();
    EntrySet present(true, static_cast<std::size_t>(held.size() + other.size()));
    for (int row = 0; row < held.size(); ++row)
        present.insert(held, row);
    EntryBatch batch;
    std::size_t invalid = 0;
    for (int row = 0; row < other.size(); ++row) {
        if (!other.bytes(row, RecordField::KeptLine).empty())
            continue;
        if (auto why = batch.add(other.record(row))) {
            ++invalid;
            if (!skipInvalid)
                session.console().err() << file << ':' << lineOf[static_cast<std::size_t>(row)] << ": " << *why << '\n';
            continue;
        }
        if (!present.insert(batch.table(), batch.size() - 1))
            batch.dropLast();
    }
    if (invalid > 0 && !skipInvalid)
        return session.fail("nothing merged: " + entries(invalid) +
                            " cannot be stored (--skip-invalid merges the rest)");
    const std::size_t count = static_cast<std::size_t>(batch.size());
    const std::size_t already = static_cast<std::size_t>(other.size()) - count - invalid - keptRows;
    const Outcome outcome = session.vault().addAll(std::move(batch));
    if (!outcome.message.empty())
        return session.failWith(outcome.message);
    session.console().out() << "Merged " << entries(count) << " from " << file << " into " << session.dataFileName()
                            << "; skipped " << already << " already there";
    if (invalid > 0)
        session.console().out() << " and " << invalid << " that cannot be stored";
    if (unreadable > 0)
        session.console().out() << "; left out " << unreadable
                                << (unreadable == 1 ? " line that is no entry" : " lines that are no entries");
    session.console().out() << '\n';
    return ExitOk;
}

} // namespace kv
