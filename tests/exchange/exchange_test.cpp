#include "exchange/export_format.h"
#include "exchange/import_format.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kv {
namespace {

std::string sampleFile(const std::string& name)
{
    std::ifstream in(std::string(KV_EXCHANGE_SAMPLES) + "/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The zone rules in force while it lives, TZ as it was after.
class ZoneInForce
{
public:
    explicit ZoneInForce(const char* zone)
    {
        if (const char* was = std::getenv("TZ"))
            m_was = was;
        set(zone);
    }
    ~ZoneInForce() { set(m_was ? m_was->c_str() : nullptr); }
    ZoneInForce(const ZoneInForce&) = delete;
    ZoneInForce& operator=(const ZoneInForce&) = delete;

private:
    static void set(const char* zone)
    {
#ifdef _WIN32
        _putenv_s("TZ", zone ? zone : "");
        _tzset();
#else
        if (zone)
            setenv("TZ", zone, 1);
        else
            unsetenv("TZ");
        tzset();
#endif
    }
    std::optional<std::string> m_was;
};

// The five fields every format carries; recorded is checked where a format has it.
void expectSameFields(const Record& actual, const Record& expected)
{
    EXPECT_EQ(actual.service, expected.service);
    EXPECT_EQ(actual.username, expected.username);
    EXPECT_EQ(actual.password, expected.password);
    EXPECT_EQ(actual.comments, expected.comments);
    EXPECT_EQ(actual.address, expected.address);
}

TEST(ExchangeImport, ReadsEverySampleFormat)
{
    // The samples' UTC times read as they are written.
    const ZoneInForce utc("UTC0");
    const struct
    {
        const char* file;
        const char* formatName;
        std::size_t count;
        bool bom;
        const char* lineEnd; // the header line's, as the file has it
        // Left out: in a recycle bin or trash, a browser's sync record, no log-in.
        std::array<std::size_t, 3> leftOut = {};
    } samples[] = {
        {"keystead.csv", "csv", 3, false, "\r\n"},
        {"bitwarden.csv", "bitwarden-csv", 2, true, "\n", {0, 0, 1}},
        {"chrome.csv", "chrome-csv", 3, false, "\n"},
        {"keepassxc.csv", "keepassxc-csv", 2, false, "\n", {2, 0, 0}},
        {"keepass.csv", "keepass-csv", 1, false, "\r\n"},
        {"lastpass.csv", "lastpass-csv", 3, false, "\r\n", {0, 0, 1}},
        {"1password.csv", "1password-csv", 2, true, "\n"},
        {"safari.csv", "safari-csv", 2, false, "\r\n"},
        {"dashlane.csv", "dashlane-csv", 1, false, "\n"},
        {"1password7.csv", "1password-csv", 2, false, "\n"},
        {"firefox.csv", "firefox-csv", 2, false, "\r\n", {0, 1, 0}},
        {"keepass.xml", "keepass-xml", 2, false, "\r\n", {1, 0, 0}},
        {"nordpass.csv", "nordpass-csv", 2, false, "\n", {0, 0, 4}},
        {"protonpass.csv", "protonpass-csv", 2, false, "\r\n", {0, 0, 3}},
        {"roboform.csv", "roboform-csv", 1, false, "\r\n", {0, 0, 1}},
        {"zohovault.csv", "zohovault-csv", 1, false, "\n", {0, 0, 1}},
        {"bitwarden.json", "bitwarden-json", 2, false, "\n", {1, 0, 2}},
        {"keeper.json", "keeper-json", 2, false, "\n", {0, 0, 2}},
        {"enpass.json", "enpass-json", 1, false, "\n", {1, 0, 2}},
    };
    std::map<std::string, std::vector<ImportedEntry>> read;
    for (const auto& s : samples) {
        SCOPED_TRACE(s.file);
        const std::string content = sampleFile(s.file);
        // The samples must keep the bytes they were written with.
        EXPECT_EQ(content.starts_with("\xEF\xBB\xBF"), s.bom);
        const std::size_t lineEnd = content.find_first_of("\r\n");
        ASSERT_NE(lineEnd, std::string::npos);
        EXPECT_EQ(content.substr(lineEnd, std::string_view(s.lineEnd).size()), s.lineEnd);

        ImportResult result = readImport(content, ImportFormat::Auto);
        ASSERT_TRUE(result.ok) << result.error;
        EXPECT_EQ(result.formatName, s.formatName);
        EXPECT_EQ(result.entries.size(), s.count);
        EXPECT_EQ(result.leftOut.recycled, s.leftOut[0]);
        EXPECT_EQ(result.leftOut.browserSync, s.leftOut[1]);
        EXPECT_EQ(result.leftOut.notLogins, s.leftOut[2]);
        const std::string_view name = s.file;
        const ImportFormat named = name.ends_with(".xml")    ? ImportFormat::KeepassXml
                                   : name.ends_with(".json") ? ImportFormat::Json
                                                             : ImportFormat::Csv;
        EXPECT_EQ(readImport(content, named).entries.size(), s.count);
        read[s.file] = std::move(result.entries);
    }

    const struct
    {
        struct
        {
            const char* file;
            std::size_t index;
            int where; // the line the record starts on, or the entry's number
        } at;
        Record expected;
    } entries[] = {
        {{"keystead.csv", 1, 3},
         {"Bank, Ltd.", "jane", "pa\"ss,word", "two\r\nlines", "https://bank.example", "12-31-2025 23:59:59"}},
        // A quote inside an unquoted field is text; a time that does not read is left to the caller.
        {{"keystead.csv", 2, 5}, {"Caf\u00E9", "j\u00FCrgen", "\u20ACuro", "say \"hi\" there", "", ""}},
        {{"bitwarden.csv", 0, 2},
         {"Intranet", "alice", "p,w\"1", "VPN first, then \"login\"\nsecond line", "https://intranet.example.org/login",
          ""}},
        // A note item is left out; a nameless log-in takes its address's host.
        {{"bitwarden.csv", 1, 5}, {"www.example.net", "bob", "hunter2", "", "https://www.example.net:8443/path", ""}},
        {{"chrome.csv", 1, 3},
         {"accounts.example.org", "dave", "x\"y\"z", "multi\nline, with comma", "https://accounts.example.org/signin",
          ""}},
        // Empty cells past the header's end; the blank line at the end is no entry.
        {{"chrome.csv", 2, 5}, {"short.example", "erin", "", "", "https://short.example/", ""}},
        {{"firefox.csv", 0, 2},
         {"login.example.com", "frank", "fr@nk,pw", "", "https://login.example.com", "01-01-2024 00:00:00"}},
        // No password change time: the creation time.
        {{"firefox.csv", 1, 3},
         {"ftp.example.com", "", "anon\"pw", "", "ftp://ftp.example.com:2121", "09-13-2020 12:26:40"}},
        {{"keepassxc.csv", 0, 2},
         {"Forum", "gina", "g1na\"s", "line one\nline two, \"quoted\"", "https://forum.example.com",
          "03-05-2024 10:20:30"}},
        // The recycle bin's entries, and those of a group deleted into it, are left out.
        {{"keepassxc.csv", 1, 4}, {"harry", "harry", "h", "", "", "02-03-2023 04:05:06"}},
        {{"keepass.csv", 0, 2},
         {"Mail server", "mike", "m\"ike,1", "port 993, SSL", "imap://mail.example.com:993", ""}},
        {{"lastpass.csv", 0, 2},
         {"Shop", "ivan", "iv,an", "Order PIN: 1234\r\nSupport: \"ask for Bob\"", "https://shop.example.com/login",
          ""}},
        // A secure note is left out, but one with a password is kept, without the notes' address.
        {{"lastpass.csv", 1, 5}, {"Alarm", "", "d00r,c0de", "Front door", "", ""}},
        // A server's note holds its log-in as lines of the note.
        {{"lastpass.csv", 2, 6},
         {"Database box", "root", "s3rv,er",
          "NoteType:Server\r\nHostname:db.example\r\nUsername:root\r\nPassword:s3rv,er", "", ""}},
        {{"1password.csv", 0, 2},
         {"Cloud Drive", "judy", "j,u\"dy", "Recovery codes:\n1111, 2222", "https://drive.example.com", ""}},
        // A lone CR ends a line too.
        {{"safari.csv", 0, 2},
         {"news.example.com (kim)", "kim", "k\"i,m", "first\rsecond", "https://news.example.com/", ""}},
        {{"safari.csv", 1, 4}, {"[2001:db8::1]", "root", "toor", "", "https://[2001:db8::1]:8080/admin", ""}},
        // Quotes escaped with a backslash, as 1Password 7 for Mac writes them.
        {{"1password7.csv", 0, 2},
         {"Router", "admin", "say \"hi\"", "Line one\nline two, with \"quotes\"", "http://192.168.1.1", ""}},
        {{"1password7.csv", 1, 4}, {"Share", "win", "C:\\temp\\", "ends in a backslash", "https://files.example", ""}},
        {{"dashlane.csv", 0, 2},
         {"Video", "leo@example.com", "le,o", "likes \"films\"", "https://video.example.com", ""}},
        // A folder, a card, an identity and a note are left out.
        {{"nordpass.csv", 0, 3},
         {"Webmail", "pat", "pa,t\"1", "first line\nsecond line", "https://webmail.example.com", ""}},
        {{"nordpass.csv", 1, 8}, {"router.example.net", "admin", "r0uter", "", "https://router.example.net:8080/", ""}},
        // Epoch seconds; the e-mail when there is no user name.
        {{"protonpass.csv", 0, 2},
         {"Forum", "quinn", "q,u\"inn", "likes threads", "https://forum.example.org", "03-05-2024 10:20:30"}},
        {{"protonpass.csv", 1, 3},
         {"Shop", "rae@example.org", "rae-pw", "", "https://shop.example.org", "11-14-2023 22:13:20"}},
        {{"roboform.csv", 0, 2}, {"Bank", "sam", "s\"a,m", "Branch 12", "https://bank.example.com/", ""}},
        {{"zohovault.csv", 0, 2}, {"Intranet", "tess", "t,e\"ss", "VPN first", "https://intranet.example.com", ""}},
        // The first address; a time that does not read is none.
        {{"bitwarden.json", 0, 1},
         {"Intranet", "alice", "p,w\"1\u20AC", "VPN first, then \"login\"\nsecond line",
          "https://intranet.example.org/login", "03-05-2024 10:20:30"}},
        {{"bitwarden.json", 1, 4}, {"www.example.net", "bob", "hunter2", "", "https://www.example.net:8443/path", ""}},
        {{"keeper.json", 0, 1}, {"Mail", "uma@example.com", "u,m\"a", "two\nlines", "https://mail.example.com", ""}},
        {{"keeper.json", 1, 3}, {"build.example.com", "vic", "v1c", "", "ssh://build.example.com:2222", ""}},
        // A deleted field is none; the e-mail when the user name is empty.
        {{"enpass.json", 0, 1},
         {"Cloud", "wes@example.com", "w,e\"s", "Recovery: ask IT", "https://cloud.example.com",
          "03-05-2024 10:20:30"}},
        // Entities, character references and CDATA. Old versions in History and the
        // recycle bin's entries are not imported.
        {{"keepass.xml", 0, 1},
         {"Fish & Chips", "n\u00E9d", "<p\"w,\u20AC>", "line one, \"two\"\nline <three> & more",
          "https://fish.example.com", "06-15-2024 08:09:10"}},
        // Two groups down, no title, a binary time.
        {{"keepass.xml", 1, 2},
         {"olga.example.net", "olga", "o'k", "", "https://olga.example.net/x", "02-29-2024 13:14:15"}},
    };
    for (const auto& e : entries) {
        SCOPED_TRACE(std::string(e.at.file) + " entry " + std::to_string(e.at.index));
        const std::vector<ImportedEntry>& got = read[e.at.file];
        ASSERT_LT(e.at.index, got.size());
        EXPECT_EQ(got[e.at.index].where, e.at.where);
        expectSameFields(got[e.at.index].record, e.expected);
        EXPECT_EQ(got[e.at.index].record.recorded, e.expected.recorded);
    }
}

TEST(ExchangeExport, RoundTripsEveryFormat)
{
    const Record tricky[] = {
        {"Caf\u00E9, \"Bar\"", "j\u00FCrgen", "p\"a,ss<&>\u20AC", "line1, \"quoted\"\r\nline2\nline3 \u00E9\u20AC",
         "https://caf\u00E9.example/x?a=1&b=2", "07-04-2026 18:30:05"},
        {"Plain", "", "", "", "", "not a time"},
        {"Tabs\there", "'single'", " lead and trail ", "<![CDATA[not markup]]> &amp;", "mail.example.com",
         "02-29-2024 00:00:00"},
        // A byte to quote among a field's last eight, where the scan looks at the field's end.
        {"Tail", "abcdefghij,k", "abcdefghij\"k", "", "", ""},
    };
    RecordTable table;
    for (const Record& record : tricky)
        table.append(record);

    const struct
    {
        ExportFormat format;
        const char* importedAs;
        const char* start; // the header line, or the XML declaration
        bool keepsRecorded;
    } cases[] = {
        {ExportFormat::Csv, "csv", "service,username,password,comments,address,recorded\r\n", true},
        {ExportFormat::BitwardenCsv, "bitwarden-csv",
         "folder,favorite,type,name,notes,fields,reprompt,login_uri,login_username,login_password,login_totp\r\n",
         false},
        {ExportFormat::ChromeCsv, "chrome-csv", "name,url,username,password,note\r\n", false},
        {ExportFormat::KeepassXml, "keepass-xml", "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>",
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.importedAs);
        EXPECT_EQ(exportFormatNamed(exportFormatName(c.format)), c.format);
        std::string out = "kept";
        writeExport(c.format, table, out);
        ASSERT_TRUE(out.starts_with(std::string("kept") + c.start)); // appended, no byte-order mark

        const ImportResult back = readImport(std::string_view(out).substr(4), ImportFormat::Auto);
        ASSERT_TRUE(back.ok) << back.error;
        EXPECT_EQ(back.formatName, c.importedAs);
        ASSERT_EQ(back.entries.size(), std::size(tricky));
        for (std::size_t i = 0; i < back.entries.size(); ++i) {
            SCOPED_TRACE(i);
            expectSameFields(back.entries[i].record, tricky[i]);
        }
        EXPECT_EQ(back.entries[0].record.recorded, c.keepsRecorded ? tricky[0].recorded : "");
        EXPECT_EQ(back.entries[2].record.recorded, c.keepsRecorded ? tricky[2].recorded : "");
        EXPECT_EQ(back.entries[1].record.recorded, "");
    }

    // XML 1.0 has no control characters but tab and the line ends: such an entry
    // is named, never written changed; the CSV formats carry every byte.
    RecordTable controls;
    for (const Record& record : {Record{"Bell\x07", "u", "p", "", "", ""}, Record{"ok", "u", "p\tq", "a\r\nb", "", ""},
                                 Record{"esc", "", "", "", "a\x1B[0mb", ""}, Record{"\x01", "", "\x01", "", "", ""}})
        controls.append(record);
    EXPECT_EQ(rowsNotCarried(ExportFormat::KeepassXml, controls), (std::vector<int>{0, 2, 3}));
    for (const ExportFormat csv : {ExportFormat::Csv, ExportFormat::BitwardenCsv, ExportFormat::ChromeCsv})
        EXPECT_TRUE(rowsNotCarried(csv, controls).empty());
}

// Times a file marks as UTC become local clock readings on the way in, and ours
// become UTC on the way out, by the zone's rules on that very day: the rows sit
// on both sides of clock changes. Zones are POSIX rules, so no zone database is
// needed; Windows' C library reads only a zone's name and offsets, not its rules.
TEST(ExchangeTime, ConvertsBetweenUtcAndLocalByTheZonesRules)
{
    constexpr const char* Berlin = "CET-1CEST,M3.5.0,M10.5.0/3";
    constexpr const char* NewYork = "EST5EDT,M3.2.0,M11.1.0";
    enum Way { KeepassXcCsv, FirefoxCsv, KeepassXml, OurCsvIso, ExportXml };
    const struct
    {
        const char* zone;
        Way way;
        const char* written; // in the file read, or the recorded time exported
        const char* expected;
        bool rulesNeeded;
    } rows[] = {
        {Berlin, KeepassXcCsv, "2024-03-31T00:59:59Z", "03-31-2024 01:59:59", true},
        {Berlin, KeepassXcCsv, "2024-03-31T01:00:00Z", "03-31-2024 03:00:00", true},
        // The hour the clock goes back shows twice.
        {Berlin, KeepassXml, "2024-10-27T00:30:00Z", "10-27-2024 02:30:00", true},
        {Berlin, KeepassXml, "2024-10-27T01:30:00Z", "10-27-2024 02:30:00", true},
        {Berlin, FirefoxCsv, "1704067200000", "01-01-2024 01:00:00", true},
        // An offset of its own names the moment; no designator is a local reading.
        {Berlin, OurCsvIso, "2024-07-01T12:00:00+02:00", "07-01-2024 12:00:00", true},
        {Berlin, OurCsvIso, "2024-07-01T12:00:00-0400", "07-01-2024 18:00:00", true},
        {Berlin, OurCsvIso, "2024-07-01T12:00:00", "07-01-2024 12:00:00", true},
        {Berlin, ExportXml, "03-31-2024 03:00:00", "2024-03-31T01:00:00Z", true},
        {Berlin, ExportXml, "12-31-2025 23:59:59", "2025-12-31T22:59:59Z", true},
        {NewYork, KeepassXcCsv, "2024-03-10T06:59:59Z", "03-10-2024 01:59:59", true},
        {NewYork, KeepassXcCsv, "2024-03-10T07:00:00Z", "03-10-2024 03:00:00", true},
        {NewYork, ExportXml, "11-03-2024 03:00:00", "2024-11-03T08:00:00Z", true},
        {NewYork, ExportXml, "03-10-2024 03:00:00", "2024-03-10T07:00:00Z", true},
        // Far from any clock change, with nothing but the zone's name and offsets.
        {"EST5EDT", KeepassXml, "2025-01-15T14:00:00Z", "01-15-2025 09:00:00", false},
        {"EST5EDT", ExportXml, "01-15-2025 09:00:00", "2025-01-15T14:00:00Z", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.zone) + " " + row.written);
#ifdef _WIN32
        if (row.rulesNeeded)
            continue;
#endif
        const ZoneInForce zone(row.zone);
        if (row.way == ExportXml) {
            RecordTable table;
            table.append(Record{"s", "u", "p", "", "", row.written});
            std::string out;
            writeExport(ExportFormat::KeepassXml, table, out);
            EXPECT_NE(out.find(std::string("<LastModificationTime>") + row.expected + "<"), std::string::npos) << out;
            const ImportResult back = readImport(out, ImportFormat::Auto);
            ASSERT_EQ(back.entries.size(), 1u);
            EXPECT_EQ(back.entries[0].record.recorded, row.written);
            continue;
        }
        std::string content;
        switch (row.way) {
        case KeepassXcCsv:
            content = "Group,Title,Username,Password,URL,Notes,TOTP,Icon,Last Modified,Created\nG,T,u,p,,,,0," +
                      std::string(row.written) + ",\n";
            break;
        case FirefoxCsv:
            content = "url,username,password,httpRealm,formActionOrigin,guid,timeCreated,timeLastUsed,"
                      "timePasswordChanged\nhttps://a.example,u,p,,,{g},,," +
                      std::string(row.written) + "\n";
            break;
        case KeepassXml:
            content = "<KeePassFile><Root><Group><Entry><String><Key>Title</Key><Value>T</Value></String>"
                      "<Times><LastModificationTime>" +
                      std::string(row.written) + "</LastModificationTime></Times></Entry></Group></Root></KeePassFile>";
            break;
        case OurCsvIso:
            content = "service,username,password,comments,address,recorded\nT,u,p,,," + std::string(row.written) + "\n";
            break;
        case ExportXml:
            break;
        }
        const ImportResult read = readImport(content, ImportFormat::Auto);
        ASSERT_TRUE(read.ok) << read.error;
        ASSERT_EQ(read.entries.size(), 1u);
        EXPECT_EQ(read.entries[0].record.recorded, row.expected);
    }
}

TEST(ExchangeImport, RefusesMalformedFilesSayingWhy)
{
    std::string tooDeep = "<KeePassFile><Root>";
    for (int i = 0; i < 300; ++i)
        tooDeep += "<Group>";
    const struct
    {
        std::string content;
        ImportFormat format;
        const char* error;
    } cases[] = {
        {"service,username,password\r\nA,b,\"open\r\nand never closed\r\n", ImportFormat::Auto,
         "line 2: unterminated quoted field"},
        {"name,url,username,password\nok,u,n,p\n\nx,y,\"z\n", ImportFormat::Csv, "line 4: unterminated quoted field"},
        {"Title,URL\nx,y\n", ImportFormat::Auto, "not a CSV header this program knows: Title,URL"},
        // A header is known by all its columns: one more is no browser's.
        {"name,url,username,password,note,colour\nx,y,z,hunter2,,\n", ImportFormat::Auto,
         "line 1 is not a CSV header this program knows"},
        {"Title,URL,Username,Password,Notes,OTPAuth,Shoe size\n", ImportFormat::Auto,
         "line 1 is not a CSV header this program knows"},
        {"{\"encrypted\": true, \"encKeyValidation_DO_NOT_EDIT\": \"2.x\", \"items\": []}", ImportFormat::Auto,
         "an encrypted Bitwarden export"},
        {"{\"items\": [{\"type\": 1, \"login\": {\"password\": \"hunter2\"\n", ImportFormat::Auto,
         "line 2: not valid JSON"},
        {"{\"items\": [{\"type\": 1, \"login\": {\"password\": hunter2}}]}", ImportFormat::Auto,
         "line 1: not valid JSON"},
        {std::string(100, '[') + std::string(100, ']'), ImportFormat::Auto, "line 1: JSON nested deeper than 64"},
        {"{\"entries\": []}", ImportFormat::Json, "not a JSON export this program knows"},
        {"[1, 2]", ImportFormat::Auto, "not a JSON export this program knows"},
        // A row that does not fit its header is never read into the wrong fields.
        {"name,url,username,password,note\nok,u,n,p,\n,https://short.example/,hunter2\n", ImportFormat::Auto,
         "line 3 has 3 columns, the header 5"},
        {"name,url,username,password\r\na,b,c,hunter2,,\r\n\"x\ny\",b,c,hunter2,e,,\r\n", ImportFormat::Csv,
         "line 3 has 5 columns, the header 4"},
        // A backslash before a quote, but no dialect reads the file soundly.
        {"title,website,username,password,notes\n\"a\",\"b\",\"c\",\"hunter2\\\"x\"\n", ImportFormat::Auto,
         "line 2 has 4 columns, the header 5"},
        // A first line that may be an entry is named, never quoted.
        {"mail,ann,hunter2\nx,y,z\n", ImportFormat::Auto, "line 1 is not a CSV header this program knows"},
        {"\n\"line\nbreak\",title\n", ImportFormat::Csv, "line 2 is not a CSV header this program knows"},
        {"", ImportFormat::Auto, "the file is empty"},
        {"\xEF\xBB\xBF\r\n\r\n", ImportFormat::Csv, "the file is empty"},
        {std::string("\xFF\xFEn\0,\0", 6), ImportFormat::Auto, "UTF-16"},
        {"<KeePassFile><Root><Group></Root></KeePassFile>", ImportFormat::Auto,
         "line 1: </Root> does not close <Group>"},
        {"<KeePassFile>\n<Root>\n", ImportFormat::Auto, "line 3: the file ends inside <Root>"},
        {"<KeePassFile>\r\n<Root a=1>", ImportFormat::Auto, "line 2: attribute ... has no quoted value"},
        {"<html><body/></html>", ImportFormat::Auto, "not a KeePass 2 XML file"},
        {"name,url,username,password\n", ImportFormat::KeepassXml, "not a KeePass 2 XML file (line 1: text outside"},
        {tooDeep, ImportFormat::Auto, "line 1: elements nested deeper than 256"},
        // An entity declared in a DOCTYPE is never expanded.
        {"<!DOCTYPE k [<!ENTITY a \"aaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]>\n"
         "<KeePassFile><Root><Group><Entry><String><Key>Title</Key><Value>&b;</Value></String></Entry></Group></Root>"
         "</KeePassFile>",
         ImportFormat::Auto, "line 2: an unknown entity"},
        {"<KeePassFile>&#0;</KeePassFile>", ImportFormat::Auto, "line 1: a bad character reference"},
        {std::string("<KeePassFile>\n<Root>a\0b</Root></KeePassFile>", 44), ImportFormat::Auto, "line 2: a NUL byte"},
        {"<KeePassFile>a & b</KeePassFile>", ImportFormat::Auto, "line 1: a '&' that starts no entity"},
        // What a stray '<' or '&' in a field makes look like a name is never quoted.
        {"<KeePassFile><Root><Value>hunter2<hunter2</Value></Root></KeePassFile>", ImportFormat::Auto,
         "line 1: bad attribute in <...>"},
        {"<KeePassFile><Value>a&hunter2;</Value></KeePassFile>", ImportFormat::Auto, "line 1: an unknown entity"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content.substr(0, 60));
        const ImportResult result = readImport(c.content, c.format);
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.entries.empty());
        EXPECT_NE(result.error.find(c.error), std::string::npos) << result.error;
        EXPECT_EQ(result.error.find_first_of("\r\n"), std::string::npos) << "one line: " << result.error;
        EXPECT_EQ(result.error.find("hunter2"), std::string::npos) << result.error;
    }
}

} // namespace
} // namespace kv
