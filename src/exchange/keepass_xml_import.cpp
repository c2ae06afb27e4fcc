#include "exchange/entry_time.h"
#include "exchange/imported_entry.h"
#include "exchange/xml_reader.h"

#include <vector>

namespace kv {

namespace {

// KeePass nests groups as deep as its users do; nobody's tree is this deep.
constexpr std::size_t MostNesting = 256;

// The UUID KeePass writes when there is no recycle bin.
constexpr std::string_view NoUuid = "AAAAAAAAAAAAAAAAAAAAAA==";

std::string_view trimmed(std::string_view text)
{
    const std::size_t begin = text.find_first_not_of(" \t\n");
    if (begin == std::string_view::npos)
        return {};
    return text.substr(begin, text.find_last_not_of(" \t\n") - begin + 1);
}

ImportResult failed(std::string error)
{
    ImportResult result;
    result.error = std::move(error);
    return result;
}

void assignString(Record& record, std::string_view key, std::string& value)
{
    if (key == "Title")
        record.service = std::move(value);
    else if (key == "UserName")
        record.username = std::move(value);
    else if (key == "Password")
        record.password = std::move(value);
    else if (key == "URL")
        record.address = std::move(value);
    else if (key == "Notes")
        record.comments = std::move(value);
}

// Reads the document a piece at a time and gives each entry to the sink as its
// element closes, so a large file's entries never sit in memory together.
class KeepassReader
{
public:
    KeepassReader(std::string_view content, const ImportSink& sink) : m_xml(content, MostNesting), m_sink(sink) {}

    ImportResult read();

private:
    // The text of one element at a time is collected: which, and where it is.
    enum class Capture { None, RecycleBin, GroupUuid, Key, Value, Modified };

    struct Group
    {
        std::size_t depth;
        bool recycled; // the recycle bin or a group inside it
    };

    bool start(std::string_view name);
    Capture startInEntry(std::size_t depth, std::string_view parent, std::string_view name);
    Capture startOutsideEntry(std::size_t depth, std::string_view parent, std::string_view name);
    void end(std::string_view name);
    void endCapture();
    void endEntry();

    XmlReader m_xml;
    const ImportSink& m_sink;
    ImportResult m_result;

    std::vector<std::string_view> m_path; // the open elements' names, the root first
    std::vector<Group> m_groups;
    std::string m_recycleBin;

    Capture m_capture = Capture::None;
    std::size_t m_captureDepth = 0;
    std::string m_captured;

