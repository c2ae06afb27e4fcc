#include "vault/breach_list.h"

#include "vault/file_range.h"

#include <algorithm>
#include <limits>
#include <numeric>
#include <optional>
#include <string_view>

namespace kv {

namespace {

using Result = BreachLookup::Result;

// What one read takes around a guess: some sixty lines of the list.
constexpr std::size_t BlockSize = 4096;
// Past this a first line is no line of the list (one is 42 to 63 bytes).
constexpr std::size_t LongestLine = 128;

struct Line
{
    PasswordDigest key{};
    std::uint64_t count = 0;
};

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// "HASH:COUNT", a CR before the line feed allowed.
std::optional<Line> parseLine(std::string_view text)
{
    if (!text.empty() && text.back() == '\r')
        text.remove_suffix(1);
    constexpr std::size_t HexDigits = 2 * std::tuple_size_v<PasswordDigest>;
    if (text.size() <= HexDigits + 1 || text[HexDigits] != ':')
        return std::nullopt;
    Line line;
    for (std::size_t i = 0; i < line.key.size(); ++i) {
        const int high = hexValue(text[2 * i]);
        const int low = hexValue(text[2 * i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        line.key[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    // A count as 64 bits hold it: at most 20 digits.
    const std::string_view count = text.substr(HexDigits + 1);
    if (count.size() > 20)
        return std::nullopt;
    constexpr std::uint64_t Most = std::numeric_limits<std::uint64_t>::max();
    for (const char c : count) {
        if (c < '0' || c > '9')
            return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (line.count > (Most - digit) / 10)
            return std::nullopt;
        line.count = line.count * 10 + digit;
    }
    return line;
}

// Where a hash stands between the least and the greatest, from its first eight
// bytes: hashes are spread evenly, so this guesses its place in the file well.
double fractionOf(const PasswordDigest& key)
{
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < 8; ++i)
        value = value << 8 | key[i];
    return static_cast<double>(value) / 18446744073709551616.0;
}

// What the search knows: the hash, if there, is on a line that starts in
// [lo, hi). Both are line starts (or the file's end); the line before lo holds
// loKey and the line at hi hiKey, where the search has read them.
struct Bracket
{
    std::uint64_t lo = 0;
    std::uint64_t hi = 0;
    std::optional<PasswordDigest> loKey;
    std::optional<PasswordDigest> hiKey;
};

class Search
{
public:
    explicit Search(FileRange& file) : m_file(file), m_buffer(BlockSize + 1) {}

    Result failure() const { return m_failure; }
    std::uint64_t where() const { return m_where; }

    // Whether the file starts with a line of the list.
    bool startsAsAList()
    {
        std::size_t got = 0;
        if (!m_file.read(0, m_buffer.data(), std::min<std::size_t>(LongestLine, m_buffer.size()), got))
            return fail(Result::Unreadable, 0);
        const std::string_view head(m_buffer.data(), got);
        const std::size_t end = head.find('\n');
        if (end == std::string_view::npos && got < m_file.size())
            return fail(Result::NotAList, 0);
        return parseLine(head.substr(0, end)) ? true : fail(Result::NotAList, 0);
    }

    // How often the list has seen `key` (0: never); nothing when the search failed.
    // `bracket.lo` may start past 0 when every line before it is known to sort
    // before `key`.
    std::optional<std::uint64_t> find(const PasswordDigest& key, Bracket& bracket)
    {
        bool bisect = false;
        while (bracket.hi - bracket.lo > BlockSize) {
            const std::uint64_t span = bracket.hi - bracket.lo;
            // A guess from where the key falls between the bracket's keys, or the
            // middle when guessing has stopped halving the bracket (a list whose
            // hashes are not spread evenly).
            std::uint64_t centre = bracket.lo + span / 2;
            if (!bisect) {
                const double low = bracket.loKey ? fractionOf(*bracket.loKey) : 0.0;
                const double high = bracket.hiKey ? fractionOf(*bracket.hiKey) : 1.0;
                const double at = high > low ? std::clamp((fractionOf(key) - low) / (high - low), 0.0, 1.0) : 0.5;
                centre = bracket.lo + std::min(span, static_cast<std::uint64_t>(at * static_cast<double>(span)));
            }
            std::uint64_t start = centre > bracket.lo + BlockSize / 2 ? centre - BlockSize / 2 : bracket.lo;
            start = std::min(start, bracket.hi - BlockSize);
            // From the byte before, which tells whether `start` begins a line.
            const bool atLineStart = start == bracket.lo;
            const std::uint64_t from = atLineStart ? start : start - 1;
            std::string_view block;
            if (!read(from, atLineStart ? BlockSize : BlockSize + 1, block))
                return std::nullopt;
            // The whole lines of the block: from its first line start to its last line feed.
            std::size_t first = 0;
            if (!atLineStart) {
                first = block.find('\n');
                if (first == std::string_view::npos)
                    return failed(Result::NotAList, from);
                ++first;
            }
            const std::size_t last = block.rfind('\n');
            if (last == std::string_view::npos || last < first)
                return failed(Result::NotAList, from + first);
            std::size_t lastBegin = first;
            if (last > first) {
                const std::size_t before = block.rfind('\n', last - 1);
                if (before != std::string_view::npos && before + 1 > first)
                    lastBegin = before + 1;
            }
            const std::optional<Line> head = lineAt(block, from, first);
            const std::optional<Line> tail = lineAt(block, from, lastBegin);
            if (!head || !tail)
                return std::nullopt;
            if (tail->key < head->key || (bracket.loKey && head->key < *bracket.loKey) ||
                (bracket.hiKey && *bracket.hiKey < tail->key))
                return failed(Result::Unsorted, from);
            if (key < head->key) {
                bracket.hi = from + first;
                bracket.hiKey = head->key;
            } else if (tail->key < key) {
                bracket.lo = from + last + 1;
                bracket.loKey = tail->key;
            } else {
                return findIn(block.substr(first, last + 1 - first), from + first, key, bracket);
            }
            bisect = bracket.hi - bracket.lo > span / 2;
        }
        std::string_view rest;
        if (!read(bracket.lo, static_cast<std::size_t>(bracket.hi - bracket.lo), rest))
            return std::nullopt;
        return findIn(rest, bracket.lo, key, bracket);
    }

private:
    bool fail(Result result, std::uint64_t where)
    {
        m_failure = result;
        m_where = where;
        return false;
    }
    std::nullopt_t failed(Result result, std::uint64_t where)
    {
        fail(result, where);
        return std::nullopt;
    }

    bool read(std::uint64_t offset, std::size_t count, std::string_view& out)
    {
        std::size_t got = 0;
        if (!m_file.read(offset, m_buffer.data(), count, got) || got != count)
            return fail(Result::Unreadable, offset);
        out = std::string_view(m_buffer.data(), got);
        return true;
    }

    // The line that starts at `begin` of `block` (read at `offset`).
    std::optional<Line> lineAt(std::string_view block, std::uint64_t offset, std::size_t begin)
    {
        const std::size_t end = block.find('\n', begin);
        std::optional<Line> line = parseLine(block.substr(begin, end == std::string_view::npos ? end : end - begin));
        if (!line)
            fail(Result::NotAList, offset + begin);
        return line;
    }

    // Every line of `lines` (whole lines, read at `offset`), which lie within the
    // bracket: the count of `key` there, or 0.
    std::optional<std::uint64_t> findIn(std::string_view lines, std::uint64_t offset, const PasswordDigest& key,
                                        const Bracket& bracket)
    {
        std::optional<PasswordDigest> previous = bracket.loKey;
        std::uint64_t count = 0;
        for (std::size_t begin = 0; begin < lines.size();) {
            const std::optional<Line> line = lineAt(lines, offset, begin);
            if (!line)
                return std::nullopt;
            if ((previous && line->key < *previous) || (bracket.hiKey && *bracket.hiKey < line->key))
                return failed(Result::Unsorted, offset + begin);
            if (line->key == key && count == 0)
                count = line->count;
            previous = line->key;
            const std::size_t end = lines.find('\n', begin);
            begin = end == std::string_view::npos ? lines.size() : end + 1;
        }
        return count;
    }

    FileRange& m_file;
    std::vector<char> m_buffer;
    Result m_failure = Result::Done;
    std::uint64_t m_where = 0;
};

} // namespace

BreachLookup lookUpBreaches(const std::filesystem::path& file, std::span<const PasswordDigest> digests)
{
    BreachLookup lookup;
    const std::unique_ptr<FileRange> range = FileRange::open(file);
    if (!range) {
        lookup.result = Result::Unreadable;
        return lookup;
    }
    Search search(*range);
    if (!search.startsAsAList()) {
        lookup.result = search.failure();
        lookup.where = search.where();
        return lookup;
    }
    // In order of hash, each once: the search of one starts where the one
    // before left off, and the same password in many entries costs one search.
    std::vector<std::size_t> order(digests.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return digests[a] < digests[b]; });
    lookup.counts.assign(digests.size(), 0);
    Bracket bracket;
    std::optional<std::uint64_t> count;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const PasswordDigest& key = digests[order[i]];
        if (i == 0 || digests[order[i - 1]] != key) {
            bracket.hi = range->size();
            bracket.hiKey.reset();
            count = search.find(key, bracket);
            if (!count) {
                lookup.result = search.failure();
                lookup.where = search.where();
                lookup.counts.clear();
                return lookup;
            }
        }
        lookup.counts[order[i]] = *count;
    }
    return lookup;
}

} // namespace kv
