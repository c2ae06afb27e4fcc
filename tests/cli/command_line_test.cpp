// The command line over a temporary folder, a verb at a time as a user types
// them: exit status, what it prints, and the data file afterwards.

#include "cli/command_line.h"
#include "cli/progress.h"
#include "record_rows.h"
#include "seal/seal_key.h"
#include "settings/reg_file_registry.h"
#include "storage/data_file.h"
#include "storage/storage_test_support.h"
#include "vault/password_audit.h"
#include "vault/password_digest.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <sstream>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace kv {
namespace {

// Standard input as a script of lines, never a terminal.
class ScriptedConsole : public Console
{
public:
    std::deque<std::string> input;
    std::ostringstream output;
    std::ostringstream errors;

    std::ostream& out() override { return output; }
    std::ostream& err() override { return errors; }
    bool errorTerminal = false;
    bool inputIsTerminal() override { return false; }
    bool errorIsTerminal() override { return errorTerminal; }
    std::optional<std::string> readLine() override
    {
        if (input.empty())
            return std::nullopt;
        std::string line = input.front();
        input.pop_front();
        return line;
    }
    std::optional<std::string> ask(std::string_view, bool) override { return std::nullopt; }
    int columns() override { return 0; }
};

constexpr const char* Now = "12-08-2026 10:00:00";

class CommandLine : public ::testing::Test
{
protected:
    CommandLine() : m_registry(m_folder / "settings.reg")
    {
        m_env.console = &m_console;
        m_env.registry = &m_registry;
        m_env.dataFolder = m_folder / "data";
        m_env.now = [] { return std::string(Now); };
        m_env.sealMemoryKiB = MinSealMemoryKiB;
        m_env.sealPasses = MinSealPasses;
    }

    struct Run
    {
        int status;
        std::string out;
        std::string err;
    };
    Run run(std::vector<std::string> args, std::deque<std::string> input = {})
    {
        m_console.input = std::move(input);
        m_console.output.str({});
        m_console.errors.str({});
        const int status = runCommandLine(args, m_env);
        return {status, m_console.output.str(), m_console.errors.str()};
    }
    std::filesystem::path data(const std::string& name) const { return m_folder / "data" / name; }

