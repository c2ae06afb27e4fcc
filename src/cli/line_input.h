#pragma once
// Lines of standard input or of the terminal, read one character at a time
// straight from the system: no buffer of the C library or of the streams is left
// holding what was typed (a password) once it has been taken, and a line that
// outgrows its buffer leaves no copy of itself behind.

#include "seal/secret_bytes.h"

#include <optional>
#include <string>
#include <utility>

namespace kv {

// The next line from `readOne` (bool(Char&), false at the end of input), without
// its line end (LF, or CR LF); nothing when the input had ended before it.
template <typename Char, typename ReadOne> std::optional<std::basic_string<Char>> readLineWith(ReadOne readOne)
{
    std::basic_string<Char> line;
    line.reserve(255);
    Char c{};
    bool any = false;
    while (readOne(c)) {
        any = true;
        if (c == Char('\n'))
            break;
        if (line.size() == line.capacity()) {
            std::basic_string<Char> larger;
            larger.reserve(line.capacity() * 2);
            larger.assign(line);
            wipe(line);
            line.swap(larger);
        }
        line.push_back(c);
    }
    wipeBytes(&c, sizeof c);
    if (!any)
        return std::nullopt;
    if (!line.empty() && line.back() == Char('\r'))
        line.pop_back();
    std::optional<std::basic_string<Char>> taken(std::move(line));
    wipe(line);
    return taken;
}

} // namespace kv