    std::size_t m_entryDepth = 0; // 0 outside an entry
    int m_entryNumber = 0;
    bool m_entryRecycled = false;
    Record m_record;
    std::string m_key, m_value, m_modified;
};

ImportResult KeepassReader::read()
{
    m_result.formatName = "keepass-xml";
    for (;;) {
        const XmlReader::Token token = m_xml.next();
        if (token == XmlReader::Token::End)
            break;
        if (token == XmlReader::Token::Error) {
            if (m_path.empty())
                return failed("not a KeePass 2 XML file (" + m_xml.error() + ")");
            return failed(m_xml.error());
        }
        if (token == XmlReader::Token::Text) {
            if (m_capture != Capture::None && m_path.size() == m_captureDepth)
                m_captured += m_xml.text();
        } else if (token == XmlReader::Token::StartElement) {
            if (!start(m_xml.name()))
                return failed("not a KeePass 2 XML file");
        } else {
            end(m_xml.name());
        }
    }
    m_result.ok = true;
    return std::move(m_result);
}

// False when the root is some other document's.
bool KeepassReader::start(std::string_view name)
{
    const std::string_view parent = m_path.empty() ? std::string_view() : m_path.back();
    m_path.push_back(name);
    const std::size_t depth = m_path.size();
    if (depth == 1)
        return name == "KeePassFile";
    if (m_capture != Capture::None)
        return true; // markup inside a value: only its own text counts
    const Capture wanted =
        m_entryDepth != 0 ? startInEntry(depth, parent, name) : startOutsideEntry(depth, parent, name);
    if (wanted != Capture::None) {
        m_capture = wanted;
        m_captureDepth = depth;
        m_captured.clear();
    }
    return true;
}

// The entry's own strings and times; those of its History versions lie deeper.
KeepassReader::Capture KeepassReader::startInEntry(std::size_t depth, std::string_view parent, std::string_view name)
{
    if (depth == m_entryDepth + 2 && parent == "String" && name == "Key")
        return Capture::Key;
    if (depth == m_entryDepth + 2 && parent == "String" && name == "Value")
        return Capture::Value;
    if (depth == m_entryDepth + 2 && parent == "Times" && name == "LastModificationTime")
        return Capture::Modified;
    if (depth == m_entryDepth + 1 && name == "String") {
        m_key.clear();
        m_value.clear();
    }
    return Capture::None;
}

// The recycle bin's UUID, the groups under Root, and each group's UUID and entries.
KeepassReader::Capture KeepassReader::startOutsideEntry(std::size_t depth, std::string_view parent,
                                                        std::string_view name)
{
    if (depth == 3 && m_path[1] == "Meta" && name == "RecycleBinUUID")
        return Capture::RecycleBin;
    if (name == "Group" && m_path[1] == "Root" && (parent == "Root" || parent == "Group")) {
        m_groups.push_back({depth, !m_groups.empty() && m_groups.back().recycled});
        return Capture::None;
    }
    const bool inGroup = !m_groups.empty() && m_groups.back().depth + 1 == depth && parent == "Group";
    if (inGroup && name == "UUID")
        return Capture::GroupUuid;
    if (inGroup && name == "Entry") {
        m_entryDepth = depth;
        ++m_entryNumber;
        m_entryRecycled = m_groups.back().recycled;
        m_record = Record{};
        m_modified.clear();
    }
    return Capture::None;
}

void KeepassReader::end(std::string_view name)
{
    const std::size_t depth = m_path.size();
    m_path.pop_back();
    if (m_capture != Capture::None && depth == m_captureDepth) {
        endCapture();
    } else if (m_entryDepth != 0) {
        if (depth == m_entryDepth + 1 && name == "String")
            assignString(m_record, m_key, m_value);
        else if (depth == m_entryDepth)
            endEntry();
    } else if (!m_groups.empty() && m_groups.back().depth == depth) {
        m_groups.pop_back();
    }
}

void KeepassReader::endCapture()
{
    switch (m_capture) {
    case Capture::RecycleBin:
        m_recycleBin = trimmed(m_captured);
        break;
    case Capture::GroupUuid:
        if (!m_recycleBin.empty() && m_recycleBin != NoUuid && trimmed(m_captured) == m_recycleBin)
            m_groups.back().recycled = true;
        break;
    case Capture::Key:
        m_key = std::move(m_captured);
        break;
    case Capture::Value:
        m_value = std::move(m_captured);
        break;
    case Capture::Modified:
        m_modified = std::move(m_captured);
        break;
    case Capture::None:
        break;
    }
    m_capture = Capture::None;
    m_captured.clear();
}

// An entry in the recycle bin is counted, one with nothing in it dropped, any other given to the sink.
void KeepassReader::endEntry()
{
    m_entryDepth = 0;
    if (m_entryRecycled) {
        ++m_result.leftOut.recycled;
        return;
    }
    if (holdsNothing(m_record))
        return;
    if (const auto time = parseAsLocal(m_modified))
        m_record.recorded = recordedText(*time);
    fillService(m_record);
    ImportedEntry entry{std::move(m_record), m_entryNumber};
    m_sink(entry);
    m_record = Record{};
}

} // namespace

ImportResult readKeepassXml(std::string_view content, const ImportSink& sink)
{
    return KeepassReader(content, sink).read();
}

} // namespace kv
