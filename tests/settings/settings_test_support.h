#pragma once
// Shared by the settings and lock tests: a private temporary folder per test,
// whole-file reads and writes, and a file system whose rename always fails.

#include "storage/file_ops.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace kv::test {

class SettingsFolder
{
public:
    SettingsFolder()
    {
        static std::atomic<unsigned> counter{0};
        std::random_device device;
        m_path = std::filesystem::temp_directory_path() /
                 ("kv-settings-" + std::to_string(device()) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(m_path);
    }
    SettingsFolder(const SettingsFolder&) = delete;
    SettingsFolder& operator=(const SettingsFolder&) = delete;
    ~SettingsFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }
    std::size_t fileCount() const
    {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(m_path), {}));
    }

private:
    std::filesystem::path m_path;
};

inline std::string slurp(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void spit(const std::filesystem::path& file, const std::string& bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// The real file system, except that no file can be renamed into place.
class RenameFailsFileOps : public FileOps
{
public:
    bool readAll(const std::filesystem::path& file, std::string& out) override { return m_real.readAll(file, out); }
    bool exists(const std::filesystem::path& file) override { return m_real.exists(file); }
    bool writeNew(const std::filesystem::path& file, std::string_view data) override
    {
        return m_real.writeNew(file, data);
    }
    bool append(const std::filesystem::path& file, std::string_view data) override { return m_real.append(file, data); }
    bool renameOver(const std::filesystem::path&, const std::filesystem::path&) override { return false; }
    bool remove(const std::filesystem::path& file) override { return m_real.remove(file); }

private:
    FileOps& m_real = realFileOps();
};

} // namespace kv::test
