// The verbs as the program knows them, against what the packaging says of them:
// the bash completion's verbs and each verb's options, and the manual page's
// list of commands. A verb added to the program and not to them (or the other
// way round) fails here, by name.

#include "cli/verbs.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <vector>

namespace kv {
namespace {

using Words = std::set<std::string>;

std::vector<std::string> linesOf(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << path;
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (line.ends_with('\r'))
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

Words wordsOf(const std::string& text, char separator = ' ')
{
    Words words;
    std::istringstream in(text);
    for (std::string word; std::getline(in, word, separator);) {
        word.erase(0, word.find_first_not_of(" \t"));
        word.erase(word.find_last_not_of(" \t") + 1);
        if (!word.empty())
            words.insert(word);
    }
    return words;
}

struct Completion
{
    Words verbs;                          // local verbs="..."
    std::map<std::string, Words> options; // the options offered after a verb's name
    Words valueOptions;                   // those whose value is skipped when counting operands
};

Completion readCompletion()
{
    const std::regex verbList(R"re(^\s*local verbs="([^"]*)")re");
    const std::regex optionArm(R"re(^\s*([^)]*)\)\s*options="([^"]*)")re");
    const std::regex skipArm(R"re(^\s*([^)]*)\)\s*\(\(i\+\+\)\)\s*;;)re");
    Completion completion;
    std::smatch match;
    for (const std::string& line : linesOf(KV_CLI_COMPLETION)) {
        if (std::regex_search(line, match, verbList)) {
            completion.verbs = wordsOf(match[1]);
        } else if (std::regex_search(line, match, optionArm)) {
            for (const std::string& verb : wordsOf(match[1], '|')) {
                if (verb != "\"\"") // no verb yet: the program's own options
                    completion.options[verb] = wordsOf(match[2]);
            }
        } else if (std::regex_search(line, match, skipArm)) {
            completion.valueOptions = wordsOf(match[1], '|');
        }
    }
    return completion;
}

// The commands of the manual page's COMMANDS section: the first word of each
// tag at its outer level (options are tags indented within .RS and .RE).
Words readManualCommands()
{
    Words commands;
    bool inCommands = false;
    bool tagNext = false;
    int depth = 0;
    for (const std::string& line : linesOf(KV_CLI_MANUAL)) {
        if (line.starts_with(".SH")) {
            inCommands = line == ".SH COMMANDS";
            continue;
        }
        if (!inCommands)
            continue;
        if (line.starts_with(".RS"))
            ++depth;
        else if (line.starts_with(".RE"))
            --depth;
        if (tagNext) {
            tagNext = false;
            std::string tag = line.substr(std::min(line.find(' '), line.size()));
            tag = std::regex_replace(tag, std::regex(R"(\\f.|\\%|\\&)"), "");
            tag = std::regex_replace(tag, std::regex(R"(\\-)"), "-");
            tag.erase(0, tag.find_first_not_of(" \""));
            commands.insert(tag.substr(0, tag.find_first_of(" \"")));
        }
        tagNext = depth == 0 && line == ".TP";
    }
    return commands;
}

Words namesOf(std::span<const Option> options, bool valuesOnly = false)
{
    Words names;
    for (const Option& option : options) {
        if (valuesOnly && option.kind != Option::Kind::Value)
            continue;
        if (option.shortName)
            names.insert(std::string{'-', option.shortName});
        names.insert("--" + std::string(option.longName));
    }
    return names;
}

TEST(VerbRegistry, PackagingNamesTheVerbsAndOptionsTheProgramHas)
{
    const Completion completion = readCompletion();
    Words verbs;
    Words valueOptions;
    for (const Verb& verb : allVerbs()) {
        verbs.insert(std::string(verb.name));
        valueOptions.merge(namesOf(verb.options, true));
    }
    Words completed = verbs;
    completed.insert(std::string(HelpVerbName));

    struct Row
    {
        std::string what;
        Words packaged;
        Words registered;
    };
    std::vector<Row> rows = {
        {"the completion's verbs", completion.verbs, completed},
        {"the manual page's commands", readManualCommands(), verbs},
        {"the options whose value the completion skips", completion.valueOptions, valueOptions},
    };
    for (const Verb& verb : allVerbs()) {
        const auto found = completion.options.find(std::string(verb.name));
        rows.push_back({"the completion's options of " + std::string(verb.name),
                        found == completion.options.end() ? Words{} : found->second, namesOf(verb.options)});
    }
    for (const auto& [verb, options] : completion.options) {
        if (!verbs.contains(verb))
            rows.push_back({"the completion's options of " + verb, options, {}});
    }
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(row.packaged, row.registered);
    }
}

TEST(VerbRegistry, CommandListAlignsTheSummaries)
{
    const struct
    {
        std::vector<std::pair<std::string_view, std::string_view>> verbs; // name, summary
        std::string listed;
    } rows[] = {
        {{{"ls", "list"}, {"generate", "make one"}}, "  ls        list\n  generate  make one\n"},
        {{{"ls", "list"}, {"change-password", "change it"}}, "  ls               list\n  change-password  change it\n"},
    };
    for (const auto& row : rows) {
        std::vector<Verb> verbs;
        for (const auto& [name, summary] : row.verbs) {
            Verb verb;
            verb.name = name;
            verb.summary = summary;
            verbs.push_back(verb);
        }
        std::ostringstream out;
        writeCommandList(out, verbs);
        EXPECT_EQ(out.str(), row.listed);
    }
}

} // namespace
} // namespace kv
