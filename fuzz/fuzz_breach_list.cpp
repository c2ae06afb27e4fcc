// The breach list's search: any file is searched without harm, and one that is a
// sorted list gives, for every hash it holds and each one beside them, what a
// plain reading of every line gives.

#include "fuzz_check.h"
#include "vault/breach_list.h"

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

// A line as the format has it, read plainly: 40 hex digits, ":", a count of at
// most 20 digits that 64 bits hold, a CR allowed before the line feed.
std::optional<std::pair<kv::PasswordDigest, std::uint64_t>> plainLine(std::string_view text)
{
    if (!text.empty() && text.back() == '\r')
        text.remove_suffix(1);
    if (text.size() < 42 || text.size() > 61 || text[40] != ':')
        return std::nullopt;
    kv::PasswordDigest digest{};
    for (std::size_t i = 0; i < 40; ++i) {
        const char c = text[i];
        const int value = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                 : -1;
        if (value < 0)
            return std::nullopt;
        digest[i / 2] = static_cast<std::uint8_t>(digest[i / 2] << 4 | value);
    }
    unsigned __int128 count = 0;
    for (const char c : text.substr(41)) {
        if (c < '0' || c > '9')
            return std::nullopt;
        count = count * 10 + static_cast<unsigned>(c - '0');
    }
    if (count > UINT64_MAX)
        return std::nullopt;
    return std::pair{digest, static_cast<std::uint64_t>(count)};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The search reads a file: each input is written to one of this process's own.
    static const std::string file = [] {
        static std::string name =
            (std::filesystem::temp_directory_path() / ("kv-fuzz-breach-list-" + std::to_string(::getpid()) + ".txt"))
                .string();
        std::atexit([] { std::remove(name.c_str()); });
        return name;
    }();
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::ofstream(file, std::ios::binary | std::ios::trunc).write(text.data(), static_cast<std::streamsize>(size));

    // Every line read plainly; whether they make a sorted list; the counts of each hash.
    bool sortedList = !text.empty();
    std::map<kv::PasswordDigest, std::vector<std::uint64_t>> counts;
    std::optional<kv::PasswordDigest> previous;
    for (std::size_t begin = 0; begin < text.size() && sortedList;) {
        const std::size_t end = std::min(text.find('\n', begin), text.size());
        const auto line = plainLine(text.substr(begin, end - begin));
        sortedList = line && (!previous || !(line->first < *previous));
        if (line) {
            counts[line->first].push_back(line->second);
            previous = line->first;
        }
        begin = end + 1;
    }
    // Each hash of the file's lines and its neighbours, and the two ends.
    std::vector<kv::PasswordDigest> asked;
    for (const auto& [digest, seen] : counts) {
        asked.push_back(digest);
        for (const int change : {-1, 1}) {
            kv::PasswordDigest beside = digest;
            beside[19] = static_cast<std::uint8_t>(beside[19] + change);
            asked.push_back(beside);
        }
    }
    asked.push_back(kv::PasswordDigest{});
    kv::PasswordDigest highest;
    highest.fill(0xFF);
    asked.push_back(highest);

    const kv::BreachLookup lookup = kv::lookUpBreaches(file, asked);
    if (!sortedList)
        return 0;
    KV_REQUIRE(lookup.result == kv::BreachLookup::Result::Done);
    KV_REQUIRE(lookup.counts.size() == asked.size());
    for (std::size_t i = 0; i < asked.size(); ++i) {
        const auto found = counts.find(asked[i]);
        if (found == counts.end()) {
            KV_REQUIRE(lookup.counts[i] == 0);
        } else {
            // Of a hash listed more than once, any of its lines may be the one found.
            KV_REQUIRE(std::find(found->second.begin(), found->second.end(), lookup.counts[i]) != found->second.end());
        }
    }
    return 0;
}
