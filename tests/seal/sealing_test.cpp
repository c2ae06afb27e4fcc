// Sealed lines and the header that makes their key: what opens, what does not,
// and how a header that will not do is told apart.

#include "seal/sealing.h"
#include "storage/line_seal.h"

#include <gtest/gtest.h>
#include <sodium.h>

#include <set>

namespace kv {
namespace {

// The cheapest seal the bounds allow: tests derive keys often.
NewSeal cheapSeal(std::string_view password)
{
    std::optional<NewSeal> seal = makeSeal(password, MinSealMemoryKiB, MinSealPasses);
    if (!seal)
        throw std::runtime_error("no seal");
    return std::move(*seal);
}

// `text` with the sum a header carries at its end.
std::string withSum(const std::string& text)
{
    unsigned char sum[16];
    crypto_generichash(sum, sizeof sum, reinterpret_cast<const unsigned char*>(text.data()), text.size(), nullptr, 0);
    char hex[33];
    sodium_bin2hex(hex, sizeof hex, sum, sizeof sum);
    return text + " sum=" + hex;
}

TEST(Sealing, ALineOpensOnlyUnderItsOwnKeyAndHeader)
{
    const NewSeal seal = cheapSeal("correct horse");
    SealHeader header;
    ASSERT_EQ(readSealHeader(seal.header.line, header), HeaderRead::Read);
    EXPECT_EQ(header, seal.header);
    SecretBytes key;
    EXPECT_EQ(openSeal(header, "correct hors", key), KeyResult::WrongPassword);
    ASSERT_EQ(openSeal(header, "correct horse", key), KeyResult::Opened);
    EXPECT_EQ(key.view(), seal.key.view());

    const std::string plain = "mail|ann|s3cret|home|https://m.example|12-08-2026 10:00:00|";
    std::set<std::string> lines;
    for (int i = 0; i < 3; ++i) {
        std::string line;
        sealLine(key, header, plain, line);
        EXPECT_NE(line.find_first_not_of("0123456789ABCDEFabcdef"), std::string::npos);
        EXPECT_EQ(line.find(plain.substr(0, 4)), std::string::npos);
        std::string opened;
        ASSERT_TRUE(openLine(key, header, line, opened));
        EXPECT_EQ(opened, plain);
        lines.insert(line);
    }
    EXPECT_EQ(lines.size(), 3u) << "a fresh nonce for every line";

    const std::string line = *lines.begin();
    const NewSeal other = cheapSeal("correct horse"); // its own salt, so its own key
    SealHeader moved = header;
    moved.line += ' '; // the same key, another header
    std::string flipped = line;
    flipped[flipped.size() / 2] = flipped[flipped.size() / 2] == 'A' ? 'B' : 'A';
    const struct
    {
        const char* what;
        const SecretBytes& key;
        const SealHeader& header;
        std::string line;
    } refused[] = {
        {"another file's key", other.key, other.header, line},
        {"the same key under another header", key, moved, line},
        {"a character changed", key, header, flipped},
        {"cut short", key, header, line.substr(0, line.size() - 3)},
        {"no more than a nonce", key, header, line.substr(0, 30)},
        {"not a sealed line", key, header, "4D61696C"},
        {"empty", key, header, ""},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.what);
        std::string opened = "left over";
        EXPECT_FALSE(openLine(c.key, c.header, c.line, opened));
        EXPECT_EQ(opened.find("s3cret"), std::string::npos);
    }
}

TEST(Sealing, AHeaderThatWillNotDoSaysWhy)
{
    const NewSeal seal = cheapSeal("pw");
    const std::string good = seal.header.line;
    const std::string salt = good.substr(good.find(" salt="), 6 + 32);
    const std::string check = good.substr(good.find(" check="), 7 + 64);
    const auto header = [&](std::string_view version, std::string_view algorithm, std::string_view cost) {
        return withSum("*KVSEAL " + std::string(version) + ' ' + std::string(algorithm) + ' ' + std::string(cost) +
                       salt + check);
    };
    std::string changed = good;
    changed[good.find("salt=") + 5] = changed[good.find("salt=") + 5] == '0' ? '1' : '0';
    const struct
    {
        std::string line;
        HeaderRead read;
    } cases[] = {
        {good, HeaderRead::Read},
        {header("1", "argon2id", "m=65536 t=3"), HeaderRead::Read},
        {header("1", "argon2id", "m=1048576 t=32"), HeaderRead::Read},
        {changed, HeaderRead::Damaged},
        {good.substr(0, good.size() - 1), HeaderRead::Damaged},
        {good.substr(0, good.find(" check=")) + good.substr(good.find(" sum=")), HeaderRead::Damaged},
        {header("1", "argon2id", "m=+65536 t=3"), HeaderRead::Damaged},
        {header("1", "argon2id", "m=99999999999999999999999 t=3"), HeaderRead::Damaged},
        {header("2", "argon2id", "m=65536 t=3"), HeaderRead::Unsupported},
        {header("1", "scrypt", "m=65536 t=3"), HeaderRead::Unsupported},
        {header("1", "argon2id", "m=65535 t=3"), HeaderRead::OutOfBounds},
        {header("1", "argon2id", "m=1048577 t=3"), HeaderRead::OutOfBounds},
        {header("1", "argon2id", "m=65536 t=2"), HeaderRead::OutOfBounds},
        {header("1", "argon2id", "m=65536 t=33"), HeaderRead::OutOfBounds},
        {"*KVSEAL", HeaderRead::Damaged},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_TRUE(isSealMarked(c.line));
        SealHeader read;
        EXPECT_EQ(readSealHeader(c.line, read), c.read);
    }
    EXPECT_FALSE(isSealMarked("2A4B5C"));
    // Outside the bounds nothing is even tried.
    EXPECT_FALSE(makeSeal("pw", MinSealMemoryKiB - 1, MinSealPasses));
    EXPECT_FALSE(makeSeal("pw", MinSealMemoryKiB, MaxSealPasses + 1));
}

} // namespace
} // namespace kv
