#include "cli/command_line.h"

#include "cli/verbs.h"
#include "lock/lock_record.h"
#include "seal/secret_bytes.h"

#include <algorithm>
#include <vector>

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
    writeCommandList(out, allVerbs());
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
    const bool passed = user && password && *user == stored->user && *password == stored->password;
    for (std::optional<std::string>* typed : {&user, &password}) {
        if (*typed)
            wipe(**typed);
    }
    return passed;
}

} // namespace

std::span<const Verb> allVerbs()
{
    static const std::vector<Verb> all = [] {
        std::vector<Verb> verbs;
        for (const std::span<const Verb> group :
             {entryVerbs(), transferVerbs(), mergeVerbs(), sealVerbs(), auditVerbs()})
            verbs.insert(verbs.end(), group.begin(), group.end());
        return verbs;
    }();
    return all;
}

const Verb* findVerb(std::string_view name)
{
    for (const Verb& verb : allVerbs()) {
        if (verb.name == name)
            return &verb;
    }
    return nullptr;
}

void writeCommandList(std::ostream& out, std::span<const Verb> verbs)
{
    // At least two spaces between a name and its summary; the summaries start in
    // column 12 unless a name is longer than 8 characters.
    std::size_t width = 10;
    for (const Verb& verb : verbs)
        width = std::max(width, verb.name.size() + 2);
    for (const Verb& verb : verbs)
        out << "  " << verb.name << std::string(width - verb.name.size(), ' ') << verb.summary << '\n';
}

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
    if (name == HelpVerbName) {
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
