#pragma once
// The health of a database's passwords: which entries need attention, and why.
// Rules only, over the entries as the list holds them; whoever shows the report
// (the command line, the window) formats it. Nothing here ever gives a password
// or anything made from one back: a finding names its entry by row.

#include "storage/record_table.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace kv {

// Why an entry needs attention, worst first: the report ranks by this order.
enum class AuditReason : std::uint8_t {
    Breached,        // its password is in a list of breached passwords
    Empty,           // it has no password
    Weak,            // its password is guessed in fewer than 10^8 tries
    Reused,          // another entry has the same password
    InsecureAddress, // its address is http:// or ftp://, sent in clear
    Old,             // recorded longer ago than the policy allows
    NoDate,          // no time recorded (or none that reads), so its age is unknown
};
inline constexpr std::size_t AuditReasonCount = 7;
inline constexpr std::array<AuditReason, AuditReasonCount> AuditReasonsWorstFirst = {
    AuditReason::Breached,        AuditReason::Empty, AuditReason::Weak,  AuditReason::Reused,
    AuditReason::InsecureAddress, AuditReason::Old,   AuditReason::NoDate};

// Whether this build estimates strength (zxcvbn); without it no entry is weak.
#ifdef KV_HAVE_STRENGTH
inline constexpr bool StrengthEstimated = true;
#else
inline constexpr bool StrengthEstimated = false;
#endif

// A reason's name in reports: "breached", "empty", "weak", "reused", "insecure
// address", "old", "no date".
std::string_view auditReasonName(AuditReason reason);
// The reason a name gives, also with a hyphen for the space ("no-date"), which a
// command line takes without quotes.
std::optional<AuditReason> auditReasonNamed(std::string_view name);

// A set of reasons. Compared by rank, a set holding a worse reason outranks every
// set without it, whatever else either holds.
class AuditReasons
{
public:
    constexpr AuditReasons() = default;
    static constexpr AuditReasons all()
    {
        AuditReasons set;
        set.m_bits = (1u << AuditReasonCount) - 1;
        return set;
    }

    constexpr bool has(AuditReason reason) const { return (m_bits & bit(reason)) != 0; }
    constexpr void add(AuditReason reason) { m_bits |= bit(reason); }
    constexpr void remove(AuditReason reason) { m_bits &= ~bit(reason); }
    constexpr bool empty() const { return m_bits == 0; }
    constexpr int size() const { return std::popcount(m_bits); }
    constexpr unsigned rank() const { return m_bits; }
    constexpr bool operator==(const AuditReasons&) const = default;

private:
    static constexpr unsigned bit(AuditReason reason)
    {
        return 1u << (AuditReasonCount - 1 - static_cast<std::size_t>(reason));
    }
    unsigned m_bits = 0;
};

// Ten thousand years, the most a recorded time can lie in the past.
inline constexpr std::int64_t MostAuditDays = 3650000;

struct AuditPolicy
{
    AuditReasons checked = AuditReasons::all(); // Breached only with breach counts
    std::int64_t olderThanDays = 365;           // 0 ... MostAuditDays
    // The time now as records keep it ("MM-DD-YYYY hh:mm:ss", local); when it does
    // not read, no entry is old.
    std::string_view now;
    // For each row of the table, how often a breach list has seen its password
    // (0: never). Needed when Breached is checked.
    std::span<const std::uint64_t> breachCounts;
};

struct AuditFinding
{
    int row = 0;
    AuditReasons reasons;
    int reusedGroup = 0;        // 1, 2, ... in the order the report lists them; 0: not reused
    std::uint64_t breaches = 0; // times the breach list has seen the password
};

struct AuditReport
{
    // The entries that need attention, worst first: by their worst reason, then
    // the next, and so on; then the most often breached; the members of a reused
    // group together; then by row.
    std::vector<AuditFinding> findings;
    std::size_t audited = 0;                            // entries looked at
    std::size_t unreadable = 0;                         // rows the loader could not read, left out
    std::array<std::size_t, AuditReasonCount> counts{}; // entries with each reason, by AuditReason
    std::size_t reusedGroups = 0;
    AuditReasons checked;

    std::size_t count(AuditReason reason) const { return counts[static_cast<std::size_t>(reason)]; }
};

// Reads every entry of `table` against `policy`. The strength estimate is the
// costly part (some microseconds an entry); the rest is a pass over the table.
AuditReport auditEntries(const RecordTable& table, const AuditPolicy& policy);

} // namespace kv
