#include "vault/password_audit.h"

#include "exchange/entry_time.h"
#include "storage/ansi_text.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <string>

#ifdef KV_HAVE_STRENGTH
#include <zxcvbn.h>
#endif

namespace kv {

namespace {

constexpr std::array<std::string_view, AuditReasonCount> ReasonNames = {"breached",         "empty", "weak",   "reused",
                                                                        "insecure address", "old",   "no date"};

// 10^8 guesses, about 26.6 bits: below it zxcvbn's own scale calls a password at
// best "somewhat guessable", safe only from an attacker slowed down online.
const double WeakBelowBits = std::log2(1e8);

std::optional<std::int64_t> secondsOf(std::string_view recorded)
{
    const std::optional<CivilTime> time = parseRecordedTime(recorded);
    if (!time)
        return std::nullopt;
    using namespace std::chrono;
    const sys_days day{year{time->year} / month{static_cast<unsigned>(time->month)} / static_cast<unsigned>(time->day)};
    return day.time_since_epoch().count() * std::int64_t{86400} + time->hour * 3600 + time->minute * 60 + time->second;
}

bool startsWithLetterCaseAside(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), text.begin(), [](char p, char t) {
               return p == (t >= 'A' && t <= 'Z' ? static_cast<char>(t - 'A' + 'a') : t);
           });
}

bool insecureAddress(std::string_view address)
{
    const std::size_t start = address.find_first_not_of(" \t");
    if (start == std::string_view::npos)
        return false;
    address.remove_prefix(start);
    return startsWithLetterCaseAside(address, "http://") || startsWithLetterCaseAside(address, "ftp://");
}

#ifdef KV_HAVE_STRENGTH
// zxcvbn's estimate, with the entry's user name and service as words an attacker
// would try first.
bool weakPassword(const std::array<std::string_view, RecordFieldCount>& fields)
{
    const std::string password = ansiToUtf8(fields[indexOf(RecordField::Password)]);
    const std::string username = ansiToUtf8(fields[indexOf(RecordField::Username)]);
    const std::string service = ansiToUtf8(fields[indexOf(RecordField::Service)]);
    std::array<const char*, 3> words{};
    std::size_t count = 0;
    for (const std::string* word : {&username, &service}) {
        if (!word->empty())
            words[count++] = word->c_str();
    }
    return ZxcvbnMatch(password.c_str(), words.data(), nullptr) < WeakBelowBits;
}
#else
bool weakPassword(const std::array<std::string_view, RecordFieldCount>&)
{
    return false;
}
#endif

// Gives each set of entries that share a password a group, and the entries their
// group (0: none); returns how many groups there are. A table of its own, open
// addressing over twice as many slots as rows: a map of nodes costs the audit of
// a large database more than all its other rules together.
std::size_t groupReused(const RecordTable& table, const std::vector<int>& rows, std::vector<int>& groupOf)
{
    struct Slot
    {
        std::uint32_t tag = 0; // the high half of the password's hash
        int row = -1;          // the first row holding the password
    };
    std::vector<Slot> slots(std::bit_ceil(std::max<std::size_t>(16, 2 * rows.size())));
    const std::size_t mask = slots.size() - 1;
    const std::hash<std::string_view> hashOf;
    std::size_t groups = 0;
    for (const int row : rows) {
        const std::string_view password = table.bytes(row, RecordField::Password);
        if (password.empty())
            continue;
        const std::uint64_t hash = hashOf(password);
        const auto tag = static_cast<std::uint32_t>(hash >> 32);
        std::size_t at = hash & mask;
        while (slots[at].row >= 0 &&
               (slots[at].tag != tag || table.bytes(slots[at].row, RecordField::Password) != password))
            at = (at + 1) & mask;
        if (slots[at].row < 0) {
            slots[at] = {tag, row};
            continue;
        }
        int& group = groupOf[static_cast<std::size_t>(slots[at].row)];
        if (group == 0)
            group = static_cast<int>(++groups);
        groupOf[static_cast<std::size_t>(row)] = group;
    }
    return groups;
}

} // namespace

std::string_view auditReasonName(AuditReason reason)
{
    return ReasonNames[static_cast<std::size_t>(reason)];
}

std::optional<AuditReason> auditReasonNamed(std::string_view name)
{
    for (const AuditReason reason : AuditReasonsWorstFirst) {
        const std::string_view known = auditReasonName(reason);
        if (name.size() == known.size() && std::equal(name.begin(), name.end(), known.begin(),
                                                      [](char n, char k) { return n == k || (n == '-' && k == ' '); }))
            return reason;
    }
    return std::nullopt;
}

