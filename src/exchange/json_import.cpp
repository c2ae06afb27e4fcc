// The JSON exports of Bitwarden (unencrypted), Keeper and Enpass, told apart by
// their top-level keys. Only log-ins are imported; the other items (cards,
// identities, notes, folders) and those in the trash are counted.

#include "exchange/entry_time.h"
#include "exchange/imported_entry.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace kv {

namespace {

using Json = nlohmann::json;

// No export nests anywhere near this deep; the parser recurses, so deeper is
// refused before it starts.
constexpr int MostNesting = 64;

ImportResult failed(std::string error)
{
    ImportResult result;
    result.error = std::move(error);
    return result;
}

int lineAt(std::string_view content, std::size_t at)
{
    at = std::min(at, content.size());
    return 1 + static_cast<int>(std::count(content.begin(), content.begin() + static_cast<std::ptrdiff_t>(at), '\n'));
}

// Where the nesting first goes past MostNesting, or npos. Brackets inside
// strings do not count.
std::size_t tooDeep(std::string_view content)
{
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < content.size(); ++i) {
        const char c = content[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > MostNesting)
                return i;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return std::string_view::npos;
}

// A member's text, or empty when it is missing or no string.
std::string_view text(const Json& object, const char* key)
{
    if (!object.is_object())
        return {};
    const auto found = object.find(key);
    if (found == object.end() || !found->is_string())
        return {};
    return found->get_ref<const std::string&>();
}

const Json* member(const Json& object, const char* key)
{
    if (!object.is_object())
        return nullptr;
    const auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

// A member that is a number (or a string of digits), or nothing.
std::optional<long long> integerAt(const Json& object, const char* key)
{
    const Json* value = member(object, key);
    if (!value)
        return std::nullopt;
    if (value->is_number_integer())
        return value->get<long long>();
    if (value->is_number_float()) {
        const double d = value->get<double>();
        if (d > -1e15 && d < 1e15)
            return static_cast<long long>(d);
    }
    return std::nullopt;
}

bool truthy(const Json& object, const char* key)
{
    const Json* value = member(object, key);
    if (!value)
        return false;
    if (value->is_boolean())
        return value->get<bool>();
    if (value->is_number())
        return value->get<double>() != 0;
    return false;
}

// Seconds since 1970 UTC as local time, in the records' form, or empty.
std::string recordedFromSeconds(std::optional<long long> seconds)
{
    if (!seconds || *seconds < 0 || *seconds > 253402300799LL)
        return {};
    const std::optional<CivilTime> utc = parseUnixMillis(std::to_string(*seconds) + "000");
    if (!utc)
        return {};
    const std::optional<CivilTime> local = localFromUtc(*utc);
    return recordedText(local ? *local : *utc);
}

std::string recordedFromText(std::string_view time)
{
    const std::optional<CivilTime> local = parseAsLocal(time);
    return local ? recordedText(*local) : std::string();
}

// Hands an entry on when it holds anything.
void give(ImportedEntry& entry, const ImportSink& sink)
{
    if (holdsNothing(entry.record))
        return;
    fillService(entry.record);
    sink(entry);
}

// Bitwarden: items of type 1 are log-ins (2 notes, 3 cards, 4 identities, 5 SSH keys).
void readBitwarden(const Json& root, ImportResult& result, const ImportSink& sink)
{
    const Json& items = root.at("items");
    ImportedEntry entry;
    int number = 0;
    for (const Json& item : items) {
        ++number;
        const Json* deleted = member(item, "deletedDate");
        if (deleted && !deleted->is_null()) {
            ++result.leftOut.recycled;
            continue;
        }
        const std::optional<long long> type = integerAt(item, "type");
        if (type != 1) {
            ++result.leftOut.notLogins;
            continue;
        }
        const Json* login = member(item, "login");
        const Json none;
        const Json& l = login ? *login : none;
        entry = ImportedEntry{};
        entry.where = number;
        Record& record = entry.record;
        record.service = text(item, "name");
        record.username = text(l, "username");
        record.password = text(l, "password");
        record.comments = text(item, "notes");
        if (const Json* uris = member(l, "uris"); uris && uris->is_array() && !uris->empty())
            record.address = text((*uris)[0], "uri");
        record.recorded = recordedFromText(text(item, "revisionDate"));
        give(entry, sink);
    }
}

// Keeper: a record with a log-in, password or address is a log-in; cards,
// addresses, contacts and notes have none of those.
void readKeeper(const Json& root, ImportResult& result, const ImportSink& sink)
{
    ImportedEntry entry;
    int number = 0;
    for (const Json& item : root.at("records")) {
        ++number;
        entry = ImportedEntry{};
        entry.where = number;
        Record& record = entry.record;
        record.service = text(item, "title");
        record.username = text(item, "login");
        record.password = text(item, "password");
        record.comments = text(item, "notes");
        record.address = text(item, "login_url");
        if (record.username.empty() && record.password.empty() && record.address.empty()) {
            ++result.leftOut.notLogins;
            continue;
        }
        give(entry, sink);
    }
}

// Enpass: items of category login or password; each field says what it is.
void readEnpass(const Json& root, ImportResult& result, const ImportSink& sink)
{
    ImportedEntry entry;
    int number = 0;
    for (const Json& item : root.at("items")) {
        ++number;
        if (truthy(item, "trashed")) {
            ++result.leftOut.recycled;
            continue;
        }
        const std::string_view category = text(item, "category");
        if (category != "login" && category != "password") {
            ++result.leftOut.notLogins;
            continue;
        }
        entry = ImportedEntry{};
        entry.where = number;
        Record& record = entry.record;
        record.service = text(item, "title");
        record.comments = text(item, "note");
        std::string_view email;
        if (const Json* fields = member(item, "fields"); fields && fields->is_array()) {
            for (const Json& field : *fields) {
                if (truthy(field, "deleted"))
                    continue;
                const std::string_view type = text(field, "type");
                const std::string_view value = text(field, "value");
                if (value.empty())
                    continue;
                if (type == "username" && record.username.empty())
                    record.username = value;
                else if (type == "email" && email.empty())
                    email = value;
                else if (type == "password" && record.password.empty())
                    record.password = value;
                else if (type == "url" && record.address.empty())
                    record.address = value;
            }
        }
        if (record.username.empty())
            record.username = email;
        record.recorded = recordedFromSeconds(integerAt(item, "updated_at"));
        give(entry, sink);
    }
}

// The text as the parser walks it, telling `parsing` each MiB how far it is.
class TellingIterator
{
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    TellingIterator(std::string_view text, std::size_t at, const ImportParsing& parsing)
        : m_start(text.data()), m_at(text.data() + at), m_parsing(&parsing)
    {
    }
    reference operator*() const { return *m_at; }
    TellingIterator& operator++()
    {
        ++m_at;
        if (((m_at - m_start) & (TellEvery - 1)) == 0)
            (*m_parsing)(static_cast<std::size_t>(m_at - m_start));
        return *this;
    }
    TellingIterator operator++(int)
    {
        TellingIterator before = *this;
        ++*this;
        return before;
    }
    bool operator==(const TellingIterator& other) const { return m_at == other.m_at; }

private:
    static constexpr std::ptrdiff_t TellEvery = 1 << 20;
    const char* m_start;
    const char* m_at;
    const ImportParsing* m_parsing;
};

bool arrayAt(const Json& root, const char* key)
{
    const Json* value = member(root, key);
    return value && value->is_array();
}

} // namespace

ImportResult readJson(std::string_view content, const ImportSink& sink, const ImportParsing& parsing)
{
    if (const std::size_t at = tooDeep(content); at != std::string_view::npos)
        return failed("line " + std::to_string(lineAt(content, at)) + ": JSON nested deeper than " +
                      std::to_string(MostNesting));
    Json root;
    try {
        if (parsing)
            root = Json::parse(TellingIterator(content, 0, parsing), TellingIterator(content, content.size(), parsing));
        else
            root = Json::parse(content.begin(), content.end());
    } catch (const Json::parse_error& error) {
        // Its own message quotes the text around the fault: never shown.
        return failed("line " + std::to_string(lineAt(content, error.byte == 0 ? 0 : error.byte - 1)) +
                      ": not valid JSON");
    } catch (const Json::exception&) {
        return failed("not valid JSON");
    }
    ImportResult result;
    if (root.is_object() && truthy(root, "encrypted"))
        return failed("an encrypted Bitwarden export: export the vault again as unencrypted JSON");
    if (root.is_object() && truthy(root, "passwordProtected"))
        return failed("a password-protected Bitwarden export: export the vault again as unencrypted JSON");
    if (arrayAt(root, "records")) {
        result.formatName = "keeper-json";
        readKeeper(root, result, sink);
    } else if (arrayAt(root, "items")) {
        const Json& items = root.at("items");
        const bool enpass = std::any_of(items.begin(), items.end(),
                                        [](const Json& item) { return member(item, "category") != nullptr; });
        result.formatName = enpass ? "enpass-json" : "bitwarden-json";
        if (enpass)
            readEnpass(root, result, sink);
        else
            readBitwarden(root, result, sink);
    } else {
        return failed("not a JSON export this program knows (Bitwarden, Keeper, Enpass)");
    }
    result.ok = true;
    return result;
}

} // namespace kv
