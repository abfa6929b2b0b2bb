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

BOOL CPowerApi::ExitWindowsEx(UINT uFlags, DWORD dwReason)
{
    return ::ExitWindowsEx(uFlags, dwReason);
}
