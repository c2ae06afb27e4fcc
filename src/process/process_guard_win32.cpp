#include "process/process_guard.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <vector>

namespace kv {

namespace {

// The process's access list: its user may wait for it, ask of it and end it;
// SYSTEM keeps everything. Reading or writing its memory, debugging it and
// starting threads in it are granted to nobody else.
void narrowProcessAccess()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    const bool haveUser = size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
    CloseHandle(token);
    if (!haveUser)
        return;
    PSID user = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    PSID system = nullptr;
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    if (!AllocateAndInitializeSid(&ntAuthority, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &system))
        return;
    EXPLICIT_ACCESSW grants[2] = {};
    grants[0].grfAccessPermissions = SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE;
    grants[0].grfAccessMode = SET_ACCESS;
    grants[0].grfInheritance = NO_INHERITANCE;
    grants[0].Trustee.TrusteeForm = TRUSTEE_IS_SID;
    grants[0].Trustee.TrusteeType = TRUSTEE_IS_USER;
    grants[0].Trustee.ptstrName = static_cast<LPWSTR>(user);
    grants[1] = grants[0];
    grants[1].grfAccessPermissions = PROCESS_ALL_ACCESS;
    grants[1].Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    grants[1].Trustee.ptstrName = static_cast<LPWSTR>(system);
    PACL list = nullptr;
    if (SetEntriesInAclW(2, grants, nullptr, &list) == ERROR_SUCCESS) {
        SetSecurityInfo(GetCurrentProcess(), SE_KERNEL_OBJECT,
                        DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr, list,
                        nullptr);
        LocalFree(list);
    }
    FreeSid(system);
}

} // namespace

void guardProcess()
{
    // A crash shows no dialog and hands nothing to the error reporting, which
    // would write the process's memory to a dump file.
    SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    narrowProcessAccess();
}

} // namespace kv
