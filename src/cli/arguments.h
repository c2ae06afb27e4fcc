#pragma once
// Options and operands as command-line programs take them: "-u NAME", "-uNAME",
// "--username NAME", "--username=NAME", flags bundled ("-sa password" is "-s -a
// password"), "--" before operands that begin with "-", options anywhere.

#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

struct Option
{
    enum class Kind {
        Flag,           // no value
        Value,          // a value always
        OptionalNumber, // a number when one follows ("-g 20", "-g20", "--generate=20"), else none
    };
    char shortName = 0; // 0: long form only
    std::string_view longName;
    Kind kind = Kind::Flag;
};

struct Arguments
{
    std::map<std::string, std::string, std::less<>> options; // by long name; a flag's value is empty
    std::vector<std::string> operands;

    bool has(std::string_view name) const { return options.find(name) != options.end(); }
    const std::string* value(std::string_view name) const
    {
        const auto found = options.find(name);
        return found == options.end() ? nullptr : &found->second;
    }
};

// Parses `args` against `options`. On a usage error returns what is wrong, in
// words for the user ("unknown option '-x'", "option '--format' needs a value").
std::optional<std::string> parseArguments(std::span<const std::string> args, std::span<const Option> options,
                                          Arguments& out);

} // namespace kv
