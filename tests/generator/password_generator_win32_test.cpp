// On Windows the generator must draw from the system's preferred random source,
// BCryptGenRandom. The test swaps this program's import of that function for a
// spy, so it sees every request and can hand out chosen bytes.

#include "generator/password_generator.h"

#include <gtest/gtest.h>

// clang-format off
#include <windows.h>
#include <bcrypt.h>
// clang-format on

#include <cstring>
#include <string>
#include <system_error>
#include <vector>

namespace kv {
namespace {

using GenRandom = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE, PUCHAR, ULONG, ULONG);

// The import address table slot through which this program calls `function` of `dll`.
void** importSlot(const char* dll, const char* function)
{
    auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0)
        return nullptr;
    for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); entry->Name != 0;
         ++entry) {
        if (::lstrcmpiA(reinterpret_cast<const char*>(base + entry->Name), dll) != 0 || entry->OriginalFirstThunk == 0)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
                return reinterpret_cast<void**>(&slots->u1.Function);
        }
    }
    return nullptr;
}

// What the spy saw and what it hands out. One spy at a time; tests in one
// process run one after another.
struct SpyState
{
    GenRandom real = nullptr;
    int calls = 0;
    bool allRequestsForSystemRng = true;
    std::vector<unsigned char> script; // handed out first, in order
    std::size_t next = 0;
    bool forwardAfterScript = true; // otherwise 255, which the generator always throws away
    NTSTATUS failWith = 0;
};
SpyState spy;

NTSTATUS WINAPI spyGenRandom(BCRYPT_ALG_HANDLE algorithm, PUCHAR buffer, ULONG size, ULONG flags)
{
    ++spy.calls;
    if (algorithm != nullptr || flags != BCRYPT_USE_SYSTEM_PREFERRED_RNG)
        spy.allRequestsForSystemRng = false;
    if (spy.failWith != 0)
        return spy.failWith;
    ULONG filled = 0;
    for (; filled < size && spy.next < spy.script.size(); ++filled)
        buffer[filled] = spy.script[spy.next++];
    if (filled == size)
        return 0;
    if (spy.forwardAfterScript)
        return spy.real(algorithm, buffer + filled, size - filled, flags);
    if (spy.calls > 1000)
        return static_cast<NTSTATUS>(0xC0000001); // a generator that never stops asking: end it
    std::memset(buffer + filled, 255, size - filled);
    return 0;
}

class BCryptSpy
{
public:
    BCryptSpy() : m_slot(importSlot("bcrypt.dll", "BCryptGenRandom"))
    {
        if (m_slot == nullptr)
            return;
        spy = SpyState{};
        spy.real = reinterpret_cast<GenRandom>(*m_slot);
        swap(reinterpret_cast<void*>(&spyGenRandom));
    }
    BCryptSpy(const BCryptSpy&) = delete;
    BCryptSpy& operator=(const BCryptSpy&) = delete;
    ~BCryptSpy()
    {
        if (m_slot != nullptr)
            swap(reinterpret_cast<void*>(spy.real));
    }

    bool installed() const { return m_slot != nullptr; }

private:
    void swap(void* function)
    {
        DWORD old = 0;
        ::VirtualProtect(m_slot, sizeof *m_slot, PAGE_READWRITE, &old);
        *m_slot = function;
        ::VirtualProtect(m_slot, sizeof *m_slot, old, &old);
    }

    void** m_slot;
};

std::vector<unsigned char> bytes(std::initializer_list<int> values)
{
    std::vector<unsigned char> out;
    for (const int v : values)
        out.push_back(static_cast<unsigned char>(v));
    return out;
}

TEST(GeneratePasswordWin32, EveryCharacterComesFromBCryptGenRandom)
{
    std::vector<unsigned char> eachOnce;
    for (int b = 0; b < 34; ++b)
        eachOnce.push_back(static_cast<unsigned char>(b));
    const std::string alphabet = "12345678ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    const struct
    {
        const char* what;
        std::vector<unsigned char> script;
        int length;
        std::string expected;
    } cases[] = {
        {"bytes 0..33 give the alphabet in order", eachOnce, 34, alphabet},
        {"238 and above are thrown away", bytes({238, 255, 0, 250, 33, 239}), 2, "1Z"},
        {"below 238 wraps around the alphabet", bytes({34, 67, 68, 237, 100}), 5, "1Z1ZY"},
        {"a round of rejected bytes asks again", std::vector<unsigned char>(60, 255), 3, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        BCryptSpy installed;
        ASSERT_TRUE(installed.installed()) << "the program does not import BCryptGenRandom from bcrypt.dll";
        spy.script = c.script;
        spy.forwardAfterScript = c.expected.empty();
        const std::string password = GeneratePassword(c.length);
        EXPECT_GE(spy.calls, 1);
        EXPECT_TRUE(spy.allRequestsForSystemRng);
        if (c.expected.empty()) {
            // The scripted round gave nothing; the rest came from the real source.
            EXPECT_EQ(spy.next, c.script.size());
            EXPECT_GE(spy.calls, 2);
            EXPECT_EQ(password.size(), static_cast<std::size_t>(c.length));
            EXPECT_EQ(password.find_first_not_of(alphabet), std::string::npos) << password;
        } else {
            EXPECT_EQ(password, c.expected);
        }
    }
}

// A failing system source must never fall back to something guessable.
TEST(GeneratePasswordWin32, FailingSourceGivesNoPassword)
{
    BCryptSpy installed;
    ASSERT_TRUE(installed.installed());
    spy.failWith = static_cast<NTSTATUS>(0xC0000001);
    EXPECT_THROW(GeneratePassword(16), std::system_error);
    EXPECT_EQ(spy.calls, 1);
}

} // namespace
} // namespace kv
