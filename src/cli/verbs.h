#pragma once
// The verbs of the command line, each over a session whose arguments are parsed
// and whose log-in, where one is armed, has been passed.

#include "cli/session.h"

namespace kv {

int listEntries(Session& session);
int showEntry(Session& session);
int searchEntries(Session& session);
int addEntry(Session& session);
int editEntry(Session& session);
int removeEntry(Session& session);
int generatePassword(Session& session);
int exportEntries(Session& session);
int importEntries(Session& session);
int mergeEntries(Session& session);
int sealDatabase(Session& session);
int unsealDatabase(Session& session);
int changeDatabasePassword(Session& session);

// Longest password the generator makes, as in the window.
inline constexpr int MaxGeneratedLength = 32767;
inline constexpr int DefaultGeneratedLength = 16;

} // namespace kv
