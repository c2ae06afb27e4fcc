#include "settings/reg_file_registry.h"

#include "product/product.h"
#include "settings/reg_file_document.h"
#include "storage/line_cipher.h"

#include <cstdlib>
#include <limits>

namespace kv {

namespace {

struct Loaded
{
    RegFileDocument doc;
    // False when a file is there that we cannot read: writing our few values over
    // it would throw away whatever it holds.
    bool changeable = true;
};

// The file is read afresh on every call: nothing is held open between calls, and
// a value another run wrote in the meantime is seen.
Loaded load(FileOps& ops, const std::filesystem::path& file)
{
    Loaded loaded;
    std::string text;
    if (ops.readAll(file, text))
        loaded.doc = RegFileDocument::parse(text);
    else
        loaded.changeable = !ops.exists(file);
    return loaded;
}

// Every change reads the whole file and writes it back: two instances doing that
// at once would each write over the other's value (a log-in put back to none by
// a write of the grid). So a change runs under the file's write lock, and reads
// the file afresh once it holds it.
bool lockForChange(FileOps& ops, const std::filesystem::path& file, WriteLock& held)
{
    if (file.has_parent_path() && !makePrivateFolders(file.parent_path()))
        return false;
    return static_cast<bool>(lockForWriting(ops, file, held));
}

bool store(FileOps& ops, const std::filesystem::path& file, const RegFileDocument& doc)
{
    // A write killed half-way leaves a copy of the settings, the log-in among them.
    removeStaleTemporaries(ops, followLinks(file));
    return static_cast<bool>(replaceFileAtomically(ops, file, doc.text()));
}

// The file stands for one hive only, and holds only well-formed key paths.
long checkTarget(RegHive hive, std::string_view path)
{
    if (hive != HiveCurrentUser)
        return RegInvalidHandle;
    return RegFileDocument::validKeyPath(path) ? RegSuccess : RegInvalidParameter;
}

} // namespace

RegFileRegistry::RegFileRegistry(std::filesystem::path file, FileOps& ops) : m_file(std::move(file)), m_ops(ops) {}

const RegFileRegistry::OpenKey* RegFileRegistry::findOpen(RegKey key) const
{
    const auto it = m_open.find(key);
    return it == m_open.end() ? nullptr : &it->second;
}

RegKey RegFileRegistry::remember(std::string path, std::uint32_t access)
{
    const RegKey key = m_next++;
    m_open.emplace(key, OpenKey{std::move(path), access});
    return key;
}

long RegFileRegistry::openKey(RegHive hive, std::string_view path, std::uint32_t access, RegKey& key)
{
    key = 0;
    if (const long status = checkTarget(hive, path); status != RegSuccess)
        return status;
    if (!load(m_ops, m_file).doc.keyExists(path))
        return RegFileNotFound;
    key = remember(std::string(path), access);
    return RegSuccess;
}

long RegFileRegistry::createKey(RegHive hive, std::string_view path, std::uint32_t access, RegKey& key)
{
    key = 0;
    if (const long status = checkTarget(hive, path); status != RegSuccess)
        return status;
    // The hive itself needs no section of its own.
    if (!path.empty() && !load(m_ops, m_file).doc.hasSection(path)) {
        WriteLock lock;
        if (!lockForChange(m_ops, m_file, lock))
            return RegAccessDenied;
        Loaded loaded = load(m_ops, m_file);
        if (!loaded.doc.hasSection(path)) {
            if (!loaded.changeable)
                return RegAccessDenied;
            if (!loaded.doc.addSection(path) || !store(m_ops, m_file, loaded.doc))
                return RegAccessDenied;
        }
    }
    key = remember(std::string(path), access);
    return RegSuccess;
}

long RegFileRegistry::setValue(RegKey key, std::string_view name, std::uint32_t type, std::string_view data)
{
    const OpenKey* open = findOpen(key);
    if (open == nullptr)
        return RegInvalidHandle;
    if ((open->access & KeySetValue) == 0)
        return RegAccessDenied;
    if (!RegFileDocument::validValueName(name))
        return RegInvalidParameter;
    WriteLock lock;
    if (!lockForChange(m_ops, m_file, lock))
        return RegAccessDenied;
    Loaded loaded = load(m_ops, m_file);
    if (!loaded.changeable)
        return RegAccessDenied;
    if (!loaded.doc.setValue(open->path, name, type, data))
        return RegAccessDenied;
    return store(m_ops, m_file, loaded.doc) ? RegSuccess : RegAccessDenied;
}

long RegFileRegistry::queryValue(RegKey key, std::string_view name, std::uint32_t& type, std::uint32_t& size,
                                 std::string* data)
{
    const OpenKey* open = findOpen(key);
    if (open == nullptr)
        return RegInvalidHandle;
    if ((open->access & KeyQueryValue) == 0)
        return RegAccessDenied;
    std::uint32_t foundType = 0;
    std::string bytes;
    if (!load(m_ops, m_file).doc.findValue(open->path, name, foundType, bytes))
        return RegFileNotFound;
    if (bytes.size() > std::numeric_limits<std::uint32_t>::max())
        return RegInvalidParameter;
    type = foundType;
    size = static_cast<std::uint32_t>(bytes.size());
    if (data != nullptr)
        *data = std::move(bytes);
    return RegSuccess;
}

long RegFileRegistry::closeKey(RegKey key)
{
    return m_open.erase(key) == 1 ? RegSuccess : RegInvalidHandle;
}

std::filesystem::path defaultSettingsFile()
{
    std::filesystem::path config;
    // The XDG rule: a relative XDG_CONFIG_HOME is to be ignored.
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/')
        config = xdg;
    else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0')
        config = std::filesystem::path(home) / ".config";
    else
        config = ".config";
    return config / "Orvendale" / (std::string(AppTitle) + ".reg");
}

} // namespace kv
