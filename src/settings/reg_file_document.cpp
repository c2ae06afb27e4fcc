#include "settings/reg_file_document.h"

#include "settings/reg_file_syntax.h"
#include "settings/registry.h"

#include <optional>

namespace kv {

using namespace regfile;

namespace {

constexpr std::string_view Header = "REGEDIT4";
constexpr std::string_view HiveName = "HKEY_CURRENT_USER";

// A physical line without its line break (and any carriage returns before it).
std::string_view content(std::string_view raw)
{
    if (!raw.empty() && raw.back() == '\n')
        raw.remove_suffix(1);
    while (!raw.empty() && raw.back() == '\r')
        raw.remove_suffix(1);
    return raw;
}

// "Software\X\" and "Software\X" name the same key.
std::string_view withoutTrailingSeparators(std::string_view path)
{
    while (!path.empty() && path.back() == '\\')
        path.remove_suffix(1);
    return path;
}

std::string foldedKey(std::string_view path)
{
    return fold(withoutTrailingSeparators(path));
}

} // namespace

RegFileDocument RegFileDocument::parse(std::string_view text)
{
    RegFileDocument doc;
    const std::vector<std::string_view> lines = splitLines(text);
    if (!lines.empty()) {
        const std::string_view first = lines.front();
        if (first.size() >= 2 && first.ends_with("\r\n"))
            doc.m_eol = "\r\n";
        else if (first.ends_with('\n'))
            doc.m_eol.assign(1, '\n'); // not = "\n": GCC 12 at -O3 wrongly warns of an overlapping copy
        doc.m_hasHeader = trimRight(content(first)) == Header;
    }

    for (std::size_t i = 0; i < lines.size(); ++i) {
        Entry entry;
        entry.raw = lines[i];
        const std::string_view line = trimLeft(content(lines[i]));
        if (i == 0 && doc.m_hasHeader) {
            // The header stays an ordinary line.
        } else if (line.starts_with('[')) {
            // Anything bracketed starts a new section, so values after a section we
            // cannot read never leak into the key before it.
            entry.kind = Kind::Section;
            const std::size_t close = line.rfind(']');
            if (close != std::string_view::npos) {
                const std::string_view inner = line.substr(1, close - 1);
                const std::size_t separator = inner.find('\\');
                const std::string_view hive = inner.substr(0, separator);
                if (fold(hive) == HiveName) {
                    entry.currentUser = true;
                    entry.key = separator == std::string_view::npos ? "" : inner.substr(separator + 1);
                }
            }
        } else if (line.starts_with('"') || line.starts_with('@')) {
            std::string_view rest = line;
            std::optional<std::string> name;
            if (rest.front() == '@') {
                name = std::string();
                rest.remove_prefix(1);
            } else {
                name = takeQuoted(rest);
            }
            rest = trimLeft(rest);
            if (name && rest.starts_with('=')) {
                entry.kind = Kind::Value;
                entry.name = *name;
                std::string data(trimLeft(rest.substr(1)));
                if (startsWithNoCase(data, "hex")) {
                    // A long list goes on over lines that end with a backslash.
                    while (trimRight(data).ends_with('\\')) {
                        data = std::string(trimRight(data));
                        data.pop_back();
                        const bool atEnd = i + 1 == lines.size();
                        if (atEnd || trimLeft(content(lines[i + 1])).empty()) {
                            // The continuation never comes: the value ends here, and a
                            // blank line stays with it (one is made at the end of the
                            // file), so that a line written after it is never taken
                            // for its continuation.
                            if (atEnd) {
                                if (!entry.raw.ends_with('\n'))
                                    entry.raw += entry.raw.ends_with('\r') ? "\n" : doc.m_eol;
                                entry.raw += doc.m_eol;
                            } else {
                                entry.raw += lines[++i];
                            }
                            break;
                        }
                        entry.raw += lines[++i];
                        data += content(lines[i]);
                    }
                }
                const ValueData parsed = parseData(data);
                entry.type = parsed.type;
                entry.bytes = parsed.bytes;
                entry.deleted = parsed.deleted;
                // Any other form stays a value of no readable type: it still claims
                // its name, so writing that name replaces the line.
            }
        }
        doc.m_entries.push_back(std::move(entry));
    }
    // The last line gets its line break, so that a line written after it stays
    // apart. A bare CR there only wants its LF: CR CR LF would be a different line.
    if (!doc.m_entries.empty() && !doc.m_entries.back().raw.ends_with('\n'))
        doc.m_entries.back().raw += doc.m_entries.back().raw.ends_with('\r') ? "\n" : doc.m_eol;
    return doc;
}

std::string RegFileDocument::text() const
{
    std::string out;
    if (!m_hasHeader)
        out = std::string(Header) + m_eol + m_eol;
    for (const Entry& entry : m_entries)
        out += entry.raw;
    return out;
}

bool RegFileDocument::sectionIs(const Entry& entry, std::string_view foldedPath) const
{
    return entry.kind == Kind::Section && entry.currentUser && foldedKey(entry.key) == foldedPath;
}

RegFileDocument::Entry RegFileDocument::makeLine(std::string line) const
{
    Entry entry;
    entry.raw = std::move(line) + m_eol;
    return entry;
}

bool RegFileDocument::keyExists(std::string_view path) const
{
    const std::string wanted = foldedKey(path);
    if (wanted.empty())
        return true;
    const std::string parentOf = wanted + '\\';
    for (const Entry& entry : m_entries) {
        if (entry.kind != Kind::Section || !entry.currentUser)
            continue;
        const std::string key = foldedKey(entry.key);
        if (key == wanted || key.starts_with(parentOf))
            return true;
    }
    return false;
}

bool RegFileDocument::hasSection(std::string_view path) const
{
    const std::string wanted = foldedKey(path);
    for (const Entry& entry : m_entries) {
        if (sectionIs(entry, wanted))
            return true;
    }
    return false;
}

bool RegFileDocument::addSection(std::string_view path)
{
    RegFileDocument changed = *this;
    changed.appendSection(path);
    if (!parse(changed.text()).hasSection(path) || parse(changed.text()).values() != values())
        return false;
    *this = std::move(changed);
    return true;
}

void RegFileDocument::appendSection(std::string_view path)
{
    if (hasSection(path))
        return;
    if (!m_entries.empty() && !trimLeft(content(m_entries.back().raw)).empty())
        m_entries.push_back(makeLine(""));
    path = withoutTrailingSeparators(path);
    Entry section = makeLine("[" + std::string(HiveName) + (path.empty() ? "" : "\\") + std::string(path) + "]");
    section.kind = Kind::Section;
    section.currentUser = true;
    section.key = path;
    m_entries.push_back(std::move(section));
}

bool RegFileDocument::findValue(std::string_view path, std::string_view name, std::uint32_t& type,
                                std::string& bytes) const
{
    const std::string wanted = foldedKey(path);
    const std::string wantedName = fold(name);
    const Entry* found = nullptr;
    bool inKey = false;
    // Later lines win, as when the file is imported.
    for (const Entry& entry : m_entries) {
        if (entry.kind == Kind::Section)
            inKey = sectionIs(entry, wanted);
        else if (inKey && entry.kind == Kind::Value && fold(entry.name) == wantedName)
            found = &entry;
    }
    if (found == nullptr || found->deleted)
        return false;
    type = found->type;
    bytes = found->bytes;
    return true;
}

bool RegFileDocument::setValue(std::string_view path, std::string_view name, std::uint32_t type, std::string_view bytes)
{
    RegFileDocument changed = *this;
    changed.putValue(path, name, type, bytes);
    Values expected = values();
    expected[{foldedKey(path), fold(name)}] = Value{type, std::string(bytes)};
    if (parse(changed.text()).values() != expected)
        return false;
    *this = std::move(changed);
    return true;
}

RegFileDocument::Values RegFileDocument::values() const
{
    Values found;
    std::optional<std::string> key; // the current section's, while it is one of ours
    for (const Entry& entry : m_entries) {
        if (entry.kind == Kind::Section) {
            key = entry.currentUser ? std::optional<std::string>(foldedKey(entry.key)) : std::nullopt;
        } else if (key && entry.kind == Kind::Value) {
            // Later lines win, as when the file is imported.
            if (entry.deleted)
                found.erase({*key, fold(entry.name)});
            else
                found[{*key, fold(entry.name)}] = Value{entry.type, entry.bytes};
        }
    }
    return found;
}

void RegFileDocument::putValue(std::string_view path, std::string_view name, std::uint32_t type, std::string_view bytes)
{
    Entry value = makeLine((name.empty() ? std::string("@") : quoted(name)) + "=" + formatData(type, bytes));
    value.kind = Kind::Value;
    value.name = name;
    value.type = type;
    value.bytes = bytes;

    const std::string wanted = foldedKey(path);
    const std::string wantedName = fold(name);
    std::optional<std::size_t> existing;
    std::optional<std::size_t> lastSection;
    bool inKey = false;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const Entry& entry = m_entries[i];
        if (entry.kind == Kind::Section) {
            inKey = sectionIs(entry, wanted);
            if (inKey)
                lastSection = i;
        } else if (inKey && entry.kind == Kind::Value && fold(entry.name) == wantedName) {
            existing = i;
        }
    }
    if (existing) {
        m_entries[*existing] = std::move(value);
        return;
    }
    if (!lastSection) {
        appendSection(path);
        lastSection = m_entries.size() - 1;
    }
    // After the section's last non-blank line, so blank lines keep separating sections.
    std::size_t insertAt = *lastSection + 1;
    for (std::size_t i = *lastSection + 1; i < m_entries.size() && m_entries[i].kind != Kind::Section; ++i) {
        if (!trimLeft(content(m_entries[i].raw)).empty())
            insertAt = i + 1;
    }
    m_entries.insert(m_entries.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(value));
}

bool RegFileDocument::validKeyPath(std::string_view path)
{
    if (path.find_first_of(std::string_view("\0\r\n", 3)) != std::string_view::npos || path.starts_with('\\'))
        return false;
    return withoutTrailingSeparators(path).find("\\\\") == std::string_view::npos;
}

bool RegFileDocument::validValueName(std::string_view name)
{
    return name.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

} // namespace kv
