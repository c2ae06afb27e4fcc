#pragma once
// Shared by the storage tests: a private temporary folder per test, whole-file
// reads and writes, and a FileOps double that makes one chosen operation fail.

#include "faulty_file_ops.h"
#include "storage/file_ops.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace kv::test {

// A fresh empty folder under the system's temporary folder, removed again with
// everything in it when the test ends.
class TestFolder
{
public:
    TestFolder()
    {
        static std::atomic<unsigned> counter{0};
        std::random_device device;
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = "kv-storage-";
        if (info != nullptr)
            name += std::string(info->name()) + "-";
        for (char& c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-')
                c = '_';
        }
        name += std::to_string(device()) + "-" + std::to_string(counter++) + "-" +
                std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
        m_path = std::filesystem::temp_directory_path() / name;
        std::filesystem::create_directories(m_path);
    }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;
    ~TestFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

    // The names of the files in the folder, sorted.
    std::vector<std::string> names() const
    {
        std::vector<std::string> result;
        for (const auto& entry : std::filesystem::directory_iterator(m_path))
            result.push_back(entry.path().filename().string());
        std::sort(result.begin(), result.end());
        return result;
    }

private:
    std::filesystem::path m_path;
};

inline std::string readFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::filesystem::path& file, const std::string& bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
}

#ifndef _WIN32
// Permission bits of a file (rwx for user, group, others).
inline unsigned modeOf(const std::filesystem::path& file)
{
    struct stat st = {};
    if (::stat(file.c_str(), &st) != 0)
        return 0xFFFF;
    return st.st_mode & 0777;
}

// Sets a umask for the test's lifetime, so that a file created without an explicit
// private mode would show up as group- or world-readable.
class ScopedUmask
{
public:
    explicit ScopedUmask(mode_t mask) : m_old(::umask(mask)) {}
    ~ScopedUmask() { ::umask(m_old); }

private:
    mode_t m_old;
};
#endif

} // namespace kv::test
