// Record lines: any deciphered text splits without harm, and a line rebuilt from
// its record keeps every field the loader read.

#include "fuzz_check.h"
#include "storage/record_line.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

constexpr std::size_t Fields = 6;

const std::string* fieldAt(const kv::Record& r, std::size_t i)
{
    const std::string* fields[Fields] = {&r.service, &r.username, &r.password, &r.comments, &r.address, &r.recorded};
    return fields[i];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const kv::Record record = kv::ParseRecordLine(line);
    KV_REQUIRE(record.keptLine.empty());
    for (std::size_t i = 0; i < Fields; ++i)
        KV_REQUIRE(fieldAt(record, i)->find('|') == std::string::npos);

    // The line up to its sixth "|" (or its last, when it has fewer), with the
    // missing bars added, is what a rebuild must give.
    std::size_t bars = 0;
    std::size_t end = 0;
    for (std::size_t i = 0; i < line.size() && bars < Fields; ++i) {
        if (line[i] == '|') {
            ++bars;
            end = i + 1;
        }
    }
    const std::string expected = std::string(line.substr(0, end)) + std::string(Fields - bars, '|');
    const std::string rebuilt = kv::BuildRecordLine(record);
    KV_REQUIRE(rebuilt == expected);

    KV_REQUIRE(kv::ParseRecordLine(rebuilt) == record);
    return 0;
}
