// CPowerApi.cpp - the real power and token calls.
#include "app/CPowerApi.h"

CPowerApi::~CPowerApi()
{
}

BOOL CPowerApi::GetVersionEx(OSVERSIONINFOA* pInfo)
{
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
    return ::GetVersionExA(pInfo);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
}

BOOL CPowerApi::OpenProcessToken(HANDLE hProcess, DWORD dwAccess, HANDLE* phToken)
{
    return ::OpenProcessToken(hProcess, dwAccess, phToken);
}

BOOL CPowerApi::LookupPrivilegeValue(LPCSTR pszSystem, LPCSTR pszName, LUID* pLuid)
{
    return ::LookupPrivilegeValueA(pszSystem, pszName, pLuid);
}

BOOL CPowerApi::AdjustTokenPrivileges(HANDLE hToken, BOOL bDisableAll, TOKEN_PRIVILEGES* pNewState,
                                      DWORD dwBufferLength, TOKEN_PRIVILEGES* pPrevious,
                                      DWORD* pdwReturnLength)
{
    return ::AdjustTokenPrivileges(hToken, bDisableAll, pNewState, dwBufferLength, pPrevious,
                                   pdwReturnLength);
}

DWORD CPowerApi::GetLastError()
{
    return ::GetLastError();
}

BOOL CPowerApi::CloseHandle(HANDLE hObject)
{
    return ::CloseHandle(hObject);
}

BOOL CPowerApi::SetSystemPowerState(BOOL bSuspend, BOOL bForce)
{
    return ::SetSystemPowerState(bSuspend, bForce);
}

// Loaded on demand, as the user-interface library is needed by no other
// command; the process ends right after the request in any case.
BOOL CPowerApi::ExitWindowsEx(UINT uFlags, DWORD dwReason)
{
    typedef BOOL (WINAPI *PFN_EXITWINDOWSEX)(UINT uFlags, DWORD dwReason);
    HMODULE hUser = ::LoadLibraryA("user32.dll");
    if (hUser == NULL)
        return FALSE;
    PFN_EXITWINDOWSEX pfnExitWindowsEx =
        reinterpret_cast<PFN_EXITWINDOWSEX>(reinterpret_cast<void*>(::GetProcAddress(hUser, "ExitWindowsEx")));
    const BOOL bResult = pfnExitWindowsEx != NULL && pfnExitWindowsEx(uFlags, dwReason);
    ::FreeLibrary(hUser);
    return bResult;
}

BOOL CPowerApi::GetSleepClocks(ULONGLONG& ullWithSleep, ULONGLONG& ullAwake)
{
    // Looked up: neither is in Windows XP's kernel32.
    typedef BOOL (WINAPI *PFN_QUERYUNBIASED)(ULONGLONG* pTime);
    typedef ULONGLONG (WINAPI *PFN_GETTICKCOUNT64)();
    const HMODULE hKernel = ::GetModuleHandleA("kernel32.dll");
    const PFN_QUERYUNBIASED pfnUnbiased = reinterpret_cast<PFN_QUERYUNBIASED>(
        reinterpret_cast<void*>(::GetProcAddress(hKernel, "QueryUnbiasedInterruptTime")));
    const PFN_GETTICKCOUNT64 pfnTicks64 = reinterpret_cast<PFN_GETTICKCOUNT64>(
        reinterpret_cast<void*>(::GetProcAddress(hKernel, "GetTickCount64")));
    ULONGLONG ullUnbiased = 0;
    if (pfnUnbiased == NULL || pfnTicks64 == NULL || !pfnUnbiased(&ullUnbiased))
        return FALSE;
    ullWithSleep = pfnTicks64();
    ullAwake = ullUnbiased / 10000;     // from 100 ns
    return TRUE;
}
