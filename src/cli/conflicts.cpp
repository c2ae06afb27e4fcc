// merge: the entries of other data files of this program (a sync tool's
// conflict copies) that the database lacks, in one full save; with --conflicts,
// the copies found beside the database, each moved to merged/ once its entries
// are in.

#include "cli/verbs.h"

#include "cli/progress.h"
#include "storage/conflict_copies.h"
#include "storage/data_file.h"
#include "vault/entry_set.h"

namespace kv {

namespace {

using Kind = Option::Kind;

// What one data file brought.
struct Taken
{
    std::size_t added = 0;
    std::size_t already = 0;
    std::size_t invalid = 0;    // entries this program cannot store, left out
    std::size_t unreadable = 0; // lines that are no entries, left out
};

// Entries of data files gathered for one full save: each file's entries that
// neither the database nor the files before it hold.
class Merge
{
public:
    explicit Merge(Session& session) : m_session(session), m_skipInvalid(session.args().has("skip-invalid")) {}

    // Reads the database, once; false after saying why.
    bool load()
    {
        if (!m_loaded && !m_session.load())
            return false;
        m_loaded = true;
        return true;
    }

    // Takes in what `name` brings; nothing after saying why when it cannot be
    // merged (then nothing of it is taken).
    std::optional<Taken> take(const std::string& name)
    {
        RecordTable other;
        std::vector<int> lineOf;
        std::vector<int> unopenedLines;
        bool sealed = false;
        if (!open(name, other, lineOf, unopenedLines, sealed))
            return std::nullopt;
        // Only a data file: a line that does not read as an entry is someone's text
        // (an export, a note), and would land in the database as it stands. Never
        // copied: the file is refused, or with --skip-invalid such lines are left
        // out, as long as the file has entries at all. So is a line of a sealed
        // copy that does not open under its key.
        Taken taken;
        std::optional<int> firstUnreadable;
        if (!unopenedLines.empty())
            firstUnreadable = unopenedLines.front();
        std::size_t keptRows = 0;
        for (int row = 0; row < other.size(); ++row) {
            if (!other.bytes(row, RecordField::KeptLine).empty()) {
                ++keptRows;
                const int line = lineOf[static_cast<std::size_t>(row)];
                if (!firstUnreadable || line < *firstUnreadable)
                    firstUnreadable = line;
            }
        }
        taken.unreadable = unopenedLines.size() + keptRows;
        if (firstUnreadable && (!m_skipInvalid || keptRows == static_cast<std::size_t>(other.size()))) {
            m_session.fail(name + ":" + std::to_string(*firstUnreadable) +
                           ": not an entry of a data file, so nothing is merged (an export goes in with import)");
            return std::nullopt;
        }
        if (!sealed && !load())
            return std::nullopt;
        // Every entry checked first: a file that is refused leaves nothing behind.
        EntryBatch checked;
        Progress progress(m_session.console(), "Merging", static_cast<std::size_t>(other.size()));
        for (int row = 0; row < other.size(); ++row) {
            progress.advance(static_cast<std::size_t>(row) + 1);
            if (!other.bytes(row, RecordField::KeptLine).empty())
                continue;
            if (auto why = checked.add(other.record(row))) {
                ++taken.invalid;
                if (!m_skipInvalid) {
                    progress.finish(); // the line goes, or the message would follow it
                    m_session.console().err()
                        << name << ':' << lineOf[static_cast<std::size_t>(row)] << ": " << *why << '\n';
                }
            }
        }
        if (taken.invalid > 0 && !m_skipInvalid) {
            m_session.fail("nothing merged: " + entryCount(taken.invalid) +
                           " cannot be stored (--skip-invalid merges the rest)");
            return std::nullopt;
        }
        const RecordTable& held = m_session.vault().entries().table();
        if (!m_present) {
            m_present.emplace(true, static_cast<std::size_t>(held.size() + checked.size()));
            for (int row = 0; row < held.size(); ++row)
                m_present->insert(held, row);
        }
        for (int row = 0; row < checked.size(); ++row) {
            if (m_present->contains(checked.table(), row)) {
                ++taken.already;
                continue;
            }
            m_batch.add(checked.table().record(row));
            m_present->insert(m_batch.table(), m_batch.size() - 1);
            ++taken.added;
        }
        return taken;
    }

