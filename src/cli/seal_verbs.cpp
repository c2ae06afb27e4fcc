// Sealing a database, unsealing it and changing its password: each rewrites the
// whole file in one full save, and only from a list that holds every line of it.

#include "cli/verbs.h"

namespace kv {

namespace {

// A new database password: typed twice on the terminal, or two lines of
// standard input; refused when empty or the log-in's own.
std::optional<SecretBytes> newDatabasePassword(Session& session)
{
    const std::string prompt = "New password for " + session.database().base() + ".ksd: ";
    std::optional<SecretBytes> first = session.askSecret(prompt);
    std::optional<SecretBytes> second = first ? session.askSecret("Repeat password: ") : std::nullopt;
    if (!first || !second) {
        session.fail("no new password given");
        return std::nullopt;
    }
    if (first->view() != second->view()) {
        session.fail("the passwords do not match");
        return std::nullopt;
    }
    if (auto why = session.vault().sealPasswordRefusal(first->view())) {
        session.fail(*why);
        return std::nullopt;
    }
    return first;
}

// Whether the database is sealed as `wanted` says, after saying why not.
bool sealedAs(Session& session, bool wanted)
{
    if (const DatabaseResult read = session.database().readSealHeader(); !read) {
        session.failWith(read);
        return false;
    }
    if (session.database().sealed() == wanted)
        return true;
    session.fail(session.dataFileName() + (wanted ? " is not sealed" : " is already sealed"));
    return false;
}

int resealWith(Session& session, std::shared_ptr<const LineSeal> key, const std::string& done)
{
    const Outcome outcome = session.vault().reseal(std::move(key));
    if (outcome.problem != Outcome::Problem::None)
        return session.failWith(outcome);
    session.console().out() << done << '\n';
    return ExitOk;
}

// Asks for a new password and rewrites the database sealed under it.
int resealUnderNewPassword(Session& session, const std::string& done)
{
    // Refused before a password is asked for and its key made, not after.
    if (session.vault().holdsUnreadLines()) {
        Outcome refused;
        refused.problem = Outcome::Problem::UnreadableLines;
        return session.failWith(refused);
    }
    const std::optional<SecretBytes> password = newDatabasePassword(session);
    if (!password)
        return ExitFailure;
    std::shared_ptr<const LineSeal> key = session.newKey(*password);
    if (!key)
        return session.fail("could not make the key: not enough memory");
    return resealWith(session, std::move(key), done);
}

int sealDatabase(Session& session)
{
    if (!sealedAs(session, false) || !session.load())
        return ExitFailure;
    return resealUnderNewPassword(session, "Sealed " + session.dataFileName());
}

constexpr Verb SealVerb{
    .name = "seal",
    .options = {},
    .minOperands = 0,
    .maxOperands = 0,
    .needsLogIn = true,
    .run = sealDatabase,
    .summary = "encrypt the database under a password of its own",
    .help = "Usage: keystead-vault-cli seal\n"
            "\n"
            "Rewrites the database sealed: each entry encrypted under a key made from a new\n"
            "password, asked twice on the terminal without being shown, or read as two lines\n"
            "of standard input. From then on every command asks for that password first, and\n"
            "the window shows the entries once it is typed into its Password field. Nobody\n"
            "can open the entries without it: a forgotten password cannot be recovered.\n"
            "Copies of the file made before sealing (old backups, a sync tool's versions)\n"
            "stay readable as they were. The log-in's password is refused, since it is\n"
            "stored where anyone can read it; so is a database with lines that cannot be\n"
            "read, which sealing would lose.\n",
};

int unsealDatabase(Session& session)
{
    if (!sealedAs(session, true) || !session.load())
        return ExitFailure;
    return resealWith(session, nullptr, "Unsealed " + session.dataFileName());
}

constexpr Verb UnsealVerb{
    .name = "unseal",
    .options = {},
    .minOperands = 0,
    .maxOperands = 0,
    .needsLogIn = true,
    .run = unsealDatabase,
    .summary = "take the database's own password off",
    .help = "Usage: keystead-vault-cli unseal\n"
            "\n"
            "Asks for the database's password and rewrites it in the format of an unsealed\n"
            "database, every entry as it was.\n",
};

int changeDatabasePassword(Session& session)
{
    if (!sealedAs(session, true) || !session.load())
        return ExitFailure;
    return resealUnderNewPassword(session, "Changed the password of " + session.dataFileName());
}

constexpr Verb PasswdVerb{
    .name = "passwd",
    .options = {},
    .minOperands = 0,
    .maxOperands = 0,
    .needsLogIn = true,
    .run = changeDatabasePassword,
    .summary = "change a sealed database's password",
    .help = "Usage: keystead-vault-cli passwd\n"
            "\n"
            "Asks for the database's password, then the new one twice (or reads three lines\n"
            "of standard input), and rewrites the database under the new one, every entry\n"
            "encrypted anew.\n",
};

constexpr Verb SealVerbs[] = {SealVerb, UnsealVerb, PasswdVerb};

} // namespace

std::span<const Verb> sealVerbs()
{
    return SealVerbs;
}

} // namespace kv