    test::TestFolder m_folder;
    RegFileRegistry m_registry;
    ScriptedConsole m_console;
    CliEnvironment m_env;
};

struct Step
{
    std::vector<std::string> args;
    std::deque<std::string> input;
    int status;
    std::string out; // all of standard output, unless it starts with "~": then a part of it
    std::string err; // a part of standard error (empty: none at all)
};

TEST_F(CommandLine, VerbsOverOneFolder)
{
    const std::string out = (m_folder / "out.csv").string();
    const std::string bad = (m_folder / "bad.csv").string();
    test::writeFile(m_folder / "bad.csv", "service,username,password\nok,u,p\nbad|one,u,p\n");
    // Twice the same, once without a time (then the same as the first), once at another time.
    const std::string twice = (m_folder / "twice.csv").string();
    test::writeFile(m_folder / "twice.csv", "service,username,password,recorded\nd,u,p,12-08-2026 10:00:00\n"
                                            "d,u,p,12-08-2026 10:00:00\nd,u,p,\nd,u,p,01-01-2020 00:00:00\n");
    // Our own export: an empty time stays empty, a row's twice is there already.
    const std::string own = (m_folder / "own.csv").string();
    test::writeFile(m_folder / "own.csv", "service,username,password,comments,address,recorded\r\n"
                                          "untimed,u,p,,,\r\nuntimed,u,p,,,\r\n");
    // What is no log-in is left out, each kind counted.
    const std::string vaultJson = (m_folder / "vault.json").string();
    test::writeFile(
        m_folder / "vault.json",
        "{\"encrypted\": false, \"items\": [{\"type\": 1, \"name\": \"j\", \"login\": {\"password\": \"p\"}},"
        "{\"type\": 3, \"name\": \"card\"}, {\"type\": 2, \"name\": \"note\"},"
        "{\"type\": 1, \"name\": \"gone\", \"deletedDate\": \"2024-01-01T00:00:00Z\"}]}");
    const std::string brokenJson = (m_folder / "broken.json").string();
    test::writeFile(m_folder / "broken.json", "{\"items\": [\n{\"type\": 1,\n]}\n");
    const std::string text = (m_folder / "notes.txt").string();
    test::writeFile(m_folder / "notes.txt", "\nmy passwords\n");
    const std::string headless = (m_folder / "headless.csv").string();
    test::writeFile(m_folder / "headless.csv", "mail,ann,hunter2\n");
    // A copy whose second entry holds a line break, which no data file of ours may.
    const std::filesystem::path other = m_folder / "other";
    std::string copy;
    ASSERT_TRUE(
        DatabaseContent(test::tableOf({{"copied", "", "", "", "", Now}, {"two", "", "", "a\r\nb", "", Now}}), copy));
    std::filesystem::create_directory(other);
    test::writeFile(other / "db1.ksd", copy);
    const std::string copied = (other / "db1.ksd").string();
    // A copy with a line that is no entry among its entries.
    std::string strayContent;
    ASSERT_TRUE(DatabaseContent(test::tableOf({{"stray", "", "", "", "", Now}}), strayContent));
    test::writeFile(m_folder / "stray.ksd", "not ours\r\n" + strayContent);
    const std::string stray = (m_folder / "stray.ksd").string();
    // Conflict copies of db2 as Syncthing, Nextcloud (and ownCloud, old and new)
    // and Dropbox name them, one that is no data file, and names that are no
    // copies of db2's.
    const auto entryFile = [](const std::string& service) {
        std::string content;
        DatabaseContent(test::tableOf({{service, "", "", "", "", Now}}), content);
        return content;
    };
    const std::filesystem::path merged = data("merged");
    std::filesystem::create_directories(merged);
    test::writeFile(merged / "db2.sync-conflict-20261209-101500-ABCDEF7.ksd", "kept from before");
    for (const auto& [name, service] : std::vector<std::pair<std::string, std::string>>{
             {"db2.sync-conflict-20261209-101500-ABCDEF7.ksd", "from-syncthing"},
             {"db2 (conflicted copy 2026-12-09 101500).ksd", "from-nextcloud"},
             {"db2 (conflicted copy Ann Smith 2026-12-09 101500).ksd", "from-nextcloud-user"},
             {"db2_conflict-20261209-101500.ksd", "from-owncloud"},
             {"db2 (Ann's conflicted copy 2026-12-09).ksd", "from-dropbox"},
             {"db2 (Ann's conflicted copy 2026-12-09) (1).ksd", "from-dropbox-1"},
             {"db2.sync-conflict-2026129-101500-ABCDEF7.ksd", "missed"},
             {"db2.sync-conflict-20261209-101502-abcdef7.ksd", "missed"},
             {"db2 (conflicted copy 2026-12-09).ksd", "missed"},
             {"db2 (conflicted copy Ann 2026-12-09).ksd", "missed"},
             {"db2 (conflicted copy  2026-12-09 101500).ksd", "missed"},
             {"db2 (conflicted copy (Ann) 2026-12-09 101500).ksd", "missed"},
             {"db2 (conflicted copy Ann2026-12-09 101500).ksd", "missed"},
             {"db2_conflict-2026-12-09-101500.ksd", "missed"},
             {"db2_conflict-20261209-101500.ksd.tmp", "missed"},
             {"db20_conflict-20261209-101500.ksd", "missed"},
             {"db20 (conflicted copy Ann 2026-12-09 101500).ksd", "missed"},
             {"db2 ('s conflicted copy 2026-12-09).ksd", "missed"},
             {"db2 (Ann's conflicted copy 2026-12-09) (1.ksd", "missed"},
             {"db2 (conflicted copy 2026-12-09 101500).bak", "missed"},
             {"db2 (conflicted copy 2026-12-09 101500).ksd.tmp", "missed"},
             {"db20.sync-conflict-20261209-101500-ABCDEF7.ksd", "missed"},
             {"db1.sync-conflict-20261209-101500-ABCDEF7.ksd", "missed"}})
        test::writeFile(data(name), entryFile(service));
    test::writeFile(data("db2.sync-conflict-20261209-101501-BCDEFG2.ksd"), "not ours\r\n");
    // A copy whose merged/ is a file: merged, but it stays where it is.
    const std::filesystem::path apart = m_folder / "apart";
    std::filesystem::create_directory(apart);
    test::writeFile(apart / "db1 (conflicted copy 2026-12-09 101500).ksd", entryFile("apart"));
    test::writeFile(apart / "merged", "");
    // Where an export may not go.
#ifndef _WIN32
    std::filesystem::create_symlink(m_folder / "notes.txt", m_folder / "link.csv");
    std::filesystem::create_symlink(m_folder / "nowhere.csv", m_folder / "dangling.csv");
    std::filesystem::create_symlink(m_folder / "loop.csv", m_folder / "loop.csv");
    ASSERT_EQ(mkfifo((m_folder / "fifo").c_str(), 0600), 0);
    const std::string fifo = (m_folder / "fifo").string();
#endif
    // A database to audit: an entry for each reason, and one that needs no attention.
    const std::vector<Record> audited = {
        {"weak", "ann", "password1", "", "https://w.example", Now},
        {"strong", "bob", "Xk9#mP2$vL7@qR4!", "", "https://s.example", Now},
        {"mail", "cy", "Tq7&Lw3!Zr8^Nb5@", "", "", Now},
        {"shop", "cy", "Tq7&Lw3!Zr8^Nb5@", "", "", Now},
        {"plain", "fay", "Hv2*Jd6%Pc9#Ks4!", "", "HTTP://plain.example", Now},
        {"old", "dee", "Mz5!Qw8@Rt3#Yu6$", "", "", "01-01-2020 00:00:00"},
        {"undated", "eve", "Gb4^Fn7&Dk2*Sl9%", "", "", ""},
        {"blank", "gus", "", "", "", Now},
        {"leaked", "hal", "Wc6$Ep1!Vx8@Oi3#", "", "https://l.example", Now},
    };
    const std::filesystem::path auditFolder = m_folder / "audited";
    std::filesystem::create_directory(auditFolder);
    std::string auditContent;
    ASSERT_TRUE(DatabaseContent(test::tableOf(audited), auditContent));
    test::writeFile(auditFolder / "db1.ksd", auditContent);
    const auto hexOf = [](const std::string& password) {
        std::string hex;
        for (const std::uint8_t byte : passwordDigest(password)) {
            hex += "0123456789ABCDEF"[byte >> 4];
            hex += "0123456789ABCDEF"[byte & 15];
        }
        return hex;
    };
    // The leaked entry's hash, the weak one's as published (the SHA-1 of "password1"),
    // and the strong one's with its last digit changed, among others.
    std::string strongOff = hexOf(audited[1].password);
    strongOff.back() = strongOff.back() == '0' ? '1' : '0';
    std::vector<std::string> breachLines = {hexOf(audited[8].password) + ":42",
                                            "E38AD214943DAAD1D64C102FAEC29DE4AFE9DA3D:99", strongOff + ":7",
                                            std::string(40, '0') + ":3", std::string(40, 'F') + ":1"};
    std::sort(breachLines.begin(), breachLines.end());
    std::string breachText;
    for (const std::string& line : breachLines)
        breachText += line + "\r\n";
    test::writeFile(m_folder / "pwned.txt", breachText);
    const std::string pwned = (m_folder / "pwned.txt").string();
    const std::vector<std::string> auditArgs = {"--data-dir", auditFolder.string(), "audit"};
    const auto audit = [&](std::vector<std::string> more) {
        std::vector<std::string> args = auditArgs;
        args.insert(args.end(), more.begin(), more.end());
        return args;
    };
    const std::string weakLine = StrengthEstimated ? "weak     ann       breached (seen 99 times), weak\n"
                                                   : "weak     ann       breached (seen 99 times)\n";
    const std::string weakCount = StrengthEstimated ? "1 weak, " : "";
    const std::string strengthNote =
        StrengthEstimated ? "" : "; strength not judged: this build has no estimator (zxcvbn)";
    const std::string Csv = "service,username,password,comments,address,recorded\r\n"
                            "mail,ann,pw1,changed,https://m.example,12-08-2026 10:00:00\r\n";
    const std::vector<Step> steps = {
        {{"add", "mail", "-u", "ann", "--address", "https://m.example", "--comments", "a, b"},
         {"pw1"},
         0,
         "Added mail\n",
         ""},
        {{"add", "Caf\xc3\xa9 \xe2\x82\xac", "-ubob"}, {"pw2"}, 0, "~Added", ""},
        {{"add", "bad|name"}, {"pw"}, 1, "", "Fields cannot contain | or line breaks"},
        {{"add", "\xe4\xb8\xad"}, {"pw"}, 1, "", "Fields can hold only Western European characters"},
        {{"add", "quiet"}, {}, 1, "", "no password on standard input"},
        {{"ls", "--tsv"},
         {},
         0,
         "mail\tann\thttps://m.example\ta, b\t12-08-2026 10:00:00\n"
         "Caf\xc3\xa9 \xe2\x82\xac\tbob\t\t\t12-08-2026 10:00:00\n",
         ""},
        {{"--json", "ls", "-d", "1"},
         {},
         0,
         "[\n  {\"service\": \"mail\", \"username\": \"ann\", \"address\": \"https://m.example\", \"comments\": "
         "\"a, b\", \"recorded\": \"12-08-2026 10:00:00\"},\n  {\"service\": \"Caf\xc3\xa9 \xe2\x82\xac\", "
         "\"username\": \"bob\", \"address\": \"\", \"comments\": \"\", \"recorded\": \"12-08-2026 10:00:00\"}\n]\n",
         ""},
        {{"show", "mail"}, {}, 0, "~Password: ***\n", ""},
        {{"show", "mail", "-a", "password"}, {}, 0, "pw1\n", ""},
        {{"show", "mail", "-a", "colour"}, {}, 2, "", "no field 'colour'"},
        {{"show", "nobody"}, {}, 1, "", "nobody - Item not found"},
        {{"search", "CAF\xc3\x89"}, {}, 0, "~Caf\xc3\xa9", ""},
        {{"search", "zzz", "--tsv"}, {}, 0, "", ""},
        {{"edit", "mail", "--comments", "changed"}, {}, 0, "Changed mail\n", ""},
        {{"edit", "mail"}, {}, 2, "", "nothing to change"},
        {{"rm", "Caf\xc3\xa9 \xe2\x82\xac"}, {}, 0, "~Removed", ""},
        {{"rm", "Caf\xc3\xa9 \xe2\x82\xac"}, {}, 1, "", "Item not found"},
        {{"export"}, {}, 0, Csv, ""},
        {{"export", "--format", "xml"}, {}, 2, "", "no export format 'xml'"},
        {{"export", "-o", out}, {}, 0, "~Exported 1 entry", ""},
        {{"export", "-o", out}, {}, 1, "", "is there already"},
        {{"export", "-o", out, "--force", "--format", "chrome-csv"}, {}, 0, "~Exported 1 entry", ""},
        {{"-d", "2", "import", out}, {}, 0, "~Imported 1 entry (chrome-csv)", ""},
        {{"-d", "2", "import", out}, {}, 0, "~Imported 0 entries (chrome-csv) into", ""},
        {{"-d", "2", "import", bad}, {}, 1, "", "bad.csv:3: Fields cannot contain | or line breaks"},
        {{"-d", "2", "import", bad, "--skip-invalid"}, {}, 0, "~Imported 1 entry (csv)", ""},
        {{"-d", "2", "import", twice}, {}, 0, "~db2.ksd; skipped 2 already there\n", ""},
        {{"-d", "2", "import", own}, {}, 0, "~db2.ksd; skipped 1 already there\n", ""},
        {{"-d", "2", "search", "untimed", "--tsv"}, {}, 0, "untimed\tu\t\t\t\n", ""},
        {{"-d", "2", "import", vaultJson},
         {},
         0,
         "~db2.ksd; skipped 0 already there; left out 1 in the recycle bin and 2 that are not log-ins\n",
         ""},
        {{"-d", "2", "import", brokenJson}, {}, 1, "", "broken.json: line 3: not valid JSON\n"},
        {{"-d", "2", "import", headless}, {}, 1, "", "headless.csv: line 1 is not a CSV header this program knows\n"},
        {{"-d", "2", "import", (m_folder / "none.csv").string()}, {}, 1, "", "none.csv: no such file\n"},
        {{"-d", "2", "import", other.string()}, {}, 1, "", "other: it is a folder\n"},
#ifndef _WIN32
        {{"-d", "2", "import", fifo}, {}, 1, "", "fifo: it is not a regular file\n"},
        {audit({"--breached", fifo}), {}, 1, "", "fifo: it is not a regular file\n"},
        {{"-d", "2", "import", (m_folder / "loop.csv").string()}, {}, 1, "", "loop.csv: too many levels of links\n"},
#endif
        {{"--database=3", "merge", data("db1.ksd").string()}, {}, 0, "~Merged 1 entry", ""},
        {{"-d", "3", "merge", data("db1.ksd").string()}, {}, 0, "~Merged 0 entries", ""},
        // Only a data file merges: nothing of an export or a note reaches the database.
        {{"-d", "3", "merge", out}, {}, 1, "", "out.csv:1: not an entry of a data file"},
        {{"-d", "3", "merge", text}, {}, 1, "", "notes.txt:2: not an entry of a data file"},
        {{"-d", "3", "merge", copied}, {}, 1, "", "db1.ksd:2: Fields cannot contain | or line breaks\n"},
        {{"-d", "3", "merge", copied, "--skip-invalid"}, {}, 0, "~Merged 1 entry", ""},
        {{"-d", "3", "merge", stray}, {}, 1, "", "stray.ksd:1: not an entry of a data file"},
        {{"-d", "3", "merge", text, "--skip-invalid"}, {}, 1, "", "notes.txt:2: not an entry of a data file"},
        {{"-d", "3", "merge", stray, "--skip-invalid"}, {}, 0, "~Merged 1 entry", ""},
        // Every copy of db2 in one save, each moved to merged/; one that is no data
        // file stays, and so do the names that are no copies of db2's.
        {{"-d", "2", "merge", "--conflicts"},
         {},
         1,
         "~Kept " + data("db2.sync-conflict-20261209-101501-BCDEFG2.ksd").string() + " where it is",
         "BCDEFG2.ksd:1: not an entry of a data file"},
        {{"-d", "2", "merge", "--conflicts"},
         {},
         1,
         "Kept " + data("db2.sync-conflict-20261209-101501-BCDEFG2.ksd").string() +
             " where it is: nothing merged from it\n",
         "BCDEFG2.ksd:1: not an entry of a data file"},
        {{"-d", "2", "search", "from-", "--tsv"},
         {},
         0,
         "from-dropbox-1\t\t\t\t" + std::string(Now) + "\nfrom-dropbox\t\t\t\t" + Now + "\nfrom-nextcloud\t\t\t\t" +
             Now + "\nfrom-nextcloud-user\t\t\t\t" + Now + "\nfrom-syncthing\t\t\t\t" + Now +
             "\nfrom-owncloud\t\t\t\t" + Now + "\n",
         ""},
        {{"-d", "2", "search", "missed", "--tsv"}, {}, 0, "", ""},
        {{"-d", "3", "merge", "--conflicts"}, {}, 0, "No conflict copies of " + data("db3.ksd").string() + "\n", ""},
        {{"-d", "3", "merge", "--conflicts", stray}, {}, 2, "", "merge takes FILE or --conflicts, not both"},
        {{"-d", "3", "merge"}, {}, 2, "", "too few arguments"},
        {{"--data-dir", apart.string(), "merge", "--conflicts"},
         {},
         1,
         "~Merged 1 entry from " + (apart / "db1 (conflicted copy 2026-12-09 101500).ksd").string(),
         "merged is there and is not a folder"},
        {{"--data-dir", apart.string(), "merge", "--conflicts"}, {}, 1, "~Merged 0 entries", "not a folder"},
    // An export writes only a regular file of its own, and never a database's.
#ifndef _WIN32
        {{"export", "-o", (m_folder / "link.csv").string(), "--force"}, {}, 1, "", "link.csv is a link"},
        {{"export", "-o", (m_folder / "dangling.csv").string()}, {}, 1, "", "dangling.csv is a link"},
        {{"export", "-o", fifo, "--force"}, {}, 1, "", "fifo is not a regular file"},
#endif
        {{"export", "-o", data("db1.ksd").string(), "--force"}, {}, 1, "", "is the file of a database (db1.ksd)"},
        {{"export", "-o", data("db2.bak").string()}, {}, 1, "", "is the file of a database (db2.bak)"},
        // Control characters: spelt out for people, escaped for scripts, never
        // changed on the way out of an export.
        {{"add", "esc", "-u",
          "a\x1b]0;owned\x07"
          "b"},
         {"pw"},
         0,
         "Added esc\n",
         ""},
        {{"search", "esc"}, {}, 0, "~a\\x1b]0;owned\\x07b", ""},
        {{"show", "esc"}, {}, 0, "~Username: a\\x1b]0;owned\\x07b\n", ""},
        {{"--data-dir", other.string(), "ls", "--tsv"},
         {},
         0,
         "copied\t\t\t\t" + std::string(Now) + "\ntwo\t\t\ta\\r\\nb\t" + Now + "\n",
         ""},
        {{"export", "--format", "keepass-xml"}, {}, 1, "", "entry 2 holds a control character"},
        {{"export", "--format", "keepass-xml", "--skip-invalid"},
         {},
         0,
         "~</KeePassFile>",
         "left out 1 that keepass-xml"},
        {{"rm", "esc"}, {}, 0, "Removed esc\n", ""},
        {{"--data-dir", other.string(), "help", "ls"}, {}, 0, "~Usage: keystead-vault-cli ls", ""},
        {{"-d", "2", "help"}, {}, 0, "~Commands:", ""},
        {{"generate", "x"}, {}, 2, "", "the length is a number"},
        {{"ls", "--frob"}, {}, 2, "", "unknown option '--frob'"},
        {{"-d", "4", "ls"}, {}, 2, "", "the database is 1, 2 or 3"},
        {{"fly"}, {}, 2, "", "no command 'fly'"},
        {{"ls", "extra"}, {}, 2, "", "unexpected argument 'extra'"},
        // The audit: worst first, the reused ones together, never a password or its hash.
        {audit({"--breached", pwned}),
         {},
         0,
         "Service  Username  Reasons\n" + weakLine +
             "leaked   hal       breached (seen 42 times)\n"
             "blank    gus       empty\n"
             "mail     cy        reused (group 1)\n"
             "shop     cy        reused (group 1)\n"
             "plain    fay       insecure address\n"
             "old      dee       old\n"
             "undated  eve       no date\n"
             "\nSharing a password:\n  group 1: mail, shop\n\n" +
             "8 of 9 entries need attention: 2 breached, 1 empty, " + weakCount +
             "2 reused in 1 group, 1 with an insecure address, 1 old (recorded over 365 days ago), 1 with no "
             "date" +
             strengthNote + "\n",
         ""},
        {audit({"--tsv"}),
         {},
         0,
         "blank\tgus\tempty\t\n" + std::string(StrengthEstimated ? "weak\tann\tweak\t\n" : "") +
             "mail\tcy\treused\t1\nshop\tcy\treused\t1\nplain\tfay\tinsecure address\t\n"
             "old\tdee\told\t01-01-2020 00:00:00\nundated\teve\tno date\t\n",
         ""},
        {audit({"--json", "--breached", pwned, "--only", "breached, empty"}),
         {},
         0,
         "{\"entries\": [\n"
         "  {\"service\": \"weak\", \"username\": \"ann\", \"reasons\": [\"breached\"], \"reused_group\": null, "
         "\"breaches\": 99},\n"
         "  {\"service\": \"leaked\", \"username\": \"hal\", \"reasons\": [\"breached\"], \"reused_group\": null, "
         "\"breaches\": 42},\n"
         "  {\"service\": \"blank\", \"username\": \"gus\", \"reasons\": [\"empty\"], \"reused_group\": null, "
         "\"breaches\": null}\n],\n"
         " \"summary\": {\"entries\": 9, \"need_attention\": 3, \"breached\": 2, \"empty\": 1, \"weak\": null, "
         "\"reused\": null, \"insecure_address\": null, \"old\": null, \"no_date\": null, \"reused_groups\": 0, "
         "\"older_than_days\": 365, \"unreadable\": 0, \"strength_estimated\": " +
             std::string(StrengthEstimated ? "true" : "false") + "}}\n",
         ""},
        {audit({"--older-than", "3000", "--only", "old,no-date", "--tsv"}), {}, 0, "undated\teve\tno date\t\n", ""},
        {audit({"--only", "empty,weak,bogus"}), {}, 2, "", "no reason 'bogus'"},
        {audit({"--only", "breached"}), {}, 2, "", "breached needs --breached FILE"},
        {audit({"--older-than", "-1"}), {}, 2, "", "--older-than takes a number of days"},
        {audit({"--breached", (m_folder / "none.txt").string()}), {}, 1, "", "none.txt: no such file\n"},
        {audit({"--breached", text}), {}, 1, "", "notes.txt is no list of SHA-1 hashes"},
    };
    for (const Step& step : steps) {
        std::string line;
        for (const std::string& arg : step.args)
            line += arg + ' ';
        SCOPED_TRACE(line);
        const Run result = run(step.args, step.input);
        EXPECT_EQ(result.status, step.status) << result.err;
        for (const Record& entry : audited) {
            if (!entry.password.empty()) {
                EXPECT_EQ((result.out + result.err).find(entry.password), std::string::npos);
                EXPECT_EQ((result.out + result.err).find(hexOf(entry.password)), std::string::npos);
            }
        }
        if (step.out.starts_with('~'))
            EXPECT_NE(result.out.find(step.out.substr(1)), std::string::npos) << result.out;
        else
            EXPECT_EQ(result.out, step.out);
        if (step.err.empty())
            EXPECT_EQ(result.err, "");
        else
            EXPECT_NE(result.err.find(step.err), std::string::npos) << result.err;
    }

    // The last change was a full save: the file is exactly what one writes.
    const Record mail{"mail", "ann", "pw1", "changed", "https://m.example", Now};
    std::string expected;
    ASSERT_TRUE(DatabaseContent(test::tableOf({mail}), expected));
    EXPECT_EQ(test::readFile(data("db1.ksd")), expected);
    RecordTable third;
    ASSERT_TRUE(LoadDatabase(m_folder / "data", "db3", third));
    EXPECT_EQ(test::recordsOf(third),
              (std::vector<Record>{mail, {"copied", "", "", "", "", Now}, {"stray", "", "", "", "", Now}}));
    // A merged copy is moved, never over a file in merged/, which stays the user's alone.
    for (const char* name :
         {"db2.sync-conflict-20261209-101500-ABCDEF7.ksd", "db2 (conflicted copy 2026-12-09 101500).ksd",
          "db2 (conflicted copy Ann Smith 2026-12-09 101500).ksd", "db2_conflict-20261209-101500.ksd",
          "db2 (Ann's conflicted copy 2026-12-09).ksd", "db2 (Ann's conflicted copy 2026-12-09) (1).ksd"}) {
        EXPECT_FALSE(std::filesystem::exists(data(name))) << name;
        EXPECT_TRUE(std::filesystem::exists(merged / name)) << name;
    }
    EXPECT_EQ(test::readFile(merged / "db2.sync-conflict-20261209-101500-ABCDEF7.ksd"), "kept from before");
    EXPECT_EQ(test::readFile(merged / "db2.sync-conflict-20261209-101500-ABCDEF7 (2).ksd"),
              entryFile("from-syncthing"));
    EXPECT_TRUE(std::filesystem::exists(data("db20.sync-conflict-20261209-101500-ABCDEF7.ksd")));
#ifndef _WIN32
    EXPECT_EQ(std::filesystem::status(merged).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);
#endif
    // A generated password is the generator's, of the length asked for.
    const Run generated = run({"generate", "12"});
    EXPECT_EQ(generated.out.size(), 13u);
    EXPECT_EQ(generated.out.find_first_not_of("12345678ABCDEFGHIJKLMNOPQRSTUVWXYZ"), 12u);
}

TEST_F(CommandLine, TheLogInHoldsForEveryVerbButGenerate)
{
    ASSERT_EQ(run({"add", "Keystead Vault", "-u", "boss"}, {"lockpw"}).status, 0);
    const std::string before = test::readFile(data("db1.ksd"));
    const struct
    {
        std::vector<std::string> args;
        std::deque<std::string> input;
        int status;
    } cases[] = {
        {{"ls"}, {}, 1},
        {{"ls"}, {"boss", "wrong"}, 1},
        {{"ls"}, {"Boss", "lockpw"}, 1},
        {{"export"}, {"boss"}, 1},
        {{"add", "x"}, {"boss", "nope", "pw"}, 1},
        {{"rm", "Keystead Vault"}, {"", ""}, 1},
        {{"generate"}, {}, 0},
        {{"ls"}, {"boss", "lockpw"}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0]);
        const Run result = run(c.args, c.input);
        EXPECT_EQ(result.status, c.status);
        if (c.status == 1) {
            EXPECT_EQ(result.err, "keystead-vault-cli: Authentication failed\n");
            EXPECT_EQ(result.out, "");
        }
    }
    EXPECT_EQ(test::readFile(data("db1.ksd")), before);
    // Mended fault: a new password for its own entry is the log-in's new password.
    EXPECT_EQ(run({"edit", "Keystead Vault", "-p"}, {"boss", "lockpw", "newpw"}).status, 0);
    EXPECT_EQ(run({"ls"}, {"boss", "lockpw"}).status, 1);
    // The log-in's password is stored under the fixed key: it would give a sealed database away.
    const Run refused = run({"seal"}, {"boss", "newpw", "newpw", "newpw"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("the log-in's password"), std::string::npos) << refused.err;
    // Sealed, the database's password comes after the log-in's lines and before the verb's own.
    ASSERT_EQ(run({"seal"}, {"boss", "newpw", "dbpw", "dbpw"}).status, 0);
    EXPECT_EQ(run({"add", "y"}, {"boss", "newpw", "dbpw", "pw-y"}).status, 0);
    EXPECT_EQ(run({"show", "y", "-a", "password"}, {"boss", "newpw", "dbpw"}).out, "pw-y\n");
    // Its own entry with its credentials disarms it, as Remove in the window does.
    EXPECT_EQ(run({"rm", "Keystead Vault"}, {"boss", "newpw", "dbpw"}).status, 0);
    EXPECT_EQ(run({"ls", "--tsv"}, {"dbpw"}).status, 0);
}

TEST_F(CommandLine, ASealedDatabaseOpensOnlyUnderItsPassword)
{
    const std::vector<Record> entries = {{"mail", "ann", "pw-mail", "a note", "https://m.example", Now},
                                         {"bank", "bob", "pw-bank", "", "", Now}};
    std::string unsealed;
    ASSERT_TRUE(DatabaseContent(test::tableOf(entries), unsealed));
    std::filesystem::create_directory(m_folder / "data");
    test::writeFile(data("db1.ksd"), unsealed);
    // A copy of the database sealed elsewhere: the same password, a salt of its own.
    std::shared_ptr<const LineSeal> elsewhere = newSealKey("open sesame", MinSealMemoryKiB, MinSealPasses);
    ASSERT_TRUE(elsewhere);
    const std::filesystem::path copyFolder = m_folder / "copy";
    std::filesystem::create_directory(copyFolder);
    test::writeFile(copyFolder / "db1.ksd", "");
    RecordTable copied;
    copied.append({"copied", "cat", "pw-copy", "", "", Now});
    copied.append(entries[0]);
    ASSERT_TRUE(SaveDatabase(copyFolder, "db1", copied, realFileOps(), nullptr, elsewhere.get()));
    const std::string copy = (copyFolder / "db1.ksd").string();
    const std::string file = data("db1.ksd").string();
    // The second sealed line of the file, one character changed: it no longer opens.
    const auto damageLine = [&](const std::filesystem::path& path) {
        std::string content = test::readFile(path);
        const std::size_t at = content.find('~', content.find('~') + 1) + 10;
        content[at] = content[at] == 'A' ? 'B' : 'A';
        test::writeFile(path, content);
    };
    struct SealStep
    {
        std::vector<std::string> args;
        std::deque<std::string> input;
        int status;
        std::string out; // a part of standard output
        std::string err; // a part of standard error (empty: none at all)
        std::function<void()> then = {};
    };
    const std::vector<SealStep> steps = {
        {{"unseal"}, {}, 1, "", file + " is not sealed"},
        {{"passwd"}, {}, 1, "", file + " is not sealed"},
        {{"seal"}, {"", ""}, 1, "", "The password is empty"},
        {{"seal"}, {"open sesame", "open sesame!"}, 1, "", "do not match"},
        {{"seal"}, {"open sesame", "open sesame"}, 0, "Sealed " + file, ""},
        {{"-d", "3", "seal"}, {"three", "three"}, 0, "Sealed", ""}, // no file yet: it is made sealed
        {{"-d", "3", "add", "x"}, {"three", "pw-x"}, 0, "Added x", ""},
        {{"seal"}, {}, 1, "", file + " is already sealed"},
        {{"ls"}, {"wrong"}, 1, "", "Wrong password for " + file},
        {{"ls"}, {}, 1, "", "no password for " + file},
        {{"add", "shop"}, {"wrong", "pw-shop"}, 1, "", "Wrong password for " + file},
        {{"add", "shop", "-u", "cy"}, {"open sesame", "pw-shop"}, 0, "Added shop", ""},
        {{"add", "Keystead Vault", "-u", "me"}, {"open sesame", "open sesame"}, 1, "", "That is the database's"},
        {{"show", "shop", "-s"}, {"open sesame"}, 0, "Password: pw-shop", ""},
        {{"edit", "bank", "-u", "bo"}, {"open sesame"}, 0, "Changed bank", ""},
        {{"rm", "shop"}, {"open sesame"}, 0, "Removed shop", ""},
        {{"merge", copy}, {"open sesame"}, 0, "Merged 1 entry", ""},
        {{"-d", "2", "merge", copy}, {"wrong"}, 1, "", "Wrong password for " + copy},
        {{"passwd"}, {"open sesame", "new one", "new one"}, 0, "Changed the password of " + file, ""},
        {{"ls", "--tsv"}, {"open sesame"}, 1, "", "Wrong password"},
        {{"search", "copied"}, {"new one"}, 0, "cat", ""},
        {{"unseal"}, {"new one"}, 0, "Unsealed " + file, ""},
        {{"ls", "--tsv"},
         {},
         0,
         "mail	ann",
         "",
         [&] { test::writeFile(data("db1.ksd"), test::readFile(data("db1.ksd")) + "no entry\r\n"); }},
        // A damaged line: not listed, carried over, and nothing that would lose it runs.
        {{"seal"},
         {}, // refused before any password is asked for
         1,
         "",
         "holds lines that cannot be read",
         [&] {
             std::string content = test::readFile(data("db1.ksd"));
             test::writeFile(data("db1.ksd"), content.substr(0, content.size() - std::string("no entry\r\n").size()));
         }},
        {{"seal"}, {"s3", "s3"}, 0, "Sealed", "", [&] { damageLine(data("db1.ksd")); }},
        {{"ls", "--tsv"}, {"s3"}, 0, "mail	ann", ""},
        {{"passwd"}, {"s3"}, 1, "", "holds lines that cannot be read"},
        {{"unseal"}, {"s3"}, 1, "", "holds lines that cannot be read"},
        {{"add", "late"}, {"s3", "pw-late"}, 0, "Added late", ""},
    };
    std::string beforeDamage;
    for (const SealStep& step : steps) {
        std::string line;
        for (const std::string& arg : step.args)
            line += arg + ' ';
        SCOPED_TRACE(line);
        const std::string fileBefore = test::readFile(data("db1.ksd"));
        const std::string copyBefore = test::readFile(copyFolder / "db1.ksd");
        const Run result = run(step.args, step.input);
        EXPECT_EQ(result.status, step.status) << result.err;
        if (step.status != 0) {
            // Refused: nothing read or changed.
            EXPECT_EQ(test::readFile(data("db1.ksd")), fileBefore);
            EXPECT_EQ(test::readFile(copyFolder / "db1.ksd"), copyBefore);
        }
        EXPECT_NE(result.out.find(step.out), std::string::npos) << result.out;
        if (step.err.empty())
            EXPECT_EQ(result.err, "");
        else
            EXPECT_NE(result.err.find(step.err), std::string::npos) << result.err;
        if (step.then)
            step.then();
        if (line == "unseal " && step.status == 0) {
            // Every entry back exactly, in the fixed-key format.
            std::string expected;
            ASSERT_TRUE(DatabaseContent(
                test::tableOf(
                    {entries[0], {"bank", "bo", "pw-bank", "", "", Now}, {"copied", "cat", "pw-copy", "", "", Now}}),
                expected));
            EXPECT_EQ(test::readFile(data("db1.ksd")), expected);
        }
    }
    // Sealed, nothing of an entry is left to read, in clear or in the fixed-key form.
    const std::string sealed = test::readFile(data("db1.ksd"));
    EXPECT_TRUE(sealed.starts_with("*KVSEAL 1 argon2id"));
    for (const std::string field : {"mail", "ann", "pw-mail", "a note", "m.example", "pw-bank", "pw-late", "12-08"})
        EXPECT_EQ(sealed.find(field), std::string::npos) << field;
    std::istringstream lines(unsealed);
    for (std::string scrambled; std::getline(lines, scrambled);)
        EXPECT_EQ(sealed.find(scrambled.substr(0, 40)), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(data("db1.bak")));
}

// A progress line is drawn only when standard error is a terminal, and is
// blanked again at the end: a script sees nothing, a person no leftover line.
TEST(CommandLineProgress, DrawsOnlyOnATerminalAndClearsItsLine)
{
    for (const bool terminal : {false, true}) {
        SCOPED_TRACE(terminal);
        ScriptedConsole console;
        console.errorTerminal = terminal;
        {
            Progress progress(console, "Importing", 500, true, std::chrono::milliseconds(0));
            for (std::size_t row = 1; row <= 500; ++row)
                progress.advance(row);
        }
        const std::string drawn = console.errors.str();
        if (!terminal) {
            EXPECT_EQ(drawn, "");
            continue;
        }
        EXPECT_TRUE(drawn.starts_with("\rImporting: 1 of 500 entries")) << drawn;
        ASSERT_TRUE(drawn.ends_with('\r'));
        const std::size_t blank = drawn.rfind('\r', drawn.size() - 2);
        const std::string cleared = drawn.substr(blank + 1, drawn.size() - blank - 2);
        EXPECT_EQ(cleared, std::string(cleared.size(), ' '));
        EXPECT_GE(cleared.size(), std::string_view("Importing: 1 of 500 entries").size());
    }
    // A step counted in a unit of its own is drawn at each one.
    ScriptedConsole console;
    console.errorTerminal = true;
    Progress progress(console, "Importing", std::nullopt, true, std::chrono::milliseconds(0));
    progress.nextStep("Reading", 3, "MB");
    progress.advance(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(150)); // past the pause between two drawings
    progress.advance(2);
    EXPECT_NE(console.errors.str().find("\rReading: 2 of 3 MB"), std::string::npos) << console.errors.str();
}

} // namespace
} // namespace kv
