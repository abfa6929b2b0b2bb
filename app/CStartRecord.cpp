// CStartRecord.cpp - the receiving application that a run has just started.
#include "app/CStartRecord.h"

#include "instance/CProcessIdentity.h"

#include <stdlib.h>

namespace
{
const char STARTING_KEY[] = "SOFTWARE\\Tickward\\Starting";

typedef ULONGLONG(WINAPI* PFN_GETTICKCOUNT64)();

// Windows before Vista has only the 32-bit count, which wraps after 49 days.
PFN_GETTICKCOUNT64 GetTickCount64Function()
{
    return reinterpret_cast<PFN_GETTICKCOUNT64>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "GetTickCount64")));
}
}

CStartRecord::CStartRecord(int nCategory, int nIndex)
{
    m_strName.Format("%d.%d", nCategory, nIndex);
}

CStartRecord::~CStartRecord()
{
}

BOOL CStartRecord::Write(DWORD dwProcessId)
{
    SRecord record;
    ZeroMemory(&record, sizeof(record));
    record.dwProcessId = dwProcessId;
    record.ullRecorded = GetTicks();
    HANDLE hProcess = ::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, dwProcessId);
    if (hProcess == NULL || !CProcessIdentity::GetCreationTime(hProcess, record.created))
        ::GetSystemTimeAsFileTime(&record.created);
    if (hProcess != NULL)
        ::CloseHandle(hProcess);
    HKEY hKey = NULL;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, STARTING_KEY, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, NULL,
                          &hKey, NULL) != ERROR_SUCCESS)
        return FALSE;
    const LONG lResult = ::RegSetValueExA(hKey, m_strName, 0, REG_BINARY, reinterpret_cast<const BYTE*>(&record),
                                          sizeof(record));
    ::RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS;
}

int CStartRecord::FindStarting(DWORD dwWindow, int& nCategory, int& nIndex, DWORD& dwProcessId)
{
    HKEY hKey = NULL;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, STARTING_KEY, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return 0;
    int nStarting = 0;
    char szName[32];
    for (DWORD dwIndex = 0;; ++dwIndex)
    {
        DWORD cchName = sizeof(szName);
        const LONG nRead = ::RegEnumValueA(hKey, dwIndex, szName, &cchName, NULL, NULL, NULL, NULL);
        if (nRead == ERROR_NO_MORE_ITEMS)
            break;
        // Named "<category>.<index>".
        char* pDot = NULL;
        const int nThisCategory = static_cast<int>(strtol(szName, &pDot, 10));
        if (nRead != ERROR_SUCCESS || *pDot != '.')
            continue;
        const int nThisIndex = atoi(pDot + 1);
        const DWORD dwThisProcess = CStartRecord(nThisCategory, nThisIndex).GetStarting(dwWindow);
        if (dwThisProcess == 0 || nStarting++ > 0)
            continue;
        nCategory = nThisCategory;
        nIndex = nThisIndex;
        dwProcessId = dwThisProcess;
    }
    ::RegCloseKey(hKey);
    return nStarting;
}

BOOL CStartRecord::ForgetAll()
{
    const LONG nResult = ::RegDeleteKeyA(HKEY_CURRENT_USER, STARTING_KEY);
    return nResult == ERROR_SUCCESS || nResult == ERROR_FILE_NOT_FOUND;
}

BOOL CStartRecord::IsStarting(DWORD dwWindow) const
{
    return GetStarting(dwWindow) != 0;
}

DWORD CStartRecord::GetStarting(DWORD dwWindow) const
{
    SRecord record;
    if (!Read(record) || !IsSameProcessRunning(record))
        return 0;
    const ULONGLONG ullNow = GetTicks();
    // Where the count has 32 bits it wraps; their difference is the age then.
    const ULONGLONG ullAge = ullNow >= record.ullRecorded ? ullNow - record.ullRecorded
                                                          : static_cast<DWORD>(ullNow - record.ullRecorded);
    return ullAge < dwWindow ? record.dwProcessId : 0;
}

ULONGLONG CStartRecord::GetTicks() const
{
    const PFN_GETTICKCOUNT64 pfnGetTickCount64 = GetTickCount64Function();
    return pfnGetTickCount64 != NULL ? pfnGetTickCount64() : ::GetTickCount();
}

BOOL CStartRecord::Read(SRecord& record) const
{
    HKEY hKey = NULL;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, STARTING_KEY, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return FALSE;
    DWORD dwType = REG_NONE;
    DWORD dwSize = sizeof(record);
    const LONG lResult =
        ::RegQueryValueExA(hKey, m_strName, NULL, &dwType, reinterpret_cast<BYTE*>(&record), &dwSize);
    ::RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS && dwType == REG_BINARY && dwSize == sizeof(record);
}

// The id alone is not enough: an id is given again once its process has
// ended, so the process must also have the recorded creation time.
BOOL CStartRecord::IsSameProcessRunning(const SRecord& record)
{
    return CProcessIdentity::IsRunning(record.dwProcessId, record.created);
}
