#include "exchange/import_format.h"

#include "exchange/csv_reader.h"
#include "exchange/entry_time.h"
#include "exchange/imported_entry.h"

#include <algorithm>
#include <array>
#include <unordered_map>

namespace kv {

namespace {

enum class TimeForm { None, Text, UnixMillis, UnixSecondsOrText };

// A CSV export we know by its header: the columns it must have and those it may
// have (lower case; the field columns below may be there too, and no other), and
// which of its columns give each field.
struct CsvShape
{
    std::string_view name;
    std::array<std::string_view, 7> required;
    std::array<std::string_view, 16> optional = {};
    std::string_view title, username, password, notes, address;
    std::string_view modified = {}, created = {}; // tried in this order
    TimeForm timeForm = TimeForm::None;
    std::string_view otherUsername = {}; // read when the user name is empty
    // A column naming each row's kind, and the kinds (lower case) that are log-ins.
    std::string_view kind = {};
    std::array<std::string_view, 2> loginKinds = {};
    // Rows without a user name, a password and an address are not log-ins
    // (folders, cards, notes) and are left out.
    bool loginsOnly = false;
    // A column of "Name: value" lines that holds the user name and password.
    std::string_view secretData = {};
    // A column of group paths ("Passwords/Recycle Bin/Old", the root's name
    // first), and the name of the recycle bin, a group just below the root:
    // rows in it, or in a group inside it, are left out.
    std::string_view group = {};
    std::string_view recycleBin = {};
};

// Told apart by the whole set of their columns; where a header would fit two
// shapes, the first counts.
constexpr std::array CsvShapes = {
    CsvShape{.name = "csv",
             .required = {"service", "username", "password"},
             .title = "service",
             .username = "username",
             .password = "password",
             .notes = "comments",
             .address = "address",
             .modified = "recorded",
             .timeForm = TimeForm::Text},
    CsvShape{.name = "bitwarden-csv",
             .required = {"name", "login_uri", "login_username", "login_password"},
             .optional = {"folder", "favorite", "type", "fields", "reprompt", "login_totp", "collections",
                          "login_fido2credentials"},
             .title = "name",
             .username = "login_username",
             .password = "login_password",
             .notes = "notes",
             .address = "login_uri",
             .kind = "type",
             .loginKinds = {"login"}},
    CsvShape{.name = "keepassxc-csv",
             .required = {"group", "title", "username", "password", "url", "notes"},
             .optional = {"totp", "icon", "last modified", "created"},
             .title = "title",
             .username = "username",
             .password = "password",
             .notes = "notes",
             .address = "url",
             .modified = "last modified",
             .created = "created",
             .timeForm = TimeForm::Text,
             .group = "group",
             .recycleBin = "Recycle Bin"},
    CsvShape{.name = "keepass-csv",
             .required = {"account", "login name", "password", "web site", "comments"},
             .title = "account",
             .username = "login name",
             .password = "password",
             .notes = "comments",
             .address = "web site"},
    CsvShape{.name = "firefox-csv",
             .required = {"url", "username", "password", "httprealm", "formactionorigin"},
             .optional = {"guid", "timecreated", "timelastused", "timepasswordchanged"},
             .title = {},
             .username = "username",
             .password = "password",
             .notes = {},
             .address = "url",
             .modified = "timepasswordchanged",
             .created = "timecreated",
             .timeForm = TimeForm::UnixMillis},
    CsvShape{.name = "lastpass-csv",
             .required = {"url", "username", "password", "extra", "name", "grouping"},
             .optional = {"totp", "fav"},
             .title = "name",
             .username = "username",
             .password = "password",
             .notes = "extra",
             .address = "url"},
    CsvShape{.name = "dashlane-csv",
             .required = {"username", "username2", "title", "password", "url"},
             .optional = {"username3", "category", "otpsecret", "otpurl"},
             .title = "title",
             .username = "username",
             .password = "password",
             .notes = "note",
             .address = "url"},
    // 1Password 8.
    CsvShape{.name = "1password-csv",
             .required = {"title", "url", "username", "password", "archived"},
             .optional = {"otpauth", "favorite", "tags"},
             .title = "title",
             .username = "username",
             .password = "password",
             .notes = "notes",
             .address = "url"},
    // 1Password 4 and 7 with column headers: their address is "website", or
    // "url" (then told from Safari's by the lack of its OTPAuth column).
    CsvShape{.name = "1password-csv",
             .required = {"title", "website", "username", "password"},
             .title = "title",
             .username = "username",
             .password = "password",
             .notes = "notes",
             .address = "website"},
    CsvShape{.name = "safari-csv",
             .required = {"title", "url", "username", "password", "otpauth"},
             .title = "title",
             .username = "username",
             .password = "password",
             .notes = "notes",
             .address = "url"},
    CsvShape{.name = "1password-csv",
             .required = {"title", "url", "username", "password"},
             .title = "title",
             .username = "username",
             .password = "password",
             .notes = "notes",
             .address = "url"},
    CsvShape{.name = "chrome-csv",
             .required = {"name", "url", "username", "password"},
             .title = "name",
             .username = "username",
             .password = "password",
             .notes = "note",
             .address = "url"},
    CsvShape{.name = "nordpass-csv",
             .required = {"name", "url", "username", "password", "note", "cardholdername"},
             .optional = {"cardnumber", "cvc", "expirydate", "zipcode", "folder", "full_name", "phone_number", "email",
                          "address1", "address2", "city", "country", "state", "type", "additional_urls",
                          "custom_fields"},
             .title = "name",
             .username = "username",
             .password = "password",
             .notes = "note",
             .address = "url",
             .kind = "type",
             .loginKinds = {"password"},
             .loginsOnly = true},
    CsvShape{.name = "protonpass-csv",
             .required = {"type", "name", "url", "password", "note"},
             .optional = {"totp", "vault"},
             .title = "name",
             .username = "username",
             .password = "password",
             .notes = "note",
             .address = "url",
             .modified = "modifytime",
             .created = "createtime",
             .timeForm = TimeForm::UnixSecondsOrText,
             .otherUsername = "email",
             .kind = "type",
             .loginKinds = {"login"}},
    CsvShape{.name = "roboform-csv",
             .required = {"name", "url", "login", "pwd"},
             .optional = {"matchurl", "folder", "rffieldsv2"},
             .title = "name",
             .username = "login",
             .password = "pwd",
             .notes = "note",
             .address = "url",
             .loginsOnly = true},
    CsvShape{.name = "zohovault-csv",
             .required = {"password name", "secretdata"},
             .optional = {"description", "favorite", "customdata", "tags", "classification", "chambername",
                          "folder name", "secret type"},
             .title = "password name",
             .username = {},
             .password = {},
             .notes = "notes",
             .address = "password url",
             .loginsOnly = true,
             .secretData = "secretdata"},
};

constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";

ImportResult failed(std::string error)
{
    ImportResult result;
    result.error = std::move(error);
    return result;
}

std::string headerName(std::string_view cell)
{
    const std::size_t begin = cell.find_first_not_of(" \t");
    if (begin == std::string_view::npos)
        return {};
    cell = cell.substr(begin, cell.find_last_not_of(" \t") - begin + 1);
    std::string name(cell);
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return name;
}

// The header as an error message shows it: one line, not too long.
std::string shownHeader(const std::vector<std::string_view>& fields)
{
    constexpr std::size_t most = 200;
    std::string out;
    for (const std::string_view field : fields) {
        if (!out.empty())
            out += ',';
        out += field;
        if (out.size() > most)
            break;
    }
    if (out.size() > most) {
        std::size_t size = most;
        while (size > 0 && (static_cast<unsigned char>(out[size]) & 0xC0) == 0x80)
            --size; // not inside a character
        out.resize(size);
        out += "...";
    }
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 0x20)
            c = ' ';
    }
    return out;
}

