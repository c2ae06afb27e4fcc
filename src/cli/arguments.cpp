#include "cli/arguments.h"

#include <algorithm>

namespace kv {

namespace {

bool isNumber(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

const OptionSpec* findLong(std::span<const OptionSpec> specs, std::string_view name)
{
    for (const OptionSpec& spec : specs) {
        if (spec.longName == name)
            return &spec;
    }
    return nullptr;
}

const OptionSpec* findShort(std::span<const OptionSpec> specs, char name)
{
    for (const OptionSpec& spec : specs) {
        if (spec.shortName != 0 && spec.shortName == name)
            return &spec;
    }
    return nullptr;
}

} // namespace

std::optional<std::string> parseArguments(std::span<const std::string> args, std::span<const OptionSpec> specs,
                                          Arguments& out)
{
    using Kind = OptionSpec::Kind;
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
            const OptionSpec* spec = findLong(specs, name);
            if (!spec)
                return "unknown option '--" + std::string(name) + "'";
            std::string value;
            if (equals != std::string_view::npos) {
                if (spec->kind == Kind::Flag)
                    return "option '--" + std::string(name) + "' takes no value";
                value = body.substr(equals + 1);
                if (spec->kind == Kind::OptionalNumber && !isNumber(value))
                    return "option '--" + std::string(name) + "' takes a number";
            } else if (spec->kind == Kind::Value) {
                if (!hasNext)
                    return "option '--" + std::string(name) + "' needs a value";
                value = args[++i];
            } else if (spec->kind == Kind::OptionalNumber && hasNext && isNumber(args[i + 1])) {
                value = args[++i];
            }
            out.options[std::string(spec->longName)] = value;
            continue;
        }
        // One or more short options bundled; a value ends the bundle.
        for (std::size_t at = 1; at < arg.size(); ++at) {
            const OptionSpec* spec = findShort(specs, arg[at]);
            if (!spec)
                return std::string("unknown option '-") + arg[at] + "'";
            std::string value;
            const std::string_view rest = std::string_view(arg).substr(at + 1);
            if (spec->kind == Kind::Value) {
                if (!rest.empty())
                    value = rest;
                else if (hasNext)
                    value = args[++i];
                else
                    return std::string("option '-") + arg[at] + "' needs a value";
                out.options[std::string(spec->longName)] = value;
                break;
            }
            if (spec->kind == Kind::OptionalNumber) {
                if (isNumber(rest))
                    value = rest;
                else if (!rest.empty())
                    return std::string("option '-") + arg[at] + "' takes a number";
                else if (hasNext && isNumber(args[i + 1]))
                    value = args[++i];
                out.options[std::string(spec->longName)] = value;
                break;
            }
            out.options[std::string(spec->longName)] = value;
        }
    }
    return std::nullopt;
}

} // namespace kv
