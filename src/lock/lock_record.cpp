#include "lock/lock_record.h"

#include "product/product.h"
#include "storage/ansi_text.h"
#include "storage/line_cipher.h"

namespace kv {

namespace {

// Only the space character: the record never held tabs around its fields.
std::string trimSpaces(std::string_view s)
{
    const std::size_t first = s.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    const std::size_t last = s.find_last_not_of(' ');
    return std::string(s.substr(first, last - first + 1));
}

// The stored record, deciphered and split; false when there is none or it is malformed.
bool readStored(const SettingsStore& store, LockFields& fields)
{
    const std::string cipher = store.get(LockSetting);
    if (cipher.empty())
        return false;
    return parseLockText(DecodeLine(cipher, AppTitle), fields);
}

// A "|" would split the field and store other credentials than the ones given, and
// a character the code page cannot hold would come back as "?": either way the user
// could no longer type what unlocks the program.
bool storable(std::string_view field)
{
    return field.find('|') == std::string_view::npos && fitsAnsi(field);
}

} // namespace

bool IsArmedWith(const SettingsStore& store, const Credentials& entry)
{
    const std::optional<Credentials> stored = ReadLockRecord(store);
    return stored && !stored->password.empty() && stored->user == trimSpaces(entry.user) &&
           stored->password == trimSpaces(entry.password);
}

bool parseLockText(std::string_view decoded, LockFields& out)
{
    // Whatever follows the last "|" is the cipher's filler, not part of the record.
    const std::size_t end = decoded.rfind('|');
    if (end == std::string_view::npos)
        return false;
    std::string_view record = decoded.substr(0, end + 1);

    const std::size_t first = record.find('|');
    LockFields fields;
    fields.credentials.user = trimSpaces(record.substr(0, first));
    record.remove_prefix(first + 1);
    const std::size_t second = record.find('|');
    if (second != std::string_view::npos) {
        fields.credentials.password = trimSpaces(record.substr(0, second));
        fields.continuation = std::string(record.substr(second + 1));
    }
    out = std::move(fields);
    return true;
}

std::optional<Credentials> ReadLockRecord(const SettingsStore& store)
{
    try {
        LockFields fields;
        if (!readStored(store, fields))
            return std::nullopt;
        return std::move(fields.credentials);
    } catch (...) {
        return std::nullopt;
    }
}

bool WriteLockRecord(const SettingsStore& store, const Credentials& credentials)
{
    try {
        if (!storable(credentials.user) || !storable(credentials.password))
            return false;
        // Read back, the fields lose their spaces around them: a password of spaces
        // alone would be none, and the lock the user believes armed would never lock.
        if (!credentials.password.empty() && credentials.password.find_first_not_of(' ') == std::string::npos)
            return false;
        LockFields stored;
        const std::string continuation = readStored(store, stored) ? stored.continuation : std::string();
        const std::string text = credentials.user + "|" + credentials.password + "|" + continuation;
        return store.save(LockSetting, EncodeLine(text, AppTitle));
    } catch (...) {
        // Out of memory: a write that did not happen leaves the lock as it was.
        return false;
    }
}

} // namespace kv