// Whether a header may name column `name` in a file of `shape`.
bool allowedIn(const CsvShape& shape, std::string_view name)
{
    const auto among = [name](const auto& names) { return std::find(names.begin(), names.end(), name) != names.end(); };
    const std::array<std::string_view, 11> fieldColumns = {
        shape.title,   shape.username,      shape.password, shape.notes,      shape.address, shape.modified,
        shape.created, shape.otherUsername, shape.kind,     shape.secretData, shape.group};
    return !name.empty() && (among(shape.required) || among(shape.optional) || among(fieldColumns));
}

// Whether every cell is empty or a column name some export we know has.
bool allColumnNames(const std::vector<std::string_view>& fields)
{
    for (const std::string_view cell : fields) {
        const std::string name = headerName(cell);
        const auto known = [&name](const CsvShape& shape) { return allowedIn(shape, name); };
        if (!name.empty() && std::none_of(CsvShapes.begin(), CsvShapes.end(), known))
            return false;
    }
    return true;
}

bool blank(const std::vector<std::string_view>& fields)
{
    for (const std::string_view field : fields) {
        if (!field.empty())
            return false;
    }
    return true;
}

// Where each field of an entry comes from in the shape's rows; -1 for nowhere.
struct Columns
{
    int title = -1, username = -1, password = -1, notes = -1, address = -1, modified = -1, created = -1;
    int otherUsername = -1, kind = -1, secretData = -1, group = -1;
};

