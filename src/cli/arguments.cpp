#include "cli/arguments.h"

#include <algorithm>

namespace kv {

namespace {

bool isNumber(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

const Option* findLong(std::span<const Option> options, std::string_view name)
{
    for (const Option& option : options) {
        if (option.longName == name)
            return &option;
    }
    return nullptr;
}

const Option* findShort(std::span<const Option> options, char name)
{
    for (const Option& option : options) {
        if (option.shortName != 0 && option.shortName == name)
            return &option;
    }
    return nullptr;
}

} // namespace

std::optional<std::string> parseArguments(std::span<const std::string> args, std::span<const Option> options,
                                          Arguments& out)
{
    using Kind = Option::Kind;
    bool operandsOnly = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (operandsOnly || arg.size() < 2 || arg[0] != '-') {
            out.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            operandsOnly = true;
            continue;
        }
        const bool hasNext = i + 1 < args.size();
        if (arg[1] == '-') {
            const std::string_view body = std::string_view(arg).substr(2);
            const std::size_t equals = body.find('=');
            const std::string_view name = body.substr(0, equals);
            const Option* option = findLong(options, name);
            if (!option)
                return "unknown option '--" + std::string(name) + "'";
            std::string value;
            if (equals != std::string_view::npos) {
                if (option->kind == Kind::Flag)
                    return "option '--" + std::string(name) + "' takes no value";
                value = body.substr(equals + 1);
                if (option->kind == Kind::OptionalNumber && !isNumber(value))
                    return "option '--" + std::string(name) + "' takes a number";
            } else if (option->kind == Kind::Value) {
                if (!hasNext)
                    return "option '--" + std::string(name) + "' needs a value";
                value = args[++i];
            } else if (option->kind == Kind::OptionalNumber && hasNext && isNumber(args[i + 1])) {
                value = args[++i];
            }
            out.options[std::string(option->longName)] = value;
            continue;
        }
        // One or more short options bundled; a value ends the bundle.
        for (std::size_t at = 1; at < arg.size(); ++at) {
            const Option* option = findShort(options, arg[at]);
            if (!option)
                return std::string("unknown option '-") + arg[at] + "'";
            std::string value;
            const std::string_view rest = std::string_view(arg).substr(at + 1);
            if (option->kind == Kind::Value) {
                if (!rest.empty())
                    value = rest;
                else if (hasNext)
                    value = args[++i];
                else
                    return std::string("option '-") + arg[at] + "' needs a value";
                out.options[std::string(option->longName)] = value;
                break;
            }
            if (option->kind == Kind::OptionalNumber) {
                if (isNumber(rest))
                    value = rest;
                else if (!rest.empty())
                    return std::string("option '-") + arg[at] + "' takes a number";
                else if (hasNext && isNumber(args[i + 1]))
                    value = args[++i];
                out.options[std::string(option->longName)] = value;
                break;
            }
            out.options[std::string(option->longName)] = value;
        }
    }
    return std::nullopt;
}

} // namespace kv
