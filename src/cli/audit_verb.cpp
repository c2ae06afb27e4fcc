// The password health report. The rules are the vault's (vault/password_audit.h);
// here the options are read and the report is written: a table for people, one
// line per entry and reason or a JSON object for scripts. No password, nor any
// hash of one, is ever written.

#include "cli/listing.h"
#include "cli/verbs.h"
#include "storage/ansi_text.h"
#include "vault/breach_list.h"
#include "vault/password_audit.h"

#include <algorithm>
#include <charconv>

namespace kv {

namespace {

using Kind = Option::Kind;

// Text written a piece at a time: the report on a large database never sits in
// memory whole.
class Pieces
{
public:
    explicit Pieces(std::ostream& out) : m_out(out) { text.reserve(PieceSize + 1024); }
    ~Pieces() { m_out.write(text.data(), static_cast<std::streamsize>(text.size())); }
    Pieces(const Pieces&) = delete;
    Pieces& operator=(const Pieces&) = delete;

    // Called after each entry.
    void flushIfFull()
    {
        if (text.size() < PieceSize)
            return;
        m_out.write(text.data(), static_cast<std::streamsize>(text.size()));
        text.clear();
    }

    std::string text;

private:
    static constexpr std::size_t PieceSize = 64 * 1024;
    std::ostream& m_out;
};

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
    clearFileError(); // whyUnreadable gives no reason of an earlier read
    const BreachLookup lookup = lookUpBreaches(file, digests);
    switch (lookup.result) {
    case BreachLookup::Result::Done:
        break;
    case BreachLookup::Result::Unreadable:
        session.fail("Could not read " + name + whyUnreadable(file));
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

// What the TSV gives beside a reason: the group, the times seen, the time recorded.
std::string detailOf(const RecordTable& table, const AuditFinding& finding, AuditReason reason)
{
    switch (reason) {
    case AuditReason::Reused:
        return std::to_string(finding.reusedGroup);
    case AuditReason::Breached:
        return std::to_string(finding.breaches);
    case AuditReason::Old:
        return std::string(table.bytes(finding.row, RecordField::Recorded));
    default:
        return {};
    }
}

// The reasons as the table shows them: "breached (seen 3 times), weak, reused (group 1)".
std::string reasonsText(const AuditFinding& finding)
{
    std::string text;
    for (const AuditReason reason : AuditReasonsWorstFirst) {
        if (!finding.reasons.has(reason))
            continue;
        if (!text.empty())
            text += ", ";
        text += auditReasonName(reason);
        if (reason == AuditReason::Breached)
            text += " (seen " + std::to_string(finding.breaches) + (finding.breaches == 1 ? " time)" : " times)");
        else if (reason == AuditReason::Reused)
            text += " (group " + std::to_string(finding.reusedGroup) + ")";
    }
    return text;
}

// "12 of 340 entries need attention: 5 weak, 4 reused in 2 groups, ...".
std::string summaryLine(const AuditReport& report, const AuditPolicy& policy, bool weakAsked)
{
    const std::size_t listed = report.findings.size();
    std::string line = std::to_string(listed) + " of " + entryCount(report.audited) +
                       (listed == 1 ? " needs attention" : " need attention");
    std::string counts;
    for (const AuditReason reason : AuditReasonsWorstFirst) {
        const std::size_t count = report.count(reason);
        if (count == 0)
            continue;
        counts += counts.empty() ? ": " : ", ";
        counts += std::to_string(count);
        switch (reason) {
        case AuditReason::Reused:
            counts +=
                " reused in " + std::to_string(report.reusedGroups) + (report.reusedGroups == 1 ? " group" : " groups");
            break;
        case AuditReason::InsecureAddress:
            counts += count == 1 ? " with an insecure address" : " with insecure addresses";
            break;
        case AuditReason::Old:
            counts += " old (recorded over " + std::to_string(policy.olderThanDays) + " days ago)";
            break;
        case AuditReason::NoDate:
            counts += " with no date";
            break;
        default:
            counts += ' ';
            counts += auditReasonName(reason);
        }
    }
    line += counts;
    if (report.unreadable > 0)
        line += "; " + std::to_string(report.unreadable) +
                (report.unreadable == 1 ? " line that cannot be read left out" : " lines that cannot be read left out");
    if (weakAsked && !StrengthEstimated)
        line += "; strength not judged: this build has no estimator (zxcvbn)";
    return line;
}

void writeTable(Pieces& pieces, const RecordTable& table, const AuditReport& report, int columns)
{
    std::string& out = pieces.text;
    constexpr std::string_view Headers[] = {"Service", "Username", "Reasons"};
    constexpr RecordField Fields[] = {RecordField::Service, RecordField::Username};
    std::vector<std::string> reasons;
    reasons.reserve(report.findings.size());
    std::size_t widest = Headers[2].size();
    std::array<std::size_t, 2> width = {Headers[0].size(), Headers[1].size()};
    for (const AuditFinding& finding : report.findings) {
        reasons.push_back(reasonsText(finding));
        widest = std::max(widest, reasons.back().size());
        for (std::size_t c = 0; c < width.size(); ++c)
            width[c] = std::max(width[c], shownWidth(table.bytes(finding.row, Fields[c])));
    }
    // The reasons stay whole; the wider of service and user name gives way until
    // the table fits the terminal, but to no fewer than a readable few characters.
    constexpr std::size_t Gap = 2;
    constexpr std::size_t Narrowest = 8;
    while (columns > 0 && width[0] + width[1] + widest + 2 * Gap >= static_cast<std::size_t>(columns)) {
        std::size_t& wider = width[0] >= width[1] ? width[0] : width[1];
        if (wider <= Narrowest)
            break;
        --wider;
    }
    for (std::size_t c = 0; c < width.size(); ++c) {
        appendShownCell(out, Headers[c], width[c], false);
        out += "  ";
    }
    out += Headers[2];
    out += '\n';
    for (std::size_t i = 0; i < report.findings.size(); ++i) {
        for (std::size_t c = 0; c < width.size(); ++c) {
            appendShownCell(out, table.bytes(report.findings[i].row, Fields[c]), width[c], false);
            out += "  ";
        }
        out += reasons[i];
        out += '\n';
        pieces.flushIfFull();
    }
    if (report.reusedGroups == 0)
        return;
    // Each group of entries that share a password, by service.
    std::vector<std::vector<int>> groups(report.reusedGroups);
    for (const AuditFinding& finding : report.findings) {
        if (finding.reusedGroup > 0)
            groups[static_cast<std::size_t>(finding.reusedGroup - 1)].push_back(finding.row);
    }
    out += "\nSharing a password:\n";
    for (std::size_t g = 0; g < groups.size(); ++g) {
        out += "  group " + std::to_string(g + 1) + ": ";
        for (std::size_t i = 0; i < groups[g].size(); ++i) {
            if (i > 0)
                out += ", ";
            appendShownCell(out, table.bytes(groups[g][i], RecordField::Service), std::string::npos, true);
            pieces.flushIfFull();
        }
        out += '\n';
    }
}

void writeTsv(Pieces& pieces, const RecordTable& table, const AuditReport& report)
{
    std::string& out = pieces.text;
    for (const AuditFinding& finding : report.findings) {
        for (const AuditReason reason : AuditReasonsWorstFirst) {
            if (!finding.reasons.has(reason))
                continue;
            appendTsvField(out, table.bytes(finding.row, RecordField::Service));
            out += '\t';
            appendTsvField(out, table.bytes(finding.row, RecordField::Username));
            out += '\t';
            out += auditReasonName(reason);
            out += '\t';
            appendTsvField(out, detailOf(table, finding, reason));
            out += '\n';
        }
        pieces.flushIfFull();
    }
}

void writeJson(Pieces& pieces, const RecordTable& table, const AuditReport& report, const AuditPolicy& policy)
{
    std::string& out = pieces.text;
    const auto number = [](std::uint64_t value) { return std::to_string(value); };
    out += "{\"entries\": [";
    for (std::size_t i = 0; i < report.findings.size(); ++i) {
        const AuditFinding& finding = report.findings[i];
        out += i == 0 ? "\n  {\"service\": " : ",\n  {\"service\": ";
        appendJsonString(out, table.bytes(finding.row, RecordField::Service));
        out += ", \"username\": ";
        appendJsonString(out, table.bytes(finding.row, RecordField::Username));
        out += ", \"reasons\": [";
        bool first = true;
        for (const AuditReason reason : AuditReasonsWorstFirst) {
            if (!finding.reasons.has(reason))
                continue;
            out += first ? "" : ", ";
            first = false;
            appendJsonString(out, auditReasonName(reason));
        }
        out += "], \"reused_group\": ";
        out += finding.reusedGroup > 0 ? number(static_cast<std::uint64_t>(finding.reusedGroup)) : "null";
        out += ", \"breaches\": ";
        out += finding.reasons.has(AuditReason::Breached) ? number(finding.breaches) : "null";
        out += '}';
        pieces.flushIfFull();
    }
    out += report.findings.empty() ? "],\n" : "\n],\n";
    out += " \"summary\": {\"entries\": " + number(report.audited) +
           ", \"need_attention\": " + number(report.findings.size());
    for (const AuditReason reason : AuditReasonsWorstFirst) {
        std::string key(auditReasonName(reason));
        std::replace(key.begin(), key.end(), ' ', '_');
        out += ", \"" + key + "\": ";
        out += report.checked.has(reason) ? number(report.count(reason)) : "null";
    }
    out += ", \"reused_groups\": " + number(report.reusedGroups);
    out += ", \"older_than_days\": " + number(static_cast<std::uint64_t>(policy.olderThanDays));
    out += ", \"unreadable\": " + number(report.unreadable);
    out += ", \"strength_estimated\": ";
    out += StrengthEstimated ? "true" : "false";
    out += "}}\n";
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

    Pieces pieces(session.console().out());
    if (args.has("json")) {
        writeJson(pieces, table, report, policy);
    } else if (args.has("tsv")) {
        writeTsv(pieces, table, report);
    } else {
        if (!report.findings.empty()) {
            writeTable(pieces, table, report, session.console().columns());
            pieces.text += '\n';
        }
        pieces.text += summaryLine(report, policy, policy.checked.has(AuditReason::Weak)) + '\n';
    }
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