const CsvShape* recognise(const std::vector<std::string_view>& header, Columns& columns)
{
    std::unordered_map<std::string, int> index;
    for (std::size_t i = 0; i < header.size(); ++i)
        index.emplace(headerName(header[i]), static_cast<int>(i)); // the first of a repeated name counts
    index.erase(std::string());
    const auto column = [&](std::string_view name) {
        if (name.empty())
            return -1;
        const auto found = index.find(std::string(name));
        return found == index.end() ? -1 : found->second;
    };
    for (const CsvShape& shape : CsvShapes) {
        const bool all = std::all_of(shape.required.begin(), shape.required.end(),
                                     [&](std::string_view name) { return name.empty() || column(name) >= 0; });
        const bool onlyKnown =
            std::all_of(index.begin(), index.end(), [&](const auto& named) { return allowedIn(shape, named.first); });
        if (!all || !onlyKnown)
            continue;
        columns.title = column(shape.title);
        columns.username = column(shape.username);
        columns.password = column(shape.password);
        columns.notes = column(shape.notes);
        columns.address = column(shape.address);
        columns.modified = column(shape.modified);
        columns.created = column(shape.created);
        columns.otherUsername = column(shape.otherUsername);
        columns.kind = column(shape.kind);
        columns.secretData = column(shape.secretData);
        columns.group = column(shape.group);
        return &shape;
    }
    return nullptr;
}

std::string_view take(const std::vector<std::string_view>& fields, int column)
{
    // A row shorter than the header has empty fields at its end.
    if (column < 0 || static_cast<std::size_t>(column) >= fields.size())
        return {};
    return fields[static_cast<std::size_t>(column)];
}

std::string_view trimmedText(std::string_view text)
{
    const std::size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos)
        return {};
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

// The user name and password among "Name: value" lines.
void fromSecretData(std::string_view data, Record& record)
{
    while (!data.empty()) {
        const std::size_t end = data.find_first_of("\r\n");
        const std::string_view line = data.substr(0, end);
        data.remove_prefix(end == std::string_view::npos ? data.size() : end + 1);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string key = headerName(line.substr(0, colon));
        const std::string_view value = trimmedText(line.substr(colon + 1));
        if (record.username.empty() &&
            (key == "user name" || key == "username" || key == "login name" || key == "login" || key == "email"))
            record.username = value;
        else if (record.password.empty() && key == "password")
            record.password = value;
    }
}

// Whether the group path `path` ("Passwords/Recycle Bin/Old") is in the
// recycle bin named `bin`, which stands just below the root.
bool inRecycleBin(std::string_view path, std::string_view bin)
{
    const std::size_t root = path.find('/');
    if (bin.empty() || root == std::string_view::npos)
        return false;
    path.remove_prefix(root + 1);
    return path.substr(0, path.find('/')) == bin;
}

// The recorded time `text` gives, or empty when it reads as none.
void recordedFrom(std::string_view text, TimeForm form, std::string& recorded)
{
    if (form == TimeForm::Text && parseRecordedTime(text)) {
        // Already our form, as our own exports have it: kept as written but for
        // the blanks around it, which is what recordedText would give back.
        const std::size_t begin = text.find_first_not_of(" \t");
        recorded.assign(text.substr(begin, text.find_last_not_of(" \t") - begin + 1));
        return;
    }
    std::optional<CivilTime> time;
    if (form == TimeForm::Text) {
        time = parseAsLocal(text);
    } else if (form == TimeForm::UnixMillis || form == TimeForm::UnixSecondsOrText) {
        const std::string_view digits = trimmedText(text);
        const bool allDigits = !digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos;
        if (form == TimeForm::UnixSecondsOrText && !allDigits) {
            time = parseAsLocal(digits);
        } else {
            // Seconds as milliseconds: the same reader, its bounds and all.
            time = form == TimeForm::UnixMillis ? parseUnixMillis(digits)
                   : digits.size() <= 12        ? parseUnixMillis(std::string(digits) + "000")
                                                : std::nullopt;
            if (time) {
                if (const auto local = localFromUtc(*time))
                    time = local;
            }
        }
    }
    recorded = time ? recordedText(*time) : std::string();
}

