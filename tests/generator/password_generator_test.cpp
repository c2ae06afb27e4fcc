#include "generator/password_generator.h"

#include <gtest/gtest.h>

#include <array>
#include <set>
#include <string>
#include <string_view>

namespace {

using kv::GeneratePassword;

// The digits 1 to 8 and the capitals A to Z, written out here rather than taken
// from the code under test.
constexpr std::string_view Alphabet = "12345678ABCDEFGHIJKLMNOPQRSTUVWXYZ";

TEST(GeneratePassword, GivesExactlyTheLengthFromTheAlphabet)
{
    for (const int length : {1, 16, 200, 32767}) {
        const std::string password = GeneratePassword(length);
        EXPECT_EQ(password.size(), static_cast<std::size_t>(length)) << "length " << length;
        EXPECT_EQ(password.find_first_not_of(Alphabet), std::string::npos) << password;
    }
    EXPECT_EQ(kv::PasswordAlphabet, Alphabet);
}

TEST(GeneratePassword, NothingBelowLengthOne)
{
    for (const int length : {0, -1, -32768})
        EXPECT_TRUE(GeneratePassword(length).empty()) << "length " << length;
}

// Passwords made one right after another must not repeat: a generator seeded from the clock would hand
// out the same password to calls within one tick.
TEST(GeneratePassword, CallsInQuickSuccessionDiffer)
{
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i)
        seen.insert(GeneratePassword(16));
    EXPECT_EQ(seen.size(), 1000u);
}

// Chi-square over the 34 characters of 340,000 draws. A fair source exceeds 130 (33 degrees of freedom)
// with a probability of about 2e-13, so this does not flake; taking a byte modulo 34 without rejecting
// the top 18 byte values gives about 1,500, and an off-by-one in the rejection bound about 200.
TEST(GeneratePassword, EveryCharacterEquallyLikely)
{
    constexpr int Draws = 340000;
    std::array<long, 256> counts{};
    for (const char c : GeneratePassword(Draws))
        ++counts[static_cast<unsigned char>(c)];

    const double expected = static_cast<double>(Draws) / Alphabet.size();
    double chiSquare = 0;
    for (const char c : Alphabet) {
        const double deviation = counts[static_cast<unsigned char>(c)] - expected;
        chiSquare += deviation * deviation / expected;
    }
    EXPECT_LT(chiSquare, 130.0);
}

} // namespace