    // The database with every entry taken in, in one full save; false after saying why.
    bool save()
    {
        const Outcome outcome = m_session.vault().addAll(std::move(m_batch));
        if (outcome.problem == Outcome::Problem::None)
            return true;
        m_session.failWith(outcome);
        return false;
    }

private:
    // The rows of the data file `name`, a sealed one opened with the database's
    // password (a copy sealed elsewhere has a salt of its own, so its key is made
    // from its own header) or one more line when the database has none.
    bool open(const std::string& name, RecordTable& other, std::vector<int>& lineOf, std::vector<int>& unopenedLines,
              bool& sealed)
    {
        std::string content;
        if (!m_session.readFile(name, content))
            return false;
        SealedFile found;
        if (ParseDatabase(content, other, lineOf, nullptr, found))
            return true;
        sealed = true;
        if (!load())
            return false;
        const LineSeal* key = m_session.database().key();
        if (!key || key->header() != found.header) {
            key = nullptr;
            for (const std::shared_ptr<const LineSeal>& opened : m_keys) {
                if (opened->header() == found.header)
                    key = opened.get();
            }
        }
        if (!key) {
            std::optional<SecretBytes> typed;
            if (!m_session.databasePassword())
                typed = m_session.askSecret("Password for " + name + ": ");
            const SecretBytes* password = typed ? &*typed : m_session.databasePassword();
            if (!password) {
                m_session.fail("no password for " + name);
                return false;
            }
            std::shared_ptr<const LineSeal> opened = m_session.openKey(found.header, *password, name);
            if (!opened)
                return false;
            m_keys.push_back(opened);
            key = opened.get();
        }
        ParseDatabase(content, other, lineOf, key, found, &unopenedLines);
        return true;
    }

