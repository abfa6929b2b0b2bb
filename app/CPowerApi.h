// CPowerApi.h - the operating-system calls behind Tickward's power actions.
//
// The power actions go through this one small class so that tests can
// replace the calls that would act on the machine (and the OS version that
// selects them), and the clocks that tell a sleep apart. The base class
// makes the real calls; a program never installs another.
#ifndef APP_CPOWERAPI_H
#define APP_CPOWERAPI_H

#include <windows.h>

class CPowerApi
{
public:
    virtual ~CPowerApi();

    virtual BOOL GetVersionEx(OSVERSIONINFOA* pInfo);
    virtual BOOL OpenProcessToken(HANDLE hProcess, DWORD dwAccess, HANDLE* phToken);
    virtual BOOL LookupPrivilegeValue(LPCSTR pszSystem, LPCSTR pszName, LUID* pLuid);
    virtual BOOL AdjustTokenPrivileges(HANDLE hToken, BOOL bDisableAll, TOKEN_PRIVILEGES* pNewState,
                                       DWORD dwBufferLength, TOKEN_PRIVILEGES* pPrevious,
                                       DWORD* pdwReturnLength);
    virtual DWORD GetLastError();
    virtual BOOL CloseHandle(HANDLE hObject);
    virtual BOOL SetSystemPowerState(BOOL bSuspend, BOOL bForce);
    virtual BOOL ExitWindowsEx(UINT uFlags, DWORD dwReason);
    // Milliseconds since the machine started, counting the time it slept
    // or hibernated, and without it (QueryUnbiasedInterruptTime, Windows 7
    // and later). FALSE where the second clock is missing.
    virtual BOOL GetSleepClocks(ULONGLONG& ullWithSleep, ULONGLONG& ullAwake);
};

#endif // APP_CPOWERAPI_H
