// A breach list searched where it lies: every line found, whatever its place and
// line ends, nothing found that is one digit off, and a file that is no list, or
// not sorted, refused rather than misread.

#include "storage/storage_test_support.h"
#include "vault/breach_list.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace kv {
namespace {

using Result = BreachLookup::Result;

std::string hexOf(const PasswordDigest& digest, bool lower)
{
    std::string hex;
    for (const std::uint8_t byte : digest) {
        hex += (lower ? "0123456789abcdef" : "0123456789ABCDEF")[byte >> 4];
        hex += (lower ? "0123456789abcdef" : "0123456789ABCDEF")[byte & 15];
    }
    return hex;
}

TEST(BreachList, FindsEveryLineAndNothingBesideIt)
{
    // Enough lines that a search narrows in many reads; some clustered, as a
    // list that is not spread evenly would be.
    std::mt19937_64 random(11);
    std::map<PasswordDigest, std::uint64_t> listed;
    while (listed.size() < 6000) {
        PasswordDigest digest;
        for (std::uint8_t& byte : digest)
            byte = static_cast<std::uint8_t>(random());
        if (listed.size() % 3 == 0)
            digest[0] = digest[1] = 0x7F;
        listed[digest] = 1 + random() % 1000000;
    }
    // The first, the last, some between, and each one's neighbours one digit off.
    std::vector<PasswordDigest> asked;
    std::vector<std::uint64_t> expected;
    const auto ask = [&](const PasswordDigest& digest) {
        asked.push_back(digest);
        const auto found = listed.find(digest);
        expected.push_back(found == listed.end() ? 0 : found->second);
    };
    std::size_t index = 0;
    for (const auto& [digest, count] : listed) {
        if (index++ % 97 != 0 && index != listed.size())
            continue;
        ask(digest);
        for (const int change : {-1, 1}) {
            PasswordDigest off = digest;
            off[19] = static_cast<std::uint8_t>(off[19] + change);
            ask(off);
        }
    }
    ask(PasswordDigest{});
    PasswordDigest highest;
    highest.fill(0xFF);
    ask(highest);

    const struct
    {
        std::string_view form;
        std::string_view lineEnd;
        bool lower;
        bool finalLineEnd;
    } forms[] = {
        {"CR LF", "\r\n", false, true},
        {"LF", "\n", false, true},
        {"no line end after the last", "\r\n", false, false},
        {"lower case", "\n", true, true},
    };
    test::TestFolder folder;
    for (const auto& form : forms) {
        SCOPED_TRACE(form.form);
        std::string text;
        for (const auto& [digest, count] : listed)
            text += hexOf(digest, form.lower) + ":" + std::to_string(count) + std::string(form.lineEnd);
        if (!form.finalLineEnd)
            text.resize(text.size() - form.lineEnd.size());
        test::writeFile(folder / "list.txt", text);
        const BreachLookup lookup = lookUpBreaches(folder / "list.txt", asked);
        ASSERT_EQ(lookup.result, Result::Done);
        EXPECT_EQ(lookup.counts, expected);
    }
}

TEST(BreachList, RefusesWhatIsNoSortedList)
{
    // A thousand lines from 888...8000 to 888...8999, around the hash asked for
    // (forty 8s): in order but for the 887th, which is broken, and the other way round.
    const auto line = [](int n) { return std::string(37, '8') + std::to_string(1000 + n).substr(1) + ":1\r\n"; };
    std::string broken;
    std::string unsorted;
    for (int n = 0; n < 1000; ++n) {
        broken += n == 887 ? "not a line\r\n" : line(n);
        unsorted += line(999 - n);
    }
    const std::string low = std::string(40, '1') + ":5\r\n";
    const std::string high = std::string(40, 'E') + ":7\r\n";
    const struct
    {
        std::string_view what;
        std::string content; // nothing: a folder
        Result result;
    } rows[] = {
        {"an empty file", "", Result::NotAList},
        {"a text", "my passwords\nhunter2\n", Result::NotAList},
        {"a list of NTLM hashes", std::string(32, 'A') + ":3\r\n", Result::NotAList},
        {"the order reversed", high + low, Result::Unsorted},
        {"lines out of order", low + unsorted + high, Result::Unsorted},
        {"a broken line among them", low + broken + high, Result::NotAList},
        {"a folder", {}, Result::Unreadable},
    };
    test::TestFolder folder;
    PasswordDigest asked;
    asked.fill(0x88);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const std::filesystem::path file = folder / std::string(row.what);
        if (row.result == Result::Unreadable)
            std::filesystem::create_directory(file);
        else
            test::writeFile(file, row.content);
        EXPECT_EQ(lookUpBreaches(file, std::span(&asked, 1)).result, row.result);
    }
}

} // namespace
} // namespace kv
