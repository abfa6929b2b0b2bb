// CWaitingRuns.cpp - the records of the power commands that wait.
#include "journal/CWaitingRuns.h"

#include "instance/CProcessIdentity.h"

#include <stdlib.h>

namespace
{
const char WAITING_KEY[] = "SOFTWARE\\Tickward\\Waiting";

CString FileTimeText(const FILETIME& time)
{
    CString strText;
    strText.Format("%08lX%08lX", time.dwHighDateTime, time.dwLowDateTime);
    return strText;
}

FILETIME ReadFileTime(const CString& strText)
{
    const FILETIME time = { static_cast<DWORD>(strtoul(strText.Mid(8, 8), NULL, 16)),
                            static_cast<DWORD>(strtoul(strText.Left(8), NULL, 16)) };
    return time;
}

// Each record in turn, with whether its process still runs; FALSE from
// visit stops the walk.
template <class TVisit>
void VisitRecords(TVisit visit)
{
    HKEY hKey = NULL;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, WAITING_KEY, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return;
    char szName[16];
    char szRecord[600];
    for (DWORD dwIndex = 0;; ++dwIndex)
    {
        DWORD cchName = sizeof(szName), cbRecord = sizeof(szRecord) - 1, dwType = REG_NONE;
        const LONG nRead = ::RegEnumValueA(hKey, dwIndex, szName, &cchName, NULL, &dwType,
                                           reinterpret_cast<BYTE*>(szRecord), &cbRecord);
        if (nRead == ERROR_NO_MORE_ITEMS)
            break;
        szRecord[nRead == ERROR_SUCCESS && dwType == REG_SZ ? cbRecord : 0] = '\0';
        const CString strRecord(szRecord);
        const int nSince = strRecord.Find(';');
        const int nWhat = nSince < 0 ? -1 : strRecord.Find(";", nSince + 1);
        const DWORD dwProcessId = strtoul(szName, NULL, 10);
        const BOOL bRunning = nWhat > 0 && CProcessIdentity::IsRunning(dwProcessId, ReadFileTime(strRecord.Left(nSince)));
        if (!visit(szName, dwProcessId, bRunning, strRecord.Mid(nSince + 1, nWhat - nSince - 1), strRecord.Mid(nWhat + 1)))
            break;
    }
    ::RegCloseKey(hKey);
}
}

CWaitingRuns::CWaitingRuns()
{
    FILETIME created = { 0, 0 };
    CProcessIdentity::GetCreationTime(::GetCurrentProcess(), created);
    m_strCreated = FileTimeText(created);
}

CWaitingRuns::~CWaitingRuns()
{
    if (m_strSince.IsEmpty())
        return;
    HKEY hKey = NULL;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, WAITING_KEY, 0, KEY_SET_VALUE | KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return;
    CString strName;
    strName.Format("%lu", ::GetCurrentProcessId());
    ::RegDeleteValueA(hKey, strName);
    ::RegCloseKey(hKey);
    RemoveEnded();
}

void CWaitingRuns::Publish(const CString& strWhat)
{
    if (!m_strSince.IsEmpty() && strWhat == m_strWhat)
        return;
    if (m_strSince.IsEmpty())
    {
        SYSTEMTIME now;
        ::GetLocalTime(&now);
        m_strSince.Format("%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                          now.wSecond);
    }
    m_strWhat = strWhat;
    HKEY hKey = NULL;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, WAITING_KEY, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, NULL, &hKey,
                          NULL) != ERROR_SUCCESS)
        return;
    CString strName;
    strName.Format("%lu", ::GetCurrentProcessId());
    const CString strRecord = m_strCreated + ";" + m_strSince + ";" + m_strWhat;
    ::RegSetValueExA(hKey, strName, 0, REG_SZ, reinterpret_cast<const BYTE*>(static_cast<LPCSTR>(strRecord)),
                     static_cast<DWORD>(strRecord.GetLength() + 1));
    ::RegCloseKey(hKey);
}

int CWaitingRuns::ReadAll(SRun* aRuns, int nMax)
{
    int nRuns = 0;
    VisitRecords([&](LPCSTR, DWORD dwProcessId, BOOL bRunning, const CString& strSince, const CString& strWhat) {
        if (bRunning)
        {
            aRuns[nRuns].dwProcessId = dwProcessId;
            aRuns[nRuns].strSince = strSince;
            aRuns[nRuns++].strWhat = strWhat;
        }
        return nRuns < nMax;
    });
    return nRuns;
}

// Records of runs that ended without taking theirs away go with the next
// run's end, and the key with the last record.
void CWaitingRuns::RemoveEnded()
{
    CString astrEnded[MAX_RUNS];
    int nEnded = 0;
    VisitRecords([&](LPCSTR pszName, DWORD, BOOL bRunning, const CString&, const CString&) {
        if (!bRunning)
            astrEnded[nEnded++] = pszName;
        return nEnded < MAX_RUNS;
    });
    HKEY hKey = NULL;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, WAITING_KEY, 0, KEY_SET_VALUE | KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return;
    for (int i = 0; i < nEnded; ++i)
        ::RegDeleteValueA(hKey, astrEnded[i]);
    DWORD dwValues = 1;
    ::RegQueryInfoKeyA(hKey, NULL, NULL, NULL, NULL, NULL, NULL, &dwValues, NULL, NULL, NULL, NULL);
    ::RegCloseKey(hKey);
    if (dwValues == 0)
        ::RegDeleteKeyA(HKEY_CURRENT_USER, WAITING_KEY);
}
