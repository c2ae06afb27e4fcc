// Sealing a database, unsealing it and changing its password: each rewrites the
// whole file in one full save, and only from a list that holds every line of it.

#include "cli/verbs.h"
#include "vault/entry_rules.h"

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
    if (!session.database().readSealHeader()) {
        session.failWith(fileFailure("read", session.database()));
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
    if (!outcome.message.empty())
        return session.failWith(outcome.message);
    session.console().out() << done << '\n';
    return ExitOk;
}

// Asks for a new password and rewrites the database sealed under it.
int resealUnderNewPassword(Session& session, const std::string& done)
{
    const std::optional<SecretBytes> password = newDatabasePassword(session);
    if (!password)
        return ExitFailure;
    std::shared_ptr<const LineSeal> key = session.newKey(*password);
    if (!key)
        return session.fail("could not make the key: not enough memory");
    return resealWith(session, std::move(key), done);
}

} // namespace

int sealDatabase(Session& session)
{
    if (!sealedAs(session, false) || !session.load())
        return ExitFailure;
    return resealUnderNewPassword(session, "Sealed " + session.dataFileName());
}

int unsealDatabase(Session& session)
{
    if (!sealedAs(session, true) || !session.load())
        return ExitFailure;
    return resealWith(session, nullptr, "Unsealed " + session.dataFileName());
}

int changeDatabasePassword(Session& session)
{
    if (!sealedAs(session, true) || !session.load())
        return ExitFailure;
    return resealUnderNewPassword(session, "Changed the password of " + session.dataFileName());
}

} // namespace kv
