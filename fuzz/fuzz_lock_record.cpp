// The lock record's text: any deciphered text splits without harm, and stored
// credentials read back as the user typed them, less the spaces around them.

#include "fuzz_check.h"
#include "lock/lock_record.h"
#include "product/product.h"
#include "storage/ansi_text.h"
#include "storage/line_cipher.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

std::string withoutSpaces(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return std::string(s);
}

std::string textOf(const kv::LockFields& f)
{
    return f.credentials.user + "|" + f.credentials.password + "|" + f.continuation;
}

bool sameFields(const kv::LockFields& a, const kv::LockFields& b)
{
    return a.credentials == b.credentials && a.continuation == b.continuation;
}

void checkAnyText(std::string_view decoded)
{
    kv::LockFields fields;
    fields.continuation = "untouched";
    const bool read = kv::parseLockText(decoded, fields);
    KV_REQUIRE(read == (decoded.find('|') != std::string_view::npos));
    if (!read) {
        KV_REQUIRE(fields.continuation == "untouched" && fields.credentials.user.empty());
        return;
    }
    KV_REQUIRE(fields.credentials.user.find('|') == std::string::npos);
    KV_REQUIRE(fields.credentials.password.find('|') == std::string::npos);
    KV_REQUIRE(fields.continuation.empty() || fields.continuation.back() == '|');

    // Writing back what was read (as a password change does) reads the same.
    kv::LockFields again;
    KV_REQUIRE(kv::parseLockText(textOf(fields), again));
    KV_REQUIRE(sameFields(again, fields));
}

// user "|" password "|" continuation, taken from the input, through the cipher
// as the settings store holds it.
void checkStored(std::string_view input)
{
    const std::size_t first = input.find('|');
    const std::string_view user = input.substr(0, first);
    std::string_view rest = first == std::string_view::npos ? std::string_view() : input.substr(first + 1);
    const std::size_t second = rest.find('|');
    const std::string_view password = rest.substr(0, second);
    rest = second == std::string_view::npos ? std::string_view() : rest.substr(second + 1);
    const std::size_t last = rest.rfind('|');
    const std::string_view continuation =
        last == std::string_view::npos ? std::string_view() : rest.substr(0, last + 1);

    kv::LockFields fields;
    KV_REQUIRE(
        kv::parseLockText(std::string(user) + "|" + std::string(password) + "|" + std::string(continuation), fields));
    KV_REQUIRE(fields.credentials.user == withoutSpaces(user));
    KV_REQUIRE(fields.credentials.password == withoutSpaces(password));
    KV_REQUIRE(fields.continuation == continuation);

    const std::string text = kv::ansiToUtf8(textOf(fields));
    kv::LockFields stored;
    KV_REQUIRE(kv::parseLockText(kv::DecodeLine(kv::EncodeLine(text, kv::AppTitle), kv::AppTitle), stored));
    KV_REQUIRE(stored.credentials.user == kv::ansiToUtf8(fields.credentials.user));
    KV_REQUIRE(stored.credentials.password == kv::ansiToUtf8(fields.credentials.password));
    KV_REQUIRE(stored.continuation == kv::ansiToUtf8(fields.continuation));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    checkAnyText(input);
    checkStored(input);
    return 0;
}
