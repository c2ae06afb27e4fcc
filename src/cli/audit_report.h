#pragma once
// The password audit's report as the command line writes it: a table for people
// (the entries, worst first, the groups that share a password, a line that
// counts them), one line per entry and reason, or a JSON object, for scripts.
// Written a piece at a time; never a password, nor any hash of one.

#include "cli/listing.h"
#include "vault/password_audit.h"

#include <ostream>

namespace kv {

// `columns`: the terminal's width for the table, 0 for no limit.
void writeAuditReport(std::ostream& out, const RecordTable& table, const AuditReport& report, const AuditPolicy& policy,
                      ListStyle style, int columns);

} // namespace kv
