#pragma once
// The text of a REGEDIT4 file, kept entry by entry exactly as read, so that a
// rewrite changes only the lines we touched. All texts are the file's own
// Windows-1252 bytes; key paths are relative to HKEY_CURRENT_USER, the only hive
// the file stands for, and match without regard to letter case, as the registry's do.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kv {

class RegFileDocument
{
public:
    // Never fails: what it cannot read is kept as it is and means nothing.
    static RegFileDocument parse(std::string_view text);
    // The whole file, with its "REGEDIT4" first line.
    std::string text() const;

    // A key exists when it has a section, or when one of its subkeys has one
    // (the file leaves parent keys implied). The hive itself ("") always exists.
    bool keyExists(std::string_view path) const;
    bool hasSection(std::string_view path) const;
    // Appends a section for the key unless it has one. False (and nothing
    // changed) when the file would then no longer read as it did.
    bool addSection(std::string_view path);

    // The value as the registry would hold it: a string with its terminating zero,
    // a number as four little-endian bytes. False when absent.
    bool findValue(std::string_view path, std::string_view name, std::uint32_t& type, std::string& bytes) const;
    // Rewrites the value's line in place, or adds it to the key's last section.
    // False (and nothing changed) unless the new text reads back with this value
    // and every other value exactly as before: a hand-edited line must never
    // swallow the new value, nor the rewrite cost another one.
    bool setValue(std::string_view path, std::string_view name, std::uint32_t type, std::string_view bytes);

    struct Value
    {
        std::uint32_t type = 0;
        std::string bytes;
        bool operator==(const Value&) const = default;
    };
    // Every value a reader finds, by key path and value name, both folded to upper
    // case: what findValue would give for each.
    using Values = std::map<std::pair<std::string, std::string>, Value>;
    Values values() const;

    // Whether a key path or value name can be written into the file at all.
    static bool validKeyPath(std::string_view path);
    static bool validValueName(std::string_view name);

private:
    enum class Kind { Other, Section, Value };
    struct Entry
    {
        Kind kind = Kind::Other;
        std::string raw;          // the line or lines as in the file, line breaks included
        bool currentUser = false; // Section: a key of HKEY_CURRENT_USER
        std::string key;          // Section: the key path below the hive
        std::string name;         // Value
        std::uint32_t type = 0;   // Value
        std::string bytes;        // Value
        bool deleted = false;     // Value: "name"=- marks it removed
    };

    bool sectionIs(const Entry& entry, std::string_view foldedPath) const;
    Entry makeLine(std::string line) const;
    void appendSection(std::string_view path);
    void putValue(std::string_view path, std::string_view name, std::uint32_t type, std::string_view bytes);

    std::vector<Entry> m_entries;
    bool m_hasHeader = false;
    std::string m_eol = "\r\n";
};

} // namespace kv
