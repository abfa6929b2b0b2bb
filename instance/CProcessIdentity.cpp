// CProcessIdentity.cpp - a process told by its id and its creation time.
#include "instance/CProcessIdentity.h"

namespace
{
typedef BOOL(WINAPI* PFN_GETPROCESSTIMES)(HANDLE, LPFILETIME, LPFILETIME, LPFILETIME, LPFILETIME);
}

BOOL CProcessIdentity::GetCreationTime(HANDLE hProcess, FILETIME& created)
{
    const PFN_GETPROCESSTIMES pfnGetProcessTimes = reinterpret_cast<PFN_GETPROCESSTIMES>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "GetProcessTimes")));
    FILETIME exited, kernel, user;
    return pfnGetProcessTimes != NULL && pfnGetProcessTimes(hProcess, &created, &exited, &kernel, &user);
}

BOOL CProcessIdentity::IsRunning(DWORD dwProcessId, const FILETIME& created)
{
    HANDLE hProcess = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, dwProcessId);
    if (hProcess == NULL)
        return FALSE;
    BOOL bSame = ::WaitForSingleObject(hProcess, 0) == WAIT_TIMEOUT;
    FILETIME now;
    if (bSame && GetCreationTime(hProcess, now))
        bSame = ::CompareFileTime(&now, &created) == 0;
    ::CloseHandle(hProcess);
    return bSame;
}