    Session& m_session;
    const bool m_skipInvalid;
    bool m_loaded = false;
    std::vector<std::shared_ptr<const LineSeal>> m_keys; // of copies sealed under headers of their own
    std::optional<EntrySet> m_present;                   // the database's entries and those taken in
    EntryBatch m_batch;
};

std::string whyNotMoved(const MergedMove& moved)
{
    using Refusal = MergedMove::Refusal;
    const std::string reason(reasonText(moved.error));
    switch (moved.refusal) {
    case Refusal::FolderIsLink:
        return "merged is a link, and the copy goes only into a folder of its own";
    case Refusal::FolderIsNoFolder:
        return "merged is there and is not a folder";
    case Refusal::FolderNotMade:
        return "could not make the folder merged" + reason;
    case Refusal::NotTaken:
        return "could not take it from its place" + reason;
    case Refusal::NamesUsedUp:
        return "merged holds too many copies of that name";
    case Refusal::None:
    case Refusal::NotMoved:
        break;
    }
    return "could not move it" + reason;
}

std::string takenText(const Taken& taken)
{
    std::string text = "; skipped " + std::to_string(taken.already) + " already there";
    if (taken.invalid > 0)
        text += " and " + std::to_string(taken.invalid) + " that cannot be stored";
    if (taken.unreadable > 0)
        text += "; left out " + std::to_string(taken.unreadable) +
                (taken.unreadable == 1 ? " line that is no entry" : " lines that are no entries");
    return text;
}

int mergeFile(Session& session, const std::string& file)
{
    Merge merge(session);
    const std::optional<Taken> taken = merge.take(file);
    if (!taken || !merge.save())
        return ExitFailure;
    session.console().out() << "Merged " << entryCount(taken->added) << " from " << file << " into "
                            << session.dataFileName() << takenText(*taken) << '\n';
    return ExitOk;
}

// Every conflict copy beside the database, in one full save; each copy merged
// goes to merged/, each that cannot be stays where it is.
int mergeConflictCopies(Session& session)
{
    const std::vector<std::filesystem::path> copies =
        findConflictCopies(dataFilePath(session.database().folder(), session.database().base()));
    std::ostream& out = session.console().out();
    if (copies.empty()) {
        out << "No conflict copies of " << session.dataFileName() << '\n';
        return ExitOk;
    }
    Merge merge(session);
    if (!merge.load())
        return ExitFailure;
    std::vector<std::optional<Taken>> taken;
    for (const std::filesystem::path& copy : copies)
        taken.push_back(merge.take(utf8Of(copy)));
    const bool saved = merge.save();
    int status = saved ? ExitOk : ExitFailure;
    for (std::size_t i = 0; i < copies.size(); ++i) {
        const std::string name = utf8Of(copies[i]);
        if (!taken[i] || !saved) {
            out << "Kept " << name << " where it is: nothing merged from it\n";
            status = ExitFailure;
            continue;
        }
        out << "Merged " << entryCount(taken[i]->added) << " from " << name << " into " << session.dataFileName()
            << takenText(*taken[i]);
        const MergedMove moved = moveToMergedFolder(session.fileOps(), copies[i]);
        if (moved) {
            out << "; moved it to " << utf8Of(moved.movedTo) << '\n';
        } else {
            out << "; kept it where it is\n";
            session.fail("could not move " + name + " to " + std::string(MergedFolderName) + ": " + whyNotMoved(moved));
            status = ExitFailure;
        }
    }
    return status;
}

int mergeEntries(Session& session)
{
    const Arguments& args = session.args();
    const bool conflicts = args.has("conflicts");
    if (conflicts == !args.operands.empty()) {
        session.console().err() << CliName << ": "
                                << (conflicts ? "merge takes FILE or --conflicts, not both" : "too few arguments")
                                << " (see \"" << CliName << " merge --help\")\n";
        return ExitUsage;
    }
    return conflicts ? mergeConflictCopies(session) : mergeFile(session, args.operands[0]);
}

constexpr Option MergeOptions[] = {{0, "conflicts", Kind::Flag}, {0, "skip-invalid", Kind::Flag}};

constexpr Verb MergeVerb{
    .name = "merge",
    .options = MergeOptions,
    .minOperands = 0,
    .maxOperands = 1,
    .needsLogIn = true,
    .run = mergeEntries,
    .summary = "add what another data file holds",
    .help = "Usage: keystead-vault-cli merge FILE [--skip-invalid]\n"
            "       keystead-vault-cli merge --conflicts [--skip-invalid]\n"
            "\n"
            "Adds the entries of FILE, a data file of this program (such as the copy a sync\n"
            "tool leaves after a conflict), that this database does not hold, in one save.\n"
            "Any other file is refused, naming its first line that is no entry; an export\n"
            "goes in with import. An entry this program cannot store (a line break in a\n"
            "field) is listed with its line number, and then nothing is merged.\n"
            "\n"
            "      --conflicts      merge every conflict copy of the database that a sync\n"
            "                       tool left beside it (Syncthing's db1.sync-conflict-...,\n"
            "                       Nextcloud's and ownCloud's \"db1 (conflicted copy ...)\",\n"
            "                       older ownCloud's db1_conflict-..., Dropbox's\n"
            "                       \"db1 (NAME's conflicted copy ...)\") in one\n"
            "                       save, and move each one merged into the folder merged\n"
            "                       beside the database; a copy that cannot be merged stays\n"
            "                       where it is (exit status 1). One line for each copy.\n"
            "      --skip-invalid   merge the rest, leaving out what cannot be stored and\n"
            "                       lines that are no entries (a file with no entry at all\n"
            "                       is still refused)\n"
            "\n"
            "A merge cannot tell an entry removed on one side from one added on the other:\n"
            "an entry removed from one copy comes back from the other (remove it again),\n"
            "and an entry changed in one copy stands twice, as it was and as it is (remove\n"
            "the stale one).\n",
};

constexpr Verb MergeVerbs[] = {MergeVerb};

} // namespace

std::span<const Verb> mergeVerbs()
{
    return MergeVerbs;
}

} // namespace kv
