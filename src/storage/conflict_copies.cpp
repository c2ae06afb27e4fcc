#include "storage/conflict_copies.h"

#include <algorithm>

namespace kv {

namespace {

bool take(std::string_view& rest, std::string_view text)
{
    if (!rest.starts_with(text))
        return false;
    rest.remove_prefix(text.size());
    return true;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool takeDigits(std::string_view& rest, std::size_t count)
{
    if (rest.size() < count || !std::all_of(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(count), isDigit))
        return false;
    rest.remove_prefix(count);
    return true;
}

// 2026-12-09
bool takeDate(std::string_view& rest)
{
    return takeDigits(rest, 4) && take(rest, "-") && takeDigits(rest, 2) && take(rest, "-") && takeDigits(rest, 2);
}

// .sync-conflict-20261209-101500-ABCDEF7: the date, the time and the first
// characters of the device's ID (capitals and digits).
bool isSyncthingMark(std::string_view rest, std::string_view extension)
{
    if (!take(rest, ".sync-conflict-") || !takeDigits(rest, 8) || !take(rest, "-") || !takeDigits(rest, 6) ||
        !take(rest, "-") || rest.size() < 7)
        return false;
    for (int i = 0; i < 7; ++i) {
        const char c = rest[static_cast<std::size_t>(i)];
        if (!isDigit(c) && !(c >= 'A' && c <= 'Z'))
            return false;
    }
    rest.remove_prefix(7);
    return rest == extension;
}

// " (conflicted copy 2026-12-09 101500)", or with the account's name before the
// date when the server takes conflict copies: " (conflicted copy Ann Smith
// 2026-12-09 101500)". The client keeps parentheses out of that name.
bool isNextcloudMark(std::string_view rest, std::string_view extension)
{
    constexpr std::size_t WhenSize = std::string_view("2026-12-09 101500)").size();
    if (!take(rest, " (conflicted copy ") || !rest.ends_with(extension))
        return false;
    rest.remove_suffix(extension.size());
    if (rest.size() < WhenSize)
        return false;
    std::string_view when = rest.substr(rest.size() - WhenSize);
    std::string_view user = rest.substr(0, rest.size() - WhenSize); // "Ann Smith " or none
    if (!user.empty()) {
        if (!user.ends_with(' '))
            return false;
        user.remove_suffix(1);
        if (user.empty() || user.front() == ' ' || user.back() == ' ' ||
            user.find_first_of("()") != std::string_view::npos)
            return false;
    }
    return takeDate(when) && take(when, " ") && takeDigits(when, 6) && when == ")";
}

// "_conflict-20261209-101500", as older ownCloud clients wrote it.
bool isOldOwncloudMark(std::string_view rest, std::string_view extension)
{
    return take(rest, "_conflict-") && takeDigits(rest, 8) && take(rest, "-") && takeDigits(rest, 6) &&
           rest == extension;
}

// " (Ann's conflicted copy 2026-12-09)", then maybe " (1)".
bool isDropboxMark(std::string_view rest, std::string_view extension)
{
    if (!take(rest, " ("))
        return false;
    constexpr std::string_view Mark = "'s conflicted copy ";
    // The person's name may hold anything, the mark too: each place it stands is tried.
    for (std::size_t at = rest.find(Mark, 1); at != std::string_view::npos; at = rest.find(Mark, at + 1)) {
        std::string_view tail = rest.substr(at + Mark.size());
        if (!takeDate(tail) || !take(tail, ")"))
            continue;
        if (tail == extension)
            return true;
        if (!take(tail, " (") || tail.empty() || !isDigit(tail.front()))
            continue;
        while (!tail.empty() && isDigit(tail.front()))
            tail.remove_prefix(1);
        if (take(tail, ")") && tail == extension)
            return true;
    }
    return false;
}

std::string utf8Name(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::filesystem::path fromUtf8(const std::string& text)
{
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

} // namespace

bool isConflictCopyName(std::string_view name, std::string_view stem, std::string_view extension)
{
    if (stem.empty() || !name.starts_with(stem))
        return false;
    const std::string_view rest = name.substr(stem.size());
    return isSyncthingMark(rest, extension) || isNextcloudMark(rest, extension) || isOldOwncloudMark(rest, extension) ||
           isDropboxMark(rest, extension);
}

std::vector<std::filesystem::path> findConflictCopies(const std::filesystem::path& dataFile)
{
    std::vector<std::filesystem::path> copies;
    try {
        const std::filesystem::path file = followLinks(dataFile);
        std::filesystem::path folder = file.parent_path();
        if (folder.empty())
            folder = ".";
        const std::string stem = utf8Name(file.stem());
        const std::string extension = utf8Name(file.extension());
        std::error_code error;
        std::filesystem::directory_iterator entry(folder, error);
        for (; !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
            std::error_code typeError;
            if (!entry->is_regular_file(typeError) || entry->is_symlink(typeError))
                continue;
            if (isConflictCopyName(utf8Name(entry->path().filename()), stem, extension))
                copies.push_back(entry->path());
        }
        std::sort(copies.begin(), copies.end());
    } catch (...) {
        // Out of memory, or a name the system cannot give: as good as none found.
        copies.clear();
    }
    return copies;
}

MergedMove moveToMergedFolder(FileOps& ops, const std::filesystem::path& copy)
{
    using Refusal = MergedMove::Refusal;
    try {
        const std::filesystem::path folder = copy.parent_path() / MergedFolderName;
        // The copies hold every password: never through a link to somewhere else.
        std::error_code error;
        const std::filesystem::file_type type = std::filesystem::symlink_status(folder, error).type();
        if (type == std::filesystem::file_type::symlink || isLinkName(folder))
            return {Refusal::FolderIsLink};
        if (type != std::filesystem::file_type::not_found && type != std::filesystem::file_type::directory)
            return {Refusal::FolderIsNoFolder};
        const FileResult made = makePrivateFolders(folder);
        if (!made)
            return {Refusal::FolderNotMade, made.error()};
        makeFolderPrivate(folder);
        const std::string stem = utf8Name(copy.stem());
        const std::string extension = utf8Name(copy.extension());
        for (int number = 1; number < 10000; ++number) {
            const std::filesystem::path target =
                folder /
                (number == 1 ? copy.filename() : fromUtf8(stem + " (" + std::to_string(number) + ")" + extension));
            const auto taken = [&] {
                std::error_code lookError;
                return std::filesystem::symlink_status(target, lookError).type() !=
                       std::filesystem::file_type::not_found;
            };
            if (taken())
                continue;
            // A second name in merged/, then the first one goes: at no moment is
            // the copy under no name, and nothing standing in merged/ is replaced.
            if (ops.hardLink(copy, target)) {
                const FileResult removed = ops.remove(copy);
                if (removed)
                    return {Refusal::None, FileError::None, target};
                ops.remove(target); // the copy's second name, made just now
                return {Refusal::NotTaken, removed.error()};
            }
            if (taken())
                continue; // the name was taken meanwhile
            // A file system without hard links: a rename, to a name that was free a moment ago.
            std::filesystem::rename(copy, target, error);
            if (!error)
                return {Refusal::None, FileError::None, target};
            FileError why = FileError::Other;
            if (error == std::errc::permission_denied || error == std::errc::operation_not_permitted)
                why = FileError::AccessDenied;
            else if (error == std::errc::read_only_file_system)
                why = FileError::ReadOnly;
            return {Refusal::NotMoved, why};
        }
        return {Refusal::NamesUsedUp};
    } catch (...) {
        return {Refusal::NotMoved, FileError::Other};
    }
}

} // namespace kv
