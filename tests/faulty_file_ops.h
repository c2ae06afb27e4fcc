#pragma once
// A FileOps double for the storage, settings and window tests.

#include "storage/file_ops.h"

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace kv::test {

// The real file system, with one operation made to fail for files whose name
// begins with `prefix`, or else one call counted from arm(). A failing write
// first writes half of its data, as a full disk would (an append takes it back
// again, as the real one does); a failure notes `reason` for the message. A
// failing lock is one another instance holds.
class FaultyFileOps : public FileOps
{
public:
    enum class Op {
        None,
        ReadAll,
        WriteNew,
        Append,
        RenameOver,
        Remove,
        RemoveIfUnused,
        ReadChunks,
        ReadTail,
        HardLink,
        Status,
        Lock
    };

    // Op::ReadAll stands for every way of reading a file.
    FaultyFileOps(Op failing, std::string prefix) : m_failing{failing}, m_prefix(std::move(prefix)) {}
    FaultyFileOps(std::initializer_list<Op> failing, std::string prefix)
        : m_failing(failing), m_prefix(std::move(prefix))
    {
    }

    // Fails call number `n` (from 0) made after arm(), of any operation but exists(),
    // or only of those that write when `writesOnly`. A negative `n` fails nothing:
    // the double then only counts.
    static FaultyFileOps failingCall(int n, bool writesOnly = false)
    {
        FaultyFileOps ops(Op::None, "");
        ops.m_failAt = n;
        ops.m_writesOnly = writesOnly;
        return ops;
    }
    void arm()
    {
        m_armed = true;
        m_calls = 0;
    }
    // Calls counted since arm().
    int calls() const { return m_calls; }
    void setReason(FileError reason) { m_reason = reason; }

    FileResult readAll(const std::filesystem::path& file, std::string& out) override
    {
        if (fails(Op::ReadAll, file))
            return FileResult::failed(m_reason);
        return m_real.readAll(file, out);
    }
    bool exists(const std::filesystem::path& file) override { return m_real.exists(file); }
    bool status(const std::filesystem::path& file, FileStatus& out) override
    {
        if (fails(Op::Status, file))
            return false;
        return m_real.status(file, out);
    }
    FileResult readChunks(const std::filesystem::path& file, FileStatus& status,
                          const std::function<bool(std::string_view chunk)>& sink) override
    {
        if (fails(Op::ReadChunks, file))
            return FileResult::failed(m_reason);
        return m_real.readChunks(file, status, sink);
    }
    FileResult readTail(const std::filesystem::path& file, std::size_t count, std::string& out) override
    {
        if (fails(Op::ReadTail, file))
            return FileResult::failed(m_reason);
        return m_real.readTail(file, count, out);
    }
    bool hardLink(const std::filesystem::path& existing, const std::filesystem::path& name) override
    {
        if (fails(Op::HardLink, name))
            return false;
        return m_real.hardLink(existing, name);
    }
    FileResult writeNew(const std::filesystem::path& file, std::string_view data) override
    {
        if (fails(Op::WriteNew, file)) {
            m_real.writeNew(file, data.substr(0, data.size() / 2));
            return FileResult::failed(m_reason);
        }
        return m_real.writeNew(file, data);
    }
    FileResult writeNewPieces(const std::filesystem::path& file,
                              const std::function<bool(std::string& piece)>& fill) override
    {
        if (fails(Op::WriteNew, file)) {
            // The first piece only, as a disk that filled up would leave it.
            m_real.writeNewPieces(file, [&](std::string& piece) {
                fill(piece);
                return false;
            });
            return FileResult::failed(m_reason);
        }
        return m_real.writeNewPieces(file, fill);
    }
    FileResult append(const std::filesystem::path& file, std::string_view data) override
    {
        if (fails(Op::Append, file)) {
            std::error_code error;
            const auto size = std::filesystem::file_size(file, error);
            if (!error && static_cast<bool>(m_real.append(file, data.substr(0, data.size() / 2))))
                std::filesystem::resize_file(file, size, error);
            return FileResult::failed(m_reason);
        }
        return m_real.append(file, data);
    }
    FileResult renameOver(const std::filesystem::path& from, const std::filesystem::path& to) override
    {
        if (fails(Op::RenameOver, to))
            return FileResult::failed(m_reason);
        return m_real.renameOver(from, to);
    }
    FileResult remove(const std::filesystem::path& file) override
    {
        if (fails(Op::Remove, file))
            return FileResult::failed(m_reason);
        return m_real.remove(file);
    }
    bool removeIfUnused(const std::filesystem::path& file) override
    {
        if (fails(Op::RemoveIfUnused, file))
            return false;
        return m_real.removeIfUnused(file);
    }
    WriteLock tryLockFolder(const std::filesystem::path& folder, bool& busy) override
    {
        // Named by the folder: the prefix "" fails every folder's.
        if (fails(Op::Lock, folder)) {
            busy = true;
            return nullptr;
        }
        return m_real.tryLockFolder(folder, busy);
    }

    int failures() const { return m_failures; }

private:
    bool fails(Op op, const std::filesystem::path& file)
    {
        const bool read = op == Op::ReadAll || op == Op::ReadChunks || op == Op::ReadTail || op == Op::Status;
        if (m_armed && !(m_writesOnly && read)) {
            if (m_calls++ != m_failAt)
                return false;
        } else {
            const Op asked = read ? Op::ReadAll : op;
            const bool chosen = std::find(m_failing.begin(), m_failing.end(), asked) != m_failing.end();
            if (!chosen || file.filename().string().rfind(m_prefix, 0) != 0)
                return false;
        }
        ++m_failures;
        return true;
    }

    FileOps& m_real = realFileOps();
    std::vector<Op> m_failing;
    std::string m_prefix;
    int m_failures = 0;
    FileError m_reason = FileError::Other;
    bool m_armed = false;
    bool m_writesOnly = false;
    int m_failAt = -1;
    int m_calls = 0;
};

} // namespace kv::test
