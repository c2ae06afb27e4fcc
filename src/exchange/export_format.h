#pragma once
// Writing the open database's entries in formats that other password managers
// and browsers import.

#include "storage/record_table.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

enum class ExportFormat { Csv, BitwardenCsv, ChromeCsv, KeepassXml };

// "csv", "bitwarden-csv", "chrome-csv", "keepass-xml".
std::optional<ExportFormat> exportFormatNamed(std::string_view name);
std::string_view exportFormatName(ExportFormat format);

// The rows (from 0, in order) with a field `format` cannot carry as it is: a
// control character other than tab and line breaks, which XML 1.0 cannot hold,
// in keepass-xml. None for the CSV formats, which carry every byte.
std::vector<int> rowsNotCarried(ExportFormat format, const RecordTable& entries);

// Appends the export of every entry, in order, to `out` as UTF-8 without a
// byte-order mark. CSV is RFC 4180 with CR LF line ends; each CSV format has its
// header line first.
// `progress`, when given, is told of the rows written now and then.
using ExportProgress = std::function<void(int rowsDone)>;
void writeExport(ExportFormat format, const RecordTable& entries, std::string& out,
                 const ExportProgress& progress = {});
// The same, handed to `sink` a piece (about 64 KiB) at a time, so that an export
// of a large database never sits in memory whole.
using ExportSink = std::function<void(std::string_view piece)>;
void writeExport(ExportFormat format, const RecordTable& entries, const ExportSink& sink,
                 const ExportProgress& progress = {});

} // namespace kv