// Why the row last read does not fit a header of `headerCount` cells, the last
// named one at `headerFilled`, or nothing. Empty cells at a row's end beyond the
// header's are no misfit (browsers write them), nor is a blank line.
std::optional<std::string> misfit(const CsvReader& reader, std::size_t headerCount, std::size_t headerFilled)
{
    std::size_t has = 0;
    std::size_t header = headerFilled;
    if (reader.filledCount() == 0)
        return std::nullopt;
    if (reader.fieldCount() < headerFilled) {
        has = reader.fieldCount();
    } else if (reader.filledCount() > headerCount) {
        has = reader.filledCount();
        header = headerCount;
    } else {
        return std::nullopt;
    }
    return "line " + std::to_string(reader.line()) + " has " + std::to_string(has) + " columns, the header " +
           std::to_string(header);
}

// Whether the whole file reads in `dialect` with no leniency: each row fits
// the header, no quoted field has text after its closing quote.
bool readsClean(std::string_view content, CsvReader::Dialect dialect)
{
    CsvReader reader(content, dialect);
    std::vector<std::string_view> fields;
    bool haveHeader = false;
    std::size_t headerCount = 0;
    std::size_t headerFilled = 0;
    while (reader.next(fields)) {
        if (!haveHeader) {
            haveHeader = reader.filledCount() > 0;
            headerCount = reader.fieldCount();
            headerFilled = reader.filledCount();
        } else if (misfit(reader, headerCount, headerFilled)) {
            return false;
        }
    }
    return reader.error().empty() && !reader.textAfterQuote();
}

// The backslash dialect only when the file has a \" and is sound read so but
// not as RFC 4180: a Windows path ending in a backslash keeps its quote.
CsvReader::Dialect dialectOf(std::string_view content)
{
    if (content.find("\\\"") != std::string_view::npos && !readsClean(content, CsvReader::Dialect::Rfc4180) &&
        readsClean(content, CsvReader::Dialect::Backslash))
        return CsvReader::Dialect::Backslash;
    return CsvReader::Dialect::Rfc4180;
}

ImportResult readCsv(std::string_view content, const ImportSink& sink)
{
    CsvReader reader(content, dialectOf(content));
    std::vector<std::string_view> fields;
    bool haveHeader = false;
    while (!haveHeader && reader.next(fields))
        haveHeader = !blank(fields);
    if (!reader.error().empty())
        return failed(reader.error());
    if (!haveHeader)
        return failed("the file has no header line");
    Columns columns;
    const CsvShape* shape = recognise(fields, columns);
    if (!shape) {
        // A first line that is no header may well be an entry: its cells are
        // shown only when every one of them is a column name.
        if (allColumnNames(fields))
            return failed("not a CSV header this program knows: " + shownHeader(fields));
        return failed("line " + std::to_string(reader.line()) + " is not a CSV header this program knows");
    }

    ImportResult result;
    result.formatName = shape->name;
    const bool lastPass = shape->name == "lastpass-csv";
    const bool firefox = shape->name == "firefox-csv";
    // One entry for every row: its strings keep their room from row to row.
    ImportedEntry entry;
    // Our export's header, all six columns: an empty time there is what the entry held.
    entry.ownEmptyTime = shape->name == "csv" && fields.size() == 6 && columns.notes >= 0 && columns.address >= 0 &&
                         columns.modified >= 0;
    Record& record = entry.record;
    const std::size_t headerCount = reader.fieldCount();
    const std::size_t headerFilled = reader.filledCount();
    while (reader.next(fields)) {
        if (auto why = misfit(reader, headerCount, headerFilled))
            return failed(*why);
        entry.where = reader.line();
        record.service = take(fields, columns.title);
        record.username = take(fields, columns.username);
        if (record.username.empty())
            record.username = take(fields, columns.otherUsername);
        record.password = take(fields, columns.password);
        if (columns.secretData >= 0)
            fromSecretData(take(fields, columns.secretData), record);
        record.comments = take(fields, columns.notes);
        record.address = take(fields, columns.address);
        recordedFrom(take(fields, columns.modified), shape->timeForm, record.recorded);
        if (record.recorded.empty())
            recordedFrom(take(fields, columns.created), shape->timeForm, record.recorded);
        // The address LastPass gives its secure notes: one with a password (in
        // its column, or as a "Password:" line of the note, as a server's or a
        // database's note has it) is kept as an entry, any other is no log-in.
        const bool secureNote = lastPass && record.address == "http://sn";
        if (secureNote) {
            record.address.clear();
            if (record.password.empty())
                fromSecretData(record.comments, record);
        }
        if (inRecycleBin(take(fields, columns.group), shape->recycleBin)) {
            ++result.leftOut.recycled;
            continue;
        }
        if (holdsNothing(record))
            continue; // a blank line, a spreadsheet's row of empty cells
        if (secureNote && record.password.empty()) {
            ++result.leftOut.notLogins;
            continue;
        }
        if (firefox && record.address.starts_with("chrome://FirefoxAccounts")) {
            ++result.leftOut.browserSync; // the browser's own sync account, no site's log-in
            continue;
        }
        const std::string kind = headerName(take(fields, columns.kind));
        const bool kindSaysLogin =
            std::find(shape->loginKinds.begin(), shape->loginKinds.end(), kind) != shape->loginKinds.end();
        const bool noLogin = !kind.empty() ? !kindSaysLogin
                             : shape->loginsOnly || columns.kind >= 0
                                 ? record.username.empty() && record.password.empty() && record.address.empty()
                                 : false;
        if (noLogin) {
            ++result.leftOut.notLogins; // a folder, a card, an identity, a note
            continue;
        }
        fillService(record);
        sink(entry);
    }
    if (!reader.error().empty())
        return failed(reader.error());
    result.ok = true;
    return result;
}

} // namespace

