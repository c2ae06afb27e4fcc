#pragma once
// keystead-vault-cli: the entries of the window's databases from a terminal or a
// script. One verb per run, each described beside its handler (cli/verbs.h).

#include "cli/session.h"

#include <span>
#include <string>

namespace kv {

// Runs the command line `args` (without the program's name); returns the exit status.
int runCommandLine(std::span<const std::string> args, CliEnvironment& env);

} // namespace kv
