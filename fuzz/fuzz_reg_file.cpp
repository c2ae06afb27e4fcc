// The settings file: any text reads without harm and rewrites to what it read,
// and storing one of our values keeps every other value and every untouched line.
//
// The first input byte picks the case. Even: the rest is the file as found, up to
// a zero byte; after it comes the text to store. Odd: the rest drives a generator
// of well-formed files, the kind the program and the registry editor write; there
// a plain text value must always be stored.

#include "fuzz_check.h"
#include "settings/reg_file_document.h"
#include "settings/reg_file_syntax.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view OurKey = "Software\\Orvendale\\Keystead Vault";
constexpr std::uint32_t StringType = 1;

// How often a store was refused, printed when the run ends: refusals are allowed
// for hand-mangled files, but a rising share hints at a reader that gives up too early.
struct Refusals
{
    std::size_t tried = 0;
    std::size_t refused = 0;
    ~Refusals()
    {
        if (tried > 0)
            std::fprintf(stderr, "note: setValue refused %zu of %zu on files as found\n", refused, tried);
    }
};
Refusals g_refusals;

// The store rewrites one value entry, or adds a line (with a section and a blank
// line before it when the key had none); every other line stays as it was.
// `replaceable` bounds the lines of the entry it may replace.
void checkOnlyValueChanged(std::string_view before, std::string_view after, std::size_t replaceable)
{
    const std::vector<std::string_view> old = kv::regfile::splitLines(before);
    const std::vector<std::string_view> now = kv::regfile::splitLines(after);
    std::size_t head = 0;
    while (head < old.size() && head < now.size() && old[head] == now[head])
        ++head;
    std::size_t tail = 0;
    while (tail < old.size() - head && tail < now.size() - head &&
           old[old.size() - 1 - tail] == now[now.size() - 1 - tail])
        ++tail;
    KV_REQUIRE(now.size() - head - tail <= 3);
    KV_REQUIRE(old.size() - head - tail <= replaceable);
}

// Stores `text` as `name` and checks what a reader of the new file finds.
bool store(kv::RegFileDocument& doc, std::string_view name, std::string_view text, std::size_t replaceable)
{
    const std::string bytes = std::string(text) + '\0';
    const std::string before = doc.text();
    const kv::RegFileDocument::Values values = doc.values();
    if (!doc.setValue(OurKey, name, StringType, bytes)) {
        KV_REQUIRE(doc.text() == before);
        return false;
    }
    const std::string after = doc.text();
    const kv::RegFileDocument reread = kv::RegFileDocument::parse(after);
    kv::RegFileDocument::Values expected = values;
    expected[{"SOFTWARE\\ORVENDALE\\KEYSTEAD VAULT", std::string(name)}] = {StringType, bytes};
    KV_REQUIRE(reread.values() == expected);
    KV_REQUIRE(doc.values() == expected);
    std::uint32_t type = 0;
    std::string found;
    KV_REQUIRE(reread.findValue(OurKey, name, type, found) && type == StringType && found == bytes);
    KV_REQUIRE(reread.text() == after);
    checkOnlyValueChanged(before, after, replaceable);
    return true;
}

void checkAsFound(std::string_view input)
{
    const std::size_t zero = input.find('\0');
    const std::string_view file = input.substr(0, zero);
    const std::string_view text = zero == std::string_view::npos ? "True" : input.substr(zero + 1);

    kv::RegFileDocument doc = kv::RegFileDocument::parse(file);
    const std::string written = doc.text();
    const kv::RegFileDocument reread = kv::RegFileDocument::parse(written);
    KV_REQUIRE(reread.values() == doc.values());
    KV_REQUIRE(reread.text() == written);

    static constexpr std::string_view Names[] = {"101", "102", "103", ""};
    const std::string_view name = Names[(file.empty() ? 0 : static_cast<unsigned char>(file.back())) % 4];
    ++g_refusals.tried;
    if (!store(doc, name, text, SIZE_MAX))
        ++g_refusals.refused;
}

// Reads the fuzz input as choices for a generator of well-formed files.
class Choices
{
public:
    explicit Choices(std::string_view data) : m_data(data) {}
    bool empty() const { return m_data.empty(); }
    unsigned next()
    {
        if (m_data.empty())
            return 0;
        const auto b = static_cast<unsigned char>(m_data.front());
        m_data.remove_prefix(1);
        return b;
    }
    // Printable ASCII, quotes and backslashes included.
    std::string plainText()
    {
        std::string text;
        for (unsigned n = next() % 24; n > 0; --n)
            text += static_cast<char>(' ' + next() % 95);
        return text;
    }
    std::string hexBytes(std::string_view eol)
    {
        static constexpr char Digits[] = "0123456789abcdef";
        std::string list;
        const unsigned count = next() % 40;
        for (unsigned i = 0; i < count; ++i) {
            const unsigned b = next();
            if (i > 0)
                list += i % 16 == 0 ? std::string(",\\") + std::string(eol) + "  " : ",";
            list += Digits[b >> 4];
            list += Digits[b & 0xF];
        }
        return list;
    }

private:
    std::string_view m_data;
};

std::string quotedName(std::string_view name)
{
    return name.empty() ? "@" : "\"" + std::string(name) + "\"";
}

std::string escaped(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out;
}

void checkWellFormed(std::string_view input)
{
    Choices choose(input);
    const std::string eol = choose.next() % 2 == 0 ? "\r\n" : "\n";
    static constexpr std::string_view Names[] = {"101", "102", "103", "", "Other", "1010"};
    static constexpr std::string_view Sections[] = {
        "[HKEY_CURRENT_USER\\Software\\Orvendale\\Keystead Vault]",
        "[HKEY_CURRENT_USER\\SOFTWARE\\orvendale\\keystead vault\\]",
        "[HKEY_CURRENT_USER\\Software\\Orvendale]",
        "[HKEY_CURRENT_USER\\Software\\Orvendale\\Keystead Vault\\Sub]",
        "[HKEY_LOCAL_MACHINE\\Software\\Orvendale\\Keystead Vault]",
        "[-HKEY_CURRENT_USER\\Software\\Other]",
    };
    std::string file = "REGEDIT4" + eol + eol;
    while (!choose.empty()) {
        const std::string name = quotedName(Names[choose.next() % 6]);
        switch (choose.next() % 8) {
        case 0:
            file += eol + std::string(Sections[choose.next() % 6]) + eol;
            break;
        case 1:
            file += name + "=\"" + escaped(choose.plainText()) + "\"" + eol;
            break;
        case 2:
            file += name + "=dword:" + std::to_string(10000000 + choose.next()) + eol;
            break;
        case 3:
            file += name + "=hex:" + choose.hexBytes(eol) + eol;
            break;
        case 4:
            file += name + "=hex(2):" + choose.hexBytes(eol) + eol;
            break;
        case 5:
            file += name + "=-" + eol;
            break;
        case 6:
            file += "; " + choose.plainText() + eol;
            break;
        default:
            file += eol;
            break;
        }
    }

    kv::RegFileDocument doc = kv::RegFileDocument::parse(file);
    KV_REQUIRE(doc.text() == file);
    // The value to store comes from the input's first bytes, which also shaped
    // the file; a replaced entry is at most a hex list of three lines.
    static constexpr std::string_view Ours[] = {"101", "102", "103"};
    Choices value(input);
    const std::string_view name = Ours[value.next() % 3];
    KV_REQUIRE(store(doc, name, value.plainText(), 3));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] % 2 == 0)
        checkAsFound(input);
    else
        checkWellFormed(input);
    return 0;
}
