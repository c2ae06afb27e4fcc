// The password health report. The rules are the vault's (vault/password_audit.h)
// and the forms of the report are cli/audit_report.h's; here the options are
// read, the breach list searched, and the report written.

#include "cli/audit_report.h"
#include "cli/verbs.h"
#include "storage/ansi_text.h"
#include "vault/breach_list.h"
#include "vault/password_audit.h"

#include <charconv>

namespace kv {

namespace {

using Kind = Option::Kind;

int usage(Session& session, std::string_view message)
{
    session.console().err() << CliName << ": " << message << " (see \"" << CliName << " audit --help\")\n";
    return ExitUsage;
}

// The reasons --only names, separated by commas.
std::optional<AuditReasons> reasonsNamed(std::string_view list, std::string& unknown)
{
    AuditReasons reasons;
    while (true) {
        const std::size_t comma = list.find(',');
        std::string_view name = list.substr(0, comma);
        while (!name.empty() && name.front() == ' ')
            name.remove_prefix(1);
        while (!name.empty() && name.back() == ' ')
            name.remove_suffix(1);
        const std::optional<AuditReason> reason = auditReasonNamed(name);
        if (!reason) {
            unknown = name;
            return std::nullopt;
        }
        reasons.add(*reason);
        if (comma == std::string_view::npos)
            return reasons;
        list.remove_prefix(comma + 1);
    }
}

// How often the breach list has seen each row's password (0 for none), or
// nothing after saying why the list could not be searched.
std::optional<std::vector<std::uint64_t>> breachCounts(Session& session, const RecordTable& table,
                                                       const std::string& name)
{
    std::vector<PasswordDigest> digests;
    std::vector<int> rowOf;
    std::string password;
    for (int row = 0; row < table.size(); ++row) {
        const std::string_view stored = table.bytes(row, RecordField::Password);
        if (stored.empty())
            continue;
        password = ansiToUtf8(stored);
        digests.push_back(passwordDigest(password));
        rowOf.push_back(row);
    }
    const std::filesystem::path file = pathFromUtf8(name);
    const BreachLookup lookup = lookUpBreaches(file, digests);
    switch (lookup.result) {
    case BreachLookup::Result::Done:
        break;
    case BreachLookup::Result::Unreadable:
        session.fail("Could not read " + name + whyUnreadable(file, FileError::Other));
        return std::nullopt;
    case BreachLookup::Result::NotAList:
        session.fail(name +
                     " is no list of SHA-1 hashes with counts (HASH:COUNT lines, as Pwned Passwords gives "
                     "them): byte " +
                     std::to_string(lookup.where) + " starts no such line");
        return std::nullopt;
    case BreachLookup::Result::Unsorted:
        session.fail(name + " is not sorted by hash (near byte " + std::to_string(lookup.where) +
                     "), so it cannot be searched");
        return std::nullopt;
    }
    std::vector<std::uint64_t> counts(static_cast<std::size_t>(table.size()), 0);
    for (std::size_t i = 0; i < rowOf.size(); ++i)
        counts[static_cast<std::size_t>(rowOf[i])] = lookup.counts[i];
    return counts;
}

int auditPasswords(Session& session)
{
    const Arguments& args = session.args();
    AuditPolicy policy;
    if (const std::string* days = args.value("older-than")) {
        const auto [end, error] = std::from_chars(days->data(), days->data() + days->size(), policy.olderThanDays);
        if (error != std::errc() || end != days->data() + days->size() || policy.olderThanDays < 0 ||
            policy.olderThanDays > MostAuditDays)
            return usage(session, "--older-than takes a number of days from 0 to " + std::to_string(MostAuditDays));
    }
    if (const std::string* only = args.value("only")) {
        std::string unknown;
        const std::optional<AuditReasons> chosen = reasonsNamed(*only, unknown);
        if (!chosen)
            return usage(session,
                         "no reason '" + unknown + "' (breached, empty, weak, reused, insecure-address, old, no-date)");
        policy.checked = *chosen;
    }
    const std::string* breachList = args.value("breached");
    if (!breachList) {
        if (args.has("only") && policy.checked.has(AuditReason::Breached))
            return usage(session, "breached needs --breached FILE");
        policy.checked.remove(AuditReason::Breached);
    }
    if (!session.load())
        return ExitFailure;
    const RecordTable& table = session.vault().entries().table();
    std::optional<std::vector<std::uint64_t>> counts;
    if (policy.checked.has(AuditReason::Breached)) {
        counts = breachCounts(session, table, *breachList);
        if (!counts)
            return ExitFailure;
        policy.breachCounts = *counts;
    }
    const std::string now = session.now();
    policy.now = now;
    const AuditReport report = auditEntries(table, policy);

    const ListStyle style = args.has("json") ? ListStyle::Json : args.has("tsv") ? ListStyle::Tsv : ListStyle::Table;
    writeAuditReport(session.console().out(), table, report, policy, style, session.console().columns());
    return ExitOk;
}

constexpr Option AuditOptions[] = {{0, "older-than", Kind::Value},
                                   {0, "breached", Kind::Value},
                                   {0, "only", Kind::Value},
                                   {0, "tsv", Kind::Flag},
                                   {0, "json", Kind::Flag}};

constexpr Verb AuditVerb{
    .name = "audit",
    .options = AuditOptions,
    .minOperands = 0,
    .maxOperands = 0,
    .needsLogIn = true,
    .run = auditPasswords,
    .summary = "list the entries whose passwords need attention",
    .help = "Usage: keystead-vault-cli audit [--older-than DAYS] [--breached FILE]\n"
            "                                [--only REASONS] [--tsv | --json]\n"
            "\n"
            "Checks every entry and lists those that need attention, worst first, each\n"
            "with its reasons, and a last line that counts them. The reasons, from the\n"
            "worst:\n"
            "\n"
            "  breached          its password is in the breach list FILE (--breached)\n"
            "  empty             it has no password\n"
            "  weak              zxcvbn guesses its password in fewer than 10^8 tries, the\n"
            "                    entry's user name and service counting as known words\n"
            "  reused            another entry has the same password (the groups that\n"
            "                    share one are listed by service)\n"
            "  insecure address  its address starts with http:// or ftp://\n"
            "  old               recorded longer ago than DAYS days\n"
            "  no date           no time recorded, so its age is unknown\n"
            "\n"
#ifndef KV_HAVE_STRENGTH
            "This build has no strength estimator (zxcvbn): it finds no entry weak, and\n"
            "its summary says so.\n"
            "\n"
#endif
            "No password, nor any hash of one, is ever shown. The exit status is 0\n"
            "whatever is found.\n"
            "\n"
            "  --older-than DAYS  the age past which an entry is old (default 365)\n"
            "  --breached FILE    a list of breached passwords on your disk, as Pwned\n"
            "                     Passwords gives it for download: one HASH:COUNT line per\n"
            "                     password (its SHA-1 in hex, the times it was seen),\n"
            "                     sorted by hash. It is searched where it lies, never read\n"
            "                     whole, and nothing is sent anywhere\n"
            "  --only REASONS     only these reasons, separated by commas (insecure-address\n"
            "                     and no-date with a hyphen)\n"
            "  --tsv              one line per entry and reason, tab-separated: service,\n"
            "                     user name, reason, and the group (reused), the times seen\n"
            "                     (breached) or the time recorded (old), escaped as ls\n"
            "                     --tsv escapes them, UTF-8\n"
            "  --json             one JSON object: \"entries\", each with \"service\",\n"
            "                     \"username\", \"reasons\", \"reused_group\" and \"breaches\",\n"
            "                     and \"summary\", the counts, UTF-8\n",
};

constexpr Verb AuditVerbs[] = {AuditVerb};

} // namespace

std::span<const Verb> auditVerbs()
{
    return AuditVerbs;
}

} // namespace kv
