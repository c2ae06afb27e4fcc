// Sealed files' headers and lines: any text reads without harm, none opens under
// a key it was not sealed with, and whatever is sealed opens to itself.

#include "fuzz_check.h"
#include "seal/sealing.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // One seal for the whole run, at the cheapest cost the bounds allow.
    static const kv::NewSeal seal = [] {
        std::optional<kv::NewSeal> made = kv::makeSeal("fuzz", kv::MinSealMemoryKiB, kv::MinSealPasses);
        KV_REQUIRE(made.has_value());
        return std::move(*made);
    }();
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    kv::SealHeader header;
    if (kv::readSealHeader(text, header) == kv::HeaderRead::Read) {
        KV_REQUIRE(header.line == text);
        KV_REQUIRE(header.memoryKiB >= kv::MinSealMemoryKiB && header.memoryKiB <= kv::MaxSealMemoryKiB);
        KV_REQUIRE(header.passes >= kv::MinSealPasses && header.passes <= kv::MaxSealPasses);
    }

    std::string plain;
    KV_REQUIRE(!kv::openLine(seal.key, seal.header, text, plain));
    KV_REQUIRE(plain.empty());

    std::string line;
    kv::sealLine(seal.key, seal.header, text, line);
    KV_REQUIRE(line.find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos);
    KV_REQUIRE(kv::openLine(seal.key, seal.header, line, plain));
    KV_REQUIRE(plain == text);
    return 0;
}
