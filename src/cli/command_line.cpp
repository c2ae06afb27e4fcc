#include "cli/command_line.h"

#include "cli/verbs.h"
#include "lock/lock_record.h"

#include <array>

#ifndef KV_VERSION
#define KV_VERSION "unknown"
#endif

namespace kv {

namespace {

using Kind = Option::Kind;

constexpr Option DatabaseOption{'d', "database", Kind::Value};
constexpr Option DataDirOption{0, "data-dir", Kind::Value};
constexpr Option HelpOption{'h', "help", Kind::Flag};
constexpr Option VersionOption{0, "version", Kind::Flag};

constexpr Option ListOptions[] = {{0, "tsv", Kind::Flag}, {0, "json", Kind::Flag}};
constexpr Option ShowOptions[] = {{'s', "show-password", Kind::Flag}, {'a', "attribute", Kind::Value}};
constexpr Option AddOptions[] = {{'u', "username", Kind::Value},
                                 {0, "address", Kind::Value},
                                 {0, "comments", Kind::Value},
                                 {'g', "generate", Kind::OptionalNumber}};
constexpr Option EditOptions[] = {{'u', "username", Kind::Value},
                                  {0, "address", Kind::Value},
                                  {0, "comments", Kind::Value},
                                  {'p', "password", Kind::Flag},
                                  {'g', "generate", Kind::OptionalNumber}};
constexpr Option ExportOptions[] = {{0, "format", Kind::Value},
                                    {'o', "output", Kind::Value},
                                    {0, "force", Kind::Flag},
                                    {0, "skip-invalid", Kind::Flag}};
constexpr Option ImportOptions[] = {{0, "format", Kind::Value}, {0, "skip-invalid", Kind::Flag}};
constexpr Option MergeOptions[] = {{0, "conflicts", Kind::Flag}, {0, "skip-invalid", Kind::Flag}};

struct Verb
{
    std::string_view name;
    std::span<const Option> options;
    std::size_t minOperands;
    std::size_t maxOperands;
    int (*run)(Session&);
    bool needsLogIn;
    std::string_view summary;
    std::string_view help; // usage line, then what it does and its own options
};

const std::array<Verb, 13> Verbs = {{
    {"ls", ListOptions, 0, 0, listEntries, true, "list the entries (never a password)",
     "Usage: keystead-vault-cli ls [--tsv | --json]\n"
     "\n"
     "Lists every entry of the database: service, user name, address, comments and\n"
     "the time it was recorded. No password is ever listed. A control character in\n"
     "a field is shown spelt out (\\t, \\n, \\x1b), never sent to the terminal.\n"
     "\n"
     "  --tsv    one entry per line, fields separated by tabs in the order above\n"
     "           (in a field a tab is written \\t, a line feed \\n, a carriage\n"
     "           return \\r, a backslash \\\\), UTF-8\n"
     "  --json   one JSON array of objects with those five keys, UTF-8\n"},
    {"show", ShowOptions, 1, 1, showEntry, true, "show one entry",
     "Usage: keystead-vault-cli show SERVICE [-s] [-a FIELD]\n"
     "\n"
     "Shows the first entry whose service is exactly SERVICE, its password as stars.\n"
     "\n"
     "  -s, --show-password   the password in clear\n"
     "  -a, --attribute FIELD only that field and a line break: service, username,\n"
     "                        password (in clear), comments, address or recorded;\n"
     "                        as stored for a script, control characters spelt out\n"
     "                        on a terminal\n"},
    {"search", ListOptions, 1, 1, searchEntries, true, "find entries by text",
     "Usage: keystead-vault-cli search TEXT [--tsv | --json]\n"
     "\n"
     "Lists the entries whose service, user name, comments or address contain TEXT,\n"
     "whatever its letter case, as ls lists them.\n"},
    {"add", AddOptions, 1, 1, addEntry, true, "add an entry",
     "Usage: keystead-vault-cli add SERVICE [-u USER] [--address URL] [--comments TEXT]\n"
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
     "                          LENGTH says otherwise), not shown\n"},
    {"edit", EditOptions, 1, 1, editEntry, true, "change an entry",
     "Usage: keystead-vault-cli edit SERVICE [-u USER] [--address URL] [--comments TEXT]\n"
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
     "                          says otherwise), not shown\n"},
    {"rm",
     {},
     1,
     1,
     removeEntry,
     true,
     "remove an entry",
     "Usage: keystead-vault-cli rm SERVICE\n"
     "\n"
     "Removes the first entry whose service is exactly SERVICE. Removing the entry\n"
     "of the log-in to the program with the stored credentials switches the log-in\n"
     "off, as in the window.\n"},
    {"generate",
     {},
     0,
     1,
     generatePassword,
     false,
     "print a random password",
     "Usage: keystead-vault-cli generate [LENGTH]\n"
     "\n"
     "Prints a password of LENGTH characters (16 unless given) made of the digits 1\n"
     "to 8 and the capitals A to Z, each drawn from the system's secure random source.\n"},
    {"export", ExportOptions, 0, 0, exportEntries, true, "write every entry out, passwords in clear",
     "Usage: keystead-vault-cli export [--format FORMAT] [-o FILE [--force]] [--skip-invalid]\n"
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
     "      --skip-invalid   export the rest, leaving out what cannot be carried\n"},
    {"import", ImportOptions, 1, 1, importEntries, true, "add the entries of an export file",
     "Usage: keystead-vault-cli import FILE [--format FORMAT] [--skip-invalid]\n"
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
     "      --skip-invalid   import the rest, leaving out what cannot be stored\n"},
    {"merge", MergeOptions, 0, 1, mergeEntries, true, "add what another data file holds",
     "Usage: keystead-vault-cli merge FILE [--skip-invalid]\n"
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
     "                       Dropbox's \"db1 (NAME's conflicted copy ...)\") in one\n"
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
     "the stale one).\n"},
    {"seal",
     {},
     0,
     0,
     sealDatabase,
     true,
     "encrypt the database under a password of its own",
     "Usage: keystead-vault-cli seal\n"
     "\n"
     "Rewrites the database sealed: each entry encrypted under a key made from a new\n"
     "password, asked twice on the terminal without being shown, or read as two lines\n"
     "of standard input. From then on every command asks for that password first, and\n"
     "the window shows the entries once it is typed into its Password field. Nobody\n"
     "can open the entries without it: a forgotten password cannot be recovered.\n"
     "Copies of the file made before sealing (old backups, a sync tool's versions)\n"
     "stay readable as they were. The log-in's password is refused, since it is\n"
     "stored where anyone can read it; so is a database with lines that cannot be\n"
     "read, which sealing would lose.\n"},
    {"unseal",
     {},
     0,
     0,
     unsealDatabase,
     true,
     "take the database's own password off",
     "Usage: keystead-vault-cli unseal\n"
     "\n"
     "Asks for the database's password and rewrites it in the format of an unsealed\n"
     "database, every entry as it was.\n"},
    {"passwd",
     {},
     0,
     0,
     changeDatabasePassword,
     true,
     "change a sealed database's password",
     "Usage: keystead-vault-cli passwd\n"
     "\n"
     "Asks for the database's password, then the new one twice (or reads three lines\n"
     "of standard input), and rewrites the database under the new one, every entry\n"
     "encrypted anew.\n"},
}};

constexpr std::string_view CommonHelp = "\n"
                                        "Common options:\n"
                                        "  -d, --database 1|2|3  the database (default: the one the window has open)\n"
                                        "      --data-dir DIR    the folder of the data files (default: the window's)\n"
                                        "  -h, --help            this help\n";

void writeProgramHelp(std::ostream& out)
{
    out << "Usage: keystead-vault-cli [-d 1|2|3] [--data-dir DIR] COMMAND [ARGUMENTS]\n"
           "\n"
           "The entries of Keystead Vault Plus from the command line, on the window's own\n"
           "files.\n"
           "\n"
           "Commands:\n";
    for (const Verb& verb : Verbs) {
        out << "  " << verb.name << std::string(10 - verb.name.size(), ' ') << verb.summary << '\n';
    }
    out << CommonHelp
        << "      --version         the program's version\n"
           "\n"
           "\"keystead-vault-cli COMMAND --help\" tells more of a command. When the log-in to\n"
           "the program is set, every command but generate first asks for it; when the\n"
           "database is sealed, every command then asks for its password. Read from\n"
           "standard input, the lines come in that order: the log-in's user name and\n"
           "password, the database's password, then what the command itself reads.\n"
           "Exit status: 0 done, 1 failed, 2 wrong usage.\n";
}

const Verb* findVerb(std::string_view name)
{
    for (const Verb& verb : Verbs) {
        if (verb.name == name)
            return &verb;
    }
    return nullptr;
}

int usageError(Console& console, std::string_view message, std::string_view verb = {})
{
    console.err() << CliName << ": " << message << " (see \"" << CliName;
    if (!verb.empty())
        console.err() << ' ' << verb;
    console.err() << " --help\")\n";
    return ExitUsage;
}

// The verb is the first operand: skip the common options and their values before it.
std::size_t verbPosition(std::span<const std::string> args)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--")
            return i + 1;
        if (arg.empty() || arg[0] != '-' || arg == "-")
            return i;
        if (arg == "-d" || arg == "--database" || arg == "--data-dir")
            ++i;
    }
    return args.size();
}

