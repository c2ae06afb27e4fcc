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

} // namespace

ImportResult readKeepassXml(std::string_view content, const ImportSink& sink)
{
    XmlReader xml(content, MostNesting);
    ImportResult result;
    result.formatName = "keepass-xml";

    std::vector<std::string_view> path; // the open elements' names, the root first
    struct Group
    {
        std::size_t depth;
        bool recycled; // the recycle bin or a group inside it
    };
    std::vector<Group> groups;
    std::string recycleBin;

    // The text of one element at a time is collected: which, and where it is.
    enum class Capture { None, RecycleBin, GroupUuid, Key, Value, Modified };
    Capture capture = Capture::None;
    std::size_t captureDepth = 0;
    std::string captured;

    std::size_t entryDepth = 0; // 0 outside an entry
    int entryNumber = 0;
    bool entryRecycled = false;
    Record record;
    std::string key, value, modified;

    for (;;) {
        const XmlReader::Token token = xml.next();
        if (token == XmlReader::Token::End)
            break;
        if (token == XmlReader::Token::Error) {
            if (path.empty())
                return failed("not a KeePass 2 XML file (" + xml.error() + ")");
            return failed(xml.error());
        }
        if (token == XmlReader::Token::Text) {
            if (capture != Capture::None && path.size() == captureDepth)
                captured += xml.text();
            continue;
        }
        const std::string_view name = xml.name();
        if (token == XmlReader::Token::StartElement) {
            const std::string_view parent = path.empty() ? std::string_view() : path.back();
            path.push_back(name);
            const std::size_t depth = path.size();
            if (depth == 1) {
                if (name != "KeePassFile")
                    return failed("not a KeePass 2 XML file");
                continue;
            }
            if (capture != Capture::None)
                continue; // markup inside a value: only its own text counts
            Capture wanted = Capture::None;
            const bool inGroup = !groups.empty() && groups.back().depth + 1 == depth && parent == "Group";
            if (entryDepth != 0) {
                // The entry's own strings and times; those of its History versions lie deeper.
                if (depth == entryDepth + 2 && parent == "String" && name == "Key")
                    wanted = Capture::Key;
                else if (depth == entryDepth + 2 && parent == "String" && name == "Value")
                    wanted = Capture::Value;
                else if (depth == entryDepth + 2 && parent == "Times" && name == "LastModificationTime")
                    wanted = Capture::Modified;
                else if (depth == entryDepth + 1 && name == "String") {
                    key.clear();
                    value.clear();
                }
            } else if (depth == 3 && path[1] == "Meta" && name == "RecycleBinUUID") {
                wanted = Capture::RecycleBin;
            } else if (name == "Group" && path[1] == "Root" && (parent == "Root" || parent == "Group")) {
                groups.push_back({depth, !groups.empty() && groups.back().recycled});
            } else if (inGroup && name == "UUID") {
                wanted = Capture::GroupUuid;
            } else if (inGroup && name == "Entry") {
                entryDepth = depth;
                ++entryNumber;
                entryRecycled = groups.back().recycled;
                record = Record{};
                modified.clear();
            }
            if (wanted != Capture::None) {
                capture = wanted;
                captureDepth = depth;
                captured.clear();
            }
            continue;
        }

        const std::size_t depth = path.size();
        path.pop_back();
        if (capture != Capture::None && depth == captureDepth) {
            switch (capture) {
            case Capture::RecycleBin:
                recycleBin = trimmed(captured);
                break;
            case Capture::GroupUuid:
                if (!recycleBin.empty() && recycleBin != NoUuid && trimmed(captured) == recycleBin)
                    groups.back().recycled = true;
                break;
            case Capture::Key:
                key = std::move(captured);
                break;
            case Capture::Value:
                value = std::move(captured);
                break;
            case Capture::Modified:
                modified = std::move(captured);
                break;
            case Capture::None:
                break;
            }
            capture = Capture::None;
            captured.clear();
            continue;
        }
        if (entryDepth != 0) {
            if (depth == entryDepth + 1 && name == "String") {
                assignString(record, key, value);
            } else if (depth == entryDepth) {
                entryDepth = 0;
                if (entryRecycled) {
                    ++result.leftOut.recycled;
                    continue;
                }
                if (holdsNothing(record))
                    continue;
                if (const auto time = parseAsLocal(modified))
                    record.recorded = recordedText(*time);
                fillService(record);
                ImportedEntry entry{std::move(record), entryNumber};
                sink(entry);
                record = Record{};
            }
            continue;
        }
        if (!groups.empty() && groups.back().depth == depth)
            groups.pop_back();
    }
    result.ok = true;
    return result;
}

} // namespace kv