AuditReport auditEntries(const RecordTable& table, const AuditPolicy& policy)
{
    AuditReport report;
    report.checked = policy.checked;
    if (policy.breachCounts.size() != static_cast<std::size_t>(table.size()))
        report.checked.remove(AuditReason::Breached);
    if (!StrengthEstimated)
        report.checked.remove(AuditReason::Weak);
    const AuditReasons& checked = report.checked;

    // A row the loader could not read has nothing to judge; it is only counted.
    std::vector<int> rows;
    rows.reserve(static_cast<std::size_t>(table.size()));
    for (int row = 0; row < table.size(); ++row) {
        const auto fields = table.fields(row);
        const bool unread = !fields[indexOf(RecordField::KeptLine)].empty() &&
                            std::all_of(fields.begin(), fields.begin() + indexOf(RecordField::KeptLine),
                                        [](std::string_view field) { return field.empty(); });
        if (unread)
            ++report.unreadable;
        else
            rows.push_back(row);
    }
    report.audited = rows.size();

    std::vector<int> groupOf(static_cast<std::size_t>(table.size()), 0);
    if (checked.has(AuditReason::Reused))
        report.reusedGroups = groupReused(table, rows, groupOf);
    const std::optional<std::int64_t> now = secondsOf(policy.now);
    const std::int64_t oldest =
        now ? *now - std::clamp<std::int64_t>(policy.olderThanDays, 0, MostAuditDays) * 86400 : 0;

    for (const int row : rows) {
        const auto fields = table.fields(row);
        const std::string_view password = fields[indexOf(RecordField::Password)];
        AuditFinding finding;
        finding.row = row;
        AuditReasons& reasons = finding.reasons;
        if (password.empty()) {
            reasons.add(AuditReason::Empty);
        } else {
            if (checked.has(AuditReason::Breached))
                finding.breaches = policy.breachCounts[static_cast<std::size_t>(row)];
            if (finding.breaches > 0)
                reasons.add(AuditReason::Breached);
            if (checked.has(AuditReason::Weak) && weakPassword(fields))
                reasons.add(AuditReason::Weak);
            finding.reusedGroup = groupOf[static_cast<std::size_t>(row)];
            if (finding.reusedGroup > 0)
                reasons.add(AuditReason::Reused);
        }
        if (insecureAddress(fields[indexOf(RecordField::Address)]))
            reasons.add(AuditReason::InsecureAddress);
        const std::optional<std::int64_t> recorded = secondsOf(fields[indexOf(RecordField::Recorded)]);
        if (!recorded)
            reasons.add(AuditReason::NoDate);
        else if (now && *recorded < oldest)
            reasons.add(AuditReason::Old);
        for (const AuditReason reason : AuditReasonsWorstFirst) {
            if (!checked.has(reason))
                reasons.remove(reason);
        }
        if (reasons.empty())
            continue;
        for (const AuditReason reason : AuditReasonsWorstFirst) {
            if (reasons.has(reason))
                ++report.counts[static_cast<std::size_t>(reason)];
        }
        report.findings.push_back(finding);
    }

    // A group goes by the first row it holds until the report has its order; then
    // the groups are numbered as they come in it.
    std::vector<int> firstOfGroup(report.reusedGroups + 1, table.size());
    for (const int row : rows) {
        int& first = firstOfGroup[static_cast<std::size_t>(groupOf[static_cast<std::size_t>(row)])];
        first = std::min(first, row);
    }
    const auto groupKey = [&](const AuditFinding& finding) {
        return finding.reusedGroup > 0 ? firstOfGroup[static_cast<std::size_t>(finding.reusedGroup)] : finding.row;
    };
    const auto worseFirst = [&](const AuditFinding& a, const AuditFinding& b) {
        if (a.reasons.rank() != b.reasons.rank())
            return a.reasons.rank() > b.reasons.rank();
        if (a.breaches != b.breaches)
            return a.breaches > b.breaches;
        const int groupA = groupKey(a);
        const int groupB = groupKey(b);
        return groupA != groupB ? groupA < groupB : a.row < b.row;
    };
    // Often in order already: the findings come by row, and many share their reasons.
    if (!std::is_sorted(report.findings.begin(), report.findings.end(), worseFirst))
        std::sort(report.findings.begin(), report.findings.end(), worseFirst);
    std::vector<int> numbered(report.reusedGroups + 1, 0);
    int next = 0;
    for (AuditFinding& finding : report.findings) {
        if (finding.reusedGroup == 0)
            continue;
        int& number = numbered[static_cast<std::size_t>(finding.reusedGroup)];
        if (number == 0)
            number = ++next;
        finding.reusedGroup = number;
    }
    return report;
}

} // namespace kv