// The stored log-in, typed back: on the terminal, or two lines of standard input.
bool passLogIn(Session& session)
{
    const std::optional<Credentials> stored = ReadLockRecord(session.settings());
    if (!stored || stored->password.empty())
        return true;
    Console& console = session.console();
    std::optional<std::string> user;
    std::optional<std::string> password;
    if (console.inputIsTerminal()) {
        user = console.ask("User name: ", true);
        if (user)
            password = console.ask("Password: ", false);
    } else {
        user = console.readLine();
        if (user)
            password = console.readLine();
    }
    return user && password && *user == stored->user && *password == stored->password;
}

} // namespace

int runCommandLine(std::span<const std::string> args, CliEnvironment& env)
{
    Console& console = *env.console;
    const std::size_t at = verbPosition(args);
    const std::span<const std::string> before = args.subspan(0, at);
    if (at == args.size()) {
        // No verb: only the program's own options.
        const Option options[] = {DatabaseOption, DataDirOption, HelpOption, VersionOption};
        Arguments parsed;
        if (auto error = parseArguments(before, options, parsed))
            return usageError(console, *error);
        if (parsed.has("version")) {
            console.out() << CliName << ' ' << KV_VERSION << '\n';
            return ExitOk;
        }
        if (parsed.has("help")) {
            writeProgramHelp(console.out());
            return ExitOk;
        }
        return usageError(console, "no command given");
    }

    std::string_view name = args[at];
    std::vector<std::string> rest(args.begin(), args.begin() + static_cast<std::ptrdiff_t>(at));
    rest.insert(rest.end(), args.begin() + static_cast<std::ptrdiff_t>(at) + 1, args.end());
    if (name == "help") {
        // The common options may stand anywhere, as for any command.
        const Option options[] = {DatabaseOption, DataDirOption, HelpOption};
        Arguments parsed;
        if (auto error = parseArguments(rest, options, parsed))
            return usageError(console, *error);
        if (parsed.operands.empty()) {
            writeProgramHelp(console.out());
            return ExitOk;
        }
        const Verb* verb = parsed.operands.size() == 1 ? findVerb(parsed.operands[0]) : nullptr;
        if (!verb)
            return usageError(console, "no command '" + parsed.operands[0] + "'");
        console.out() << verb->help << CommonHelp;
        return ExitOk;
    }
    const Verb* verb = findVerb(name);
    if (!verb)
        return usageError(console, "no command '" + std::string(name) + "'");

    std::vector<Option> options{DatabaseOption, DataDirOption, HelpOption};
    options.insert(options.end(), verb->options.begin(), verb->options.end());
    Arguments parsed;
    if (auto error = parseArguments(rest, options, parsed))
        return usageError(console, *error, verb->name);
    if (parsed.has("help")) {
        console.out() << verb->help << CommonHelp;
        return ExitOk;
    }
    if (parsed.operands.size() < verb->minOperands)
        return usageError(console, "too few arguments", verb->name);
    if (parsed.operands.size() > verb->maxOperands)
        return usageError(console, "unexpected argument '" + parsed.operands[verb->maxOperands] + "'", verb->name);
    if (const std::string* number = parsed.value("database")) {
        if (*number != "1" && *number != "2" && *number != "3")
            return usageError(console, "the database is 1, 2 or 3", verb->name);
    }
    if (const std::string* folder = parsed.value("data-dir"); folder && folder->empty())
        return usageError(console, "the data folder's name is empty", verb->name);

    Session session(env, std::move(parsed));
    if (verb->needsLogIn && !passLogIn(session))
        return session.fail("Authentication failed");
    return verb->run(session);
}

} // namespace kv
