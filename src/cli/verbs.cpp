#include "cli/verbs.h"

#include "cli/listing.h"
#include "generator/password_generator.h"
#include "product/product.h"
#include "seal/secret_bytes.h"
#include "vault/entry_rules.h"

#include <charconv>

namespace kv {

namespace {

using Kind = Option::Kind;

ListStyle listStyle(const Arguments& args)
{
    if (args.has("json"))
        return ListStyle::Json;
    return args.has("tsv") ? ListStyle::Tsv : ListStyle::Table;
}

std::vector<int> allRows(const RecordTable& table)
{
    std::vector<int> rows(static_cast<std::size_t>(table.size()));
    for (int row = 0; row < table.size(); ++row)
        rows[static_cast<std::size_t>(row)] = row;
    return rows;
}

// A length as the generator takes it; nothing when the text is none.
std::optional<int> lengthOf(const std::string& text)
{
    if (text.empty())
        return DefaultGeneratedLength;
    int length = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), length);
    if (error != std::errc() || end != text.data() + text.size() || length < 1 || length > MaxGeneratedLength)
        return std::nullopt;
    return length;
}

int lengthError(Session& session)
{
    session.console().err() << CliName << ": the length is a number from 1 to " << MaxGeneratedLength << '\n';
    return ExitUsage;
}

// The row of the first entry of `service`, or nothing after saying so as the window does.
std::optional<int> findOrFail(Session& session, const std::string& service)
{
    const std::optional<int> row = session.vault().entries().findService(service);
    if (!row)
        session.fail(service + " - Item not found");
    return row;
}

// A new password: generated, typed twice on the terminal, or a line of standard input.
std::optional<std::string> newPassword(Session& session, int& status)
{
    status = ExitFailure;
    if (const std::string* generate = session.args().value("generate")) {
        const std::optional<int> length = lengthOf(*generate);
        if (!length) {
            status = lengthError(session);
            return std::nullopt;
        }
        return GeneratePassword(*length);
    }
    Console& console = session.console();
    if (!console.inputIsTerminal()) {
        std::optional<std::string> line = console.readLine();
        if (!line)
            session.fail("no password on standard input");
        return line;
    }
    std::optional<std::string> first = console.ask("Password: ", false);
    std::optional<std::string> second = first ? console.ask("Repeat password: ", false) : std::nullopt;
    const bool same = first && second && *first == *second;
    if (second)
        wipe(*second);
    if (!same) {
        if (first)
            wipe(*first);
        session.fail(second ? "the passwords do not match" : "no password typed");
        return std::nullopt;
    }
    return first;
}

// The fields -u, --address and --comments give, over what `record` holds.
void applyFieldOptions(const Arguments& args, Record& record)
{
    if (const std::string* user = args.value("username"))
        record.username = *user;
    if (const std::string* address = args.value("address"))
        record.address = *address;
    if (const std::string* comments = args.value("comments"))
        record.comments = *comments;
}

int finish(Session& session, const Outcome& outcome, const std::string& done)
{
    if (outcome.problem != Outcome::Problem::None)
        return session.failWith(outcome);
    if (!outcome.done)
        return session.fail("nothing changed");
    session.console().out() << done << '\n';
    return ExitOk;
}

int listEntries(Session& session)
{
    if (!session.load())
        return ExitFailure;
    const RecordTable& table = session.vault().entries().table();
    writeListing(session.console().out(), table, allRows(table), listStyle(session.args()),
                 session.console().columns());
    return ExitOk;
}

constexpr Option ListOptions[] = {{0, "tsv", Kind::Flag}, {0, "json", Kind::Flag}};

constexpr Verb ListVerb{
    .name = "ls",
    .options = ListOptions,
    .minOperands = 0,
    .maxOperands = 0,
    .needsLogIn = true,
    .run = listEntries,
    .summary = "list the entries (never a password)",
    .help = "Usage: keystead-vault-cli ls [--tsv | --json]\n"
            "\n"
            "Lists every entry of the database: service, user name, address, comments and\n"
            "the time it was recorded. No password is ever listed. A control character in\n"
            "a field is shown spelt out (\\t, \\n, \\x1b), never sent to the terminal.\n"
            "\n"
            "  --tsv    one entry per line, fields separated by tabs in the order above\n"
            "           (in a field a tab is written \\t, a line feed \\n, a carriage\n"
            "           return \\r, a backslash \\\\), UTF-8\n"
            "  --json   one JSON array of objects with those five keys, UTF-8\n",
};

