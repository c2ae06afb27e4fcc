#include "cli/audit_report.h"

#include "cli/session.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace kv {

namespace {

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

} // namespace

void writeAuditReport(std::ostream& out, const RecordTable& table, const AuditReport& report, const AuditPolicy& policy,
                      ListStyle style, int columns)
{
    Pieces pieces(out);
    if (style == ListStyle::Json) {
        writeJson(pieces, table, report, policy);
    } else if (style == ListStyle::Tsv) {
        writeTsv(pieces, table, report);
    } else {
        if (!report.findings.empty()) {
            writeTable(pieces, table, report, columns);
            pieces.text += '\n';
        }
        pieces.text += summaryLine(report, policy, policy.checked.has(AuditReason::Weak)) + '\n';
    }
}

} // namespace kv
