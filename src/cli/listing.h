#pragma once
// How the command line shows entries: an aligned table for people, tab-separated
// lines or a JSON array for scripts. None of them holds a password.

#include "storage/record_table.h"

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

enum class ListStyle { Table, Tsv, Json };

// The rows `rows` of `table` (service, user name, address, comments, recorded).
// `columns`: the terminal's width for the table, 0 for no limit.
void writeListing(std::ostream& out, const RecordTable& table, const std::vector<int>& rows, ListStyle style,
                  int columns);

// The rows whose service, user name, comments or address contains `text`, letter
// case aside (as Windows-1252 letters go).
std::vector<int> rowsContaining(const RecordTable& table, std::string_view text);

// Every field of one entry, a line each; the password as its mask unless `clear`.
// Here and in the table, a control character in a field is spelt out (\t, \x1b),
// never written to the terminal as it is.
void writeEntry(std::ostream& out, const RecordTable& table, int row, bool clear);

// One field as people are shown it (UTF-8, control characters spelt out).
std::string shownField(const RecordTable& table, int row, RecordField field);

// The pieces of the listings, for other reports on the entries, each appended
// to `out` as UTF-8: a field as a TSV cell and as a JSON string (escaped as the
// listings escape them), and as a table cell `width` characters wide (control
// characters spelt out, cut short with an ellipsis; no padding when `last`).
void appendTsvField(std::string& out, std::string_view ansi);
void appendJsonString(std::string& out, std::string_view ansi);
void appendShownCell(std::string& out, std::string_view ansi, std::size_t width, bool last);
// How many characters a field takes in a table cell.
std::size_t shownWidth(std::string_view ansi);

// A field by the name scripts give it ("service", "username", "password",
// "comments", "address", "recorded"); false when there is none of that name.
bool fieldNamed(std::string_view name, RecordField& out);

} // namespace kv