int searchEntries(Session& session)
{
    if (!session.load())
        return ExitFailure;
    const RecordTable& table = session.vault().entries().table();
    writeListing(session.console().out(), table, rowsContaining(table, session.args().operands[0]),
                 listStyle(session.args()), session.console().columns());
    return ExitOk;
}

constexpr Verb SearchVerb{
    .name = "search",
    .options = ListOptions,
    .minOperands = 1,
    .maxOperands = 1,
    .needsLogIn = true,
    .run = searchEntries,
    .summary = "find entries by text",
    .help = "Usage: keystead-vault-cli search TEXT [--tsv | --json]\n"
            "\n"
            "Lists the entries whose service, user name, comments or address contain TEXT,\n"
            "whatever its letter case, as ls lists them.\n",
};

int showEntry(Session& session)
{
    RecordField field = RecordField::Service;
    const std::string* attribute = session.args().value("attribute");
    if (attribute && !fieldNamed(*attribute, field)) {
        session.console().err() << CliName << ": no field '" << *attribute
                                << "' (service, username, password, comments, address, recorded)\n";
        return ExitUsage;
    }
    if (!session.load())
        return ExitFailure;
    const std::optional<int> row = findOrFail(session, session.args().operands[0]);
    if (!row)
        return ExitFailure;
    const RecordTable& table = session.vault().entries().table();
    // As it is for a script; spelt out on a terminal, which a control character would command.
    if (attribute)
        session.console().out() << (session.console().columns() > 0 ? shownField(table, *row, field)
                                                                    : table.text(*row, field))
                                << '\n';
    else
        writeEntry(session.console().out(), table, *row, session.args().has("show-password"));
    return ExitOk;
}

constexpr Option ShowOptions[] = {{'s', "show-password", Kind::Flag}, {'a', "attribute", Kind::Value}};

constexpr Verb ShowVerb{
    .name = "show",
    .options = ShowOptions,
    .minOperands = 1,
    .maxOperands = 1,
    .needsLogIn = true,
    .run = showEntry,
    .summary = "show one entry",
    .help = "Usage: keystead-vault-cli show SERVICE [-s] [-a FIELD]\n"
            "\n"
            "Shows the first entry whose service is exactly SERVICE, its password as stars.\n"
            "\n"
            "  -s, --show-password   the password in clear\n"
            "  -a, --attribute FIELD only that field and a line break: service, username,\n"
            "                        password (in clear), comments, address or recorded;\n"
            "                        as stored for a script, control characters spelt out\n"
            "                        on a terminal\n",
};

int addEntry(Session& session)
{
    const Arguments& args = session.args();
    Record record;
    record.service = args.operands[0];
    applyFieldOptions(args, record);
    record.recorded = session.now();
    // Refused before a password is asked for: nobody types one twice for nothing.
    if (auto why = entryRefusal(record))
        return session.fail(*why);
    // A sealed database's password comes before the entry's.
    if (!session.openSealed())
        return ExitFailure;
    int status = ExitFailure;
    std::optional<std::string> password = newPassword(session, status);
    if (!password)
        return status;
    record.password = std::move(*password);
    // An Add appends; it never needs the rest of the file, so nothing is read.
    return finish(session, session.vault().add(record, false), "Added " + record.service);
}

constexpr Option AddOptions[] = {{'u', "username", Kind::Value},
                                 {0, "address", Kind::Value},
                                 {0, "comments", Kind::Value},
                                 {'g', "generate", Kind::OptionalNumber}};

constexpr Verb AddVerb{
    .name = "add",
    .options = AddOptions,
    .minOperands = 1,
    .maxOperands = 1,
    .needsLogIn = true,
    .run = addEntry,
    .summary = "add an entry",
    .help = "Usage: keystead-vault-cli add SERVICE [-u USER] [--address URL] [--comments TEXT]\n"
            "                              [-g [LENGTH]]\n"
            "\n"
            "Adds an entry for SERVICE, recorded now. The password is asked twice on the\n"
            "terminal without being shown, or read as one line of standard input when that\n"
            "is not a terminal. An entry for the service \"Keystead Vault\" sets the log-in\n"
            "to the program, as in the window.\n"
            "\n"
            "  -u, --username USER     the user name\n"
            "      --address URL       the service's address\n"
            "      --comments TEXT     a comment\n"
            "  -g, --generate [LENGTH] a new random password instead (16 characters unless\n"
            "                          LENGTH says otherwise), not shown\n",
};

