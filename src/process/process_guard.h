#pragma once
// What the programs do first: keep the passwords in their memory out of reach of
// a core dump and of other processes of the same user.

namespace kv {

// Linux: no core dump (a zero core-file limit) and not dumpable, which also
// refuses a debugger's attachment by the same user and hides /proc/PID/mem.
// Windows: no error dialog or crash report, and a process object that grants the
// user only to wait for it, ask its name and end it, not to read or write its
// memory nor debug it. The system keeps ways round the latter for the user (the
// owner of an object may change its access list), so on Windows it narrows what
// a careless tool can do, not what a determined one can. Never fails the start.
void guardProcess();

} // namespace kv