std::optional<ImportFormat> importFormatNamed(std::string_view name)
{
    if (name == "auto")
        return ImportFormat::Auto;
    if (name == "csv")
        return ImportFormat::Csv;
    if (name == "keepass-xml")
        return ImportFormat::KeepassXml;
    if (name == "json")
        return ImportFormat::Json;
    return std::nullopt;
}

std::string_view hostOf(std::string_view address)
{
    const std::size_t begin = address.find_first_not_of(" \t");
    if (begin == std::string_view::npos)
        return {};
    address.remove_prefix(begin);
    const std::size_t scheme = address.find("://");
    if (scheme != std::string_view::npos && address.substr(0, scheme).find_first_of("/?#") == std::string_view::npos)
        address.remove_prefix(scheme + 3);
    address = address.substr(0, address.find_first_of("/?#\\ \t"));
    const std::size_t at = address.rfind('@');
    if (at != std::string_view::npos)
        address.remove_prefix(at + 1);
    if (address.starts_with('[')) // an IPv6 literal keeps its colons
        return address.substr(0, address.find(']') + 1);
    return address.substr(0, address.find(':'));
}

bool holdsNothing(const Record& record)
{
    return record.service.empty() && record.username.empty() && record.password.empty() && record.comments.empty() &&
           record.address.empty();
}

void fillService(Record& record)
{
    if (record.service.empty())
        record.service = hostOf(record.address);
    if (record.service.empty())
        record.service = record.username;
}

ImportResult readImport(std::string_view content, ImportFormat format, const ImportSink& sink)
{
    return readImport(content, format, sink, {});
}

ImportResult readImport(std::string_view content, ImportFormat format, const ImportSink& sink,
                        const ImportParsing& parsing)
{
    if (content.starts_with("\xFF\xFE") || content.starts_with("\xFE\xFF"))
        return failed("the file is UTF-16 text; save it as UTF-8 and import it again");
    if (content.starts_with(Utf8Bom))
        content.remove_prefix(Utf8Bom.size());
    const std::size_t first = content.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return failed("the file is empty");
    if (format == ImportFormat::KeepassXml || (format == ImportFormat::Auto && content[first] == '<'))
        return readKeepassXml(content, sink);
    if (format == ImportFormat::Json ||
        (format == ImportFormat::Auto && (content[first] == '{' || content[first] == '[')))
        return readJson(content, sink, parsing);
    return readCsv(content, sink);
}

ImportResult readImport(std::string_view content, ImportFormat format)
{
    std::vector<ImportedEntry> entries;
    ImportResult result =
        readImport(content, format, [&entries](ImportedEntry& entry) { entries.push_back(std::move(entry)); });
    if (result.ok)
        result.entries = std::move(entries);
    return result;
}

} // namespace kv
