#include "vault/outcome.h"

namespace kv {

std::string describe(const DatabaseResult& result, std::string_view name)
{
    const std::string file(name);
    const bool reading = result.step == FileStep::Read;
    switch (result.verdict) {
    case Verdict::Done:
        return {};
    case Verdict::NotReadWhole:
        return "Not saved: " + file + " could not be read";
    case Verdict::ChangedOutside:
        return (reading ? "" : "Not saved: ") + file + " was changed outside the program";
    case Verdict::Failed:
    case Verdict::Locked:
        break;
    }
    return (reading ? "Could not read " : "Could not write ") + file + std::string(reasonText(result.error));
}

std::string describe(const Outcome& outcome, std::string_view name)
{
    switch (outcome.problem) {
    case Outcome::Problem::None:
        return {};
    case Outcome::Problem::Locked:
        return "Unlock before changing entries";
    case Outcome::Problem::LogInLocked:
        return "Unlock before changing the log-in";
    case Outcome::Problem::EntryRefused:
        return outcome.detail;
    case Outcome::Problem::Shut:
        return std::string(name) + " is sealed: enter its password first";
    case Outcome::Problem::SealGivenAway:
        return "That is the database's password, and the log-in's is stored where anyone can read it: choose "
               "another";
    case Outcome::Problem::File:
        return describe(outcome.file, name);
    case Outcome::Problem::LogInNotStored:
        return "Could not store the log-in";
    case Outcome::Problem::ItemNotFound:
        return outcome.detail + " - Item not found";
    case Outcome::Problem::UnreadableLines:
        return std::string(name) + " holds lines that cannot be read, which this would lose: nothing changed";
    case Outcome::Problem::BackupKept:
        break;
    }
    std::filesystem::path backup = outcome.file.file.filename();
    backup.replace_extension(".bak");
    const std::u8string text = backup.u8string();
    return std::string(text.begin(), text.end()) +
           " could not be removed and still holds the entries as they were kept before: delete it";
}

} // namespace kv
