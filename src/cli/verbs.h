#pragma once
// The verbs of the command line. Each is described once, beside the function
// that runs it: its name, options and operands, its help, and whether the log-in
// comes first. The program's help, the parsing of a verb's arguments and the
// dispatch all read these descriptions; nothing else lists the verbs.

#include "cli/arguments.h"
#include "cli/session.h"

#include <cstddef>
#include <ostream>
#include <span>
#include <string_view>

namespace kv {

struct Verb
{
    std::string_view name;
    std::span<const Option> options; // its own, besides the common ones
    std::size_t minOperands = 0;
    std::size_t maxOperands = 0;
    bool needsLogIn = true; // whether the log-in to the program, when set, is asked first
    // Runs over a session whose arguments are parsed and whose log-in, where one
    // is armed and needed, has been passed; returns the exit status.
    int (*run)(Session&) = nullptr;
    std::string_view summary; // its line in the program's help
    std::string_view help;    // usage line, then what it does and its own options
};

// The verbs of each source file, in the order the program's help lists them.
std::span<const Verb> entryVerbs();    // verbs.cpp: ls, show, search, add, edit, rm, generate
std::span<const Verb> transferVerbs(); // transfer.cpp: export, import
std::span<const Verb> mergeVerbs();    // conflicts.cpp: merge
std::span<const Verb> sealVerbs();     // seal_verbs.cpp: seal, unseal, passwd
std::span<const Verb> auditVerbs();    // audit_verb.cpp: audit

// Every verb, those of each file above in turn.
std::span<const Verb> allVerbs();
const Verb* findVerb(std::string_view name);

// "help [COMMAND]" is the program's own, not a verb over a database.
inline constexpr std::string_view HelpVerbName = "help";

// The program help's list of commands: a line each, the summaries aligned in one
// column after the longest name.
void writeCommandList(std::ostream& out, std::span<const Verb> verbs);

// Longest password the generator makes, as in the window.
inline constexpr int MaxGeneratedLength = 32767;
inline constexpr int DefaultGeneratedLength = 16;

} // namespace kv
