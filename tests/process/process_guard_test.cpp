// What guardProcess leaves the process: no core dump, nothing to attach to.

#include "process/process_guard.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#endif

namespace kv {
namespace {

#ifdef _WIN32
TEST(ProcessGuard, ACrashShowsNothingAndReportsNothing)
{
    guardProcess();
    EXPECT_NE(GetErrorMode() & SEM_NOGPFAULTERRORBOX, 0u);
    // Its memory is closed to the user's other processes; waiting for it is not.
    EXPECT_EQ(OpenProcess(PROCESS_VM_READ, FALSE, GetCurrentProcessId()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    const HANDLE waitable = OpenProcess(SYNCHRONIZE, FALSE, GetCurrentProcessId());
    EXPECT_NE(waitable, nullptr);
    CloseHandle(waitable);
}
#else
TEST(ProcessGuard, NeitherDumpedNorAttached)
{
    // In a child of its own: the test program itself stays as it was.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        guardProcess();
        rlimit core{};
        bool guarded = getrlimit(RLIMIT_CORE, &core) == 0 && core.rlim_cur == 0 && core.rlim_max == 0;
#ifdef __linux__
        guarded = guarded && prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) == 0;
#endif
        _exit(guarded ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
#endif

} // namespace
} // namespace kv