int editEntry(Session& session)
{
    const Arguments& args = session.args();
    if (!args.has("username") && !args.has("address") && !args.has("comments") && !args.has("password") &&
        !args.has("generate")) {
        session.console().err() << CliName << ": nothing to change (see \"" << CliName << " edit --help\")\n";
        return ExitUsage;
    }
    if (args.has("password") && args.has("generate")) {
        session.console().err() << CliName << ": -p and -g both give the password: choose one\n";
        return ExitUsage;
    }
    if (!session.load())
        return ExitFailure;
    const std::optional<int> row = findOrFail(session, args.operands[0]);
    if (!row)
        return ExitFailure;
    Record details = session.vault().entries().at(*row);
    applyFieldOptions(args, details);
    details.recorded = session.now();
    details.keptLine.clear();
    if (auto why = entryRefusal(details))
        return session.fail(*why);
    if (args.has("password") || args.has("generate")) {
        int status = ExitFailure;
        std::optional<std::string> password = newPassword(session, status);
        if (!password)
            return status;
        details.password = std::move(*password);
    }
    return finish(session, session.vault().replace(*row, details, false), "Changed " + details.service);
}

constexpr Option EditOptions[] = {{'u', "username", Kind::Value},
                                  {0, "address", Kind::Value},
                                  {0, "comments", Kind::Value},
                                  {'p', "password", Kind::Flag},
                                  {'g', "generate", Kind::OptionalNumber}};

constexpr Verb EditVerb{
    .name = "edit",
    .options = EditOptions,
    .minOperands = 1,
    .maxOperands = 1,
    .needsLogIn = true,
    .run = editEntry,
    .summary = "change an entry",
    .help = "Usage: keystead-vault-cli edit SERVICE [-u USER] [--address URL] [--comments TEXT]\n"
            "                               [-p | -g [LENGTH]]\n"
            "\n"
            "Changes the first entry whose service is exactly SERVICE (the service itself\n"
            "stays); the fields not named keep their text, and the entry is recorded now.\n"
            "\n"
            "  -u, --username USER     a new user name\n"
            "      --address URL       a new address\n"
            "      --comments TEXT     a new comment\n"
            "  -p, --password          a new password, asked as add asks it\n"
            "  -g, --generate [LENGTH] a new random password (16 characters unless LENGTH\n"
            "                          says otherwise), not shown\n",
};

int removeEntry(Session& session)
{
    if (!session.load())
        return ExitFailure;
    const std::string& service = session.args().operands[0];
    const std::optional<int> row = findOrFail(session, service);
    if (!row)
        return ExitFailure;
    // As if the entry had been loaded into the window's fields and Remove pressed.
    const Record entry = session.vault().entries().at(*row);
    const Credentials loaded{entry.username, entry.password};
    return finish(session, session.vault().remove(*row, service, loaded, false), "Removed " + service);
}

constexpr Verb RemoveVerb{
    .name = "rm",
    .options = {},
    .minOperands = 1,
    .maxOperands = 1,
    .needsLogIn = true,
    .run = removeEntry,
    .summary = "remove an entry",
    .help = "Usage: keystead-vault-cli rm SERVICE\n"
            "\n"
            "Removes the first entry whose service is exactly SERVICE. Removing the entry\n"
            "of the log-in to the program with the stored credentials switches the log-in\n"
            "off, as in the window.\n",
};

int generatePassword(Session& session)
{
    const std::vector<std::string>& operands = session.args().operands;
    const std::optional<int> length = lengthOf(operands.empty() ? std::string() : operands[0]);
    if (!length)
        return lengthError(session);
    session.console().out() << GeneratePassword(*length) << '\n';
    return ExitOk;
}

constexpr Verb GenerateVerb{
    .name = "generate",
    .options = {},
    .minOperands = 0,
    .maxOperands = 1,
    .needsLogIn = false,
    .run = generatePassword,
    .summary = "print a random password",
    .help = "Usage: keystead-vault-cli generate [LENGTH]\n"
            "\n"
            "Prints a password of LENGTH characters (16 unless given) made of the digits 1\n"
            "to 8 and the capitals A to Z, each drawn from the system's secure random source.\n",
};

constexpr Verb EntryVerbs[] = {ListVerb, ShowVerb, SearchVerb, AddVerb, EditVerb, RemoveVerb, GenerateVerb};

} // namespace

std::span<const Verb> entryVerbs()
{
    return EntryVerbs;
}

} // namespace kv
