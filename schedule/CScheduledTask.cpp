// CScheduledTask.cpp - the record of a scheduled task, and the list of them.
#include "schedule/CScheduledTask.h"

#include "cmdline/CCmdLineParams.h"
#include "cmdline/ParseCmdLine.h"
#include "cmdline/StrToInt32.h"
#include "schedule/TimeTicks.h"

namespace
{
const char LIST_KEY[] = "SOFTWARE\\Tickward\\Tasks";

// A record's first word, by kind and power action.
struct SKindName
{
    int nKind;
    int nPowerAction;
    const char* pszName;
};
const SKindName KIND_NAMES[] = {
    { CScheduledTask::kindRecording, 0, "recording" },
    { CScheduledTask::kindPower, 2, "standby" },
    { CScheduledTask::kindPower, 3, "shutdown" },
    { CScheduledTask::kindPower, 4, "hibernate" },
};

// The field of strText from nPos to the next ";" (or, for the last, to the end).
CString NextField(const CString& strText, int& nPos, BOOL bLast)
{
    const int nEnd = bLast ? -1 : strText.Find(";", nPos);
    const CString strField = nEnd < 0 ? strText.Mid(nPos) : strText.Mid(nPos, nEnd - nPos);
    nPos = nEnd < 0 ? strText.GetLength() + 1 : nEnd + 1;
    return strField;
}

ULONGLONG SortKey(const CScheduledTask& task, const SYSTEMTIME& now)
{
    SYSTEMTIME next;
    return task.GetNextStart(now, next) ? TimeTicks::FromSystemTime(next) : ~0ULL;
}
}

CScheduledTask::CScheduledTask()
    : m_nKind(kindUnknown), m_nPowerAction(0), m_nDeviceType(-1), m_nDeviceIndex(-1), m_nState(stateUnchecked),
      m_bEnabled(FALSE), m_bWakes(FALSE)
{
}

CScheduledTask::~CScheduledTask()
{
}

void CScheduledTask::Describe(const CString& strName, const CTaskDefinition& task)
{
    *this = CScheduledTask();
    m_strName = strName;
    m_when = task;
    CCmdLineParams params;
    if (CTaskDefinition::IsPowerCommand(task.m_strCommandLine))
    {
        const CString& strLine = task.m_strCommandLine;
        m_nKind = kindPower;
        m_nPowerAction = StrToInt32(strLine.Mid(strLine.Find(";", strLine.Find("-E")) + 1), 10);
    }
    else if (ParseCmdLine(task.m_strCommandLine, &params, TRUE, FALSE))
    {
        m_nKind = kindRecording;
        m_nDeviceType = params.GetDeviceType(0);
        m_nDeviceIndex = params.GetDeviceIndex(0);
        m_strFile = params.m_strFile;
    }
}

CString CScheduledTask::GetKindText() const
{
    for (int i = 0; i < static_cast<int>(sizeof(KIND_NAMES) / sizeof(KIND_NAMES[0])); ++i)
        if (KIND_NAMES[i].nKind == m_nKind && KIND_NAMES[i].nPowerAction == m_nPowerAction)
            return KIND_NAMES[i].pszName;
    return "unknown";
}

CString CScheduledTask::GetSummary(const SYSTEMTIME& now) const
{
    SYSTEMTIME next;
    CString strSummary = GetKindText() + ", next start ";
    if (GetNextStart(now, next))
    {
        CString strNext;
        strNext.Format("%04u-%02u-%02u %02u:%02u", next.wYear, next.wMonth, next.wDay, next.wHour, next.wMinute);
        strSummary += strNext;
    }
    else
    {
        strSummary += "none";
    }
    if (m_nKind != kindUnknown)
        strSummary += " (" + m_when.GetRepeat() + ")";
    if (m_nState == stateGone)
        strSummary += ", removed in the Task Scheduler";
    else if (m_nState == stateRegistered)
        strSummary += CString(m_bEnabled ? "" : ", disabled") + (m_bWakes ? ", wakes the machine" : ", does not wake the machine");
    if (m_nKind == kindRecording)
    {
        CString strDevice;
        strDevice.Format(", device %d.%d, file ", m_nDeviceType, m_nDeviceIndex);
        strSummary += strDevice + m_strFile;
    }
    return strSummary;
}

CString CScheduledTask::Format() const
{
    CString strDevice;
    if (m_nKind == kindRecording)
        strDevice.Format("%d.%d", m_nDeviceType, m_nDeviceIndex);
    return GetKindText() + ";" + m_when.GetRepeat() + ";" + m_when.m_strStart + ";" + strDevice + ";" + m_strFile;
}

BOOL CScheduledTask::Parse(const CString& strName, const CString& strText)
{
    *this = CScheduledTask();
    m_strName = strName;
    int nPos = 0;
    const CString strKind = NextField(strText, nPos, FALSE);
    const CString strRepeat = NextField(strText, nPos, FALSE);
    m_when.m_strStart = NextField(strText, nPos, FALSE);
    const CString strDevice = NextField(strText, nPos, FALSE);
    m_strFile = NextField(strText, nPos, TRUE);
    SYSTEMTIME start;
    const int nDot = strDevice.Find('.');
    if (!m_when.SetRepeat(strRepeat) || !CTaskDefinition::ReadStart(m_when.m_strStart, start))
        return FALSE;
    for (int i = 0; i < static_cast<int>(sizeof(KIND_NAMES) / sizeof(KIND_NAMES[0])); ++i)
    {
        if (strKind == KIND_NAMES[i].pszName)
        {
            m_nKind = KIND_NAMES[i].nKind;
            m_nPowerAction = KIND_NAMES[i].nPowerAction;
        }
    }
    if (m_nKind == kindRecording && nDot > 0)
    {
        m_nDeviceType = StrToInt32(strDevice.Left(nDot), 10);
        m_nDeviceIndex = StrToInt32(strDevice.Mid(nDot + 1), 10);
    }
    return m_nKind != kindUnknown;
}

BOOL CScheduledTask::GetNextStart(const SYSTEMTIME& now, SYSTEMTIME& next) const
{
    return m_nKind != kindUnknown && m_when.GetNextStart(now, next);
}

BOOL CScheduledTask::Remember() const
{
    HKEY hKey = NULL;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, LIST_KEY, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, NULL, &hKey,
                          NULL) != ERROR_SUCCESS)
        return FALSE;
    const CString strRecord = Format();
    const BOOL bListed = ::RegSetValueExA(hKey, m_strName, 0, REG_SZ, reinterpret_cast<const BYTE*>(
                                              static_cast<LPCSTR>(strRecord)),
                                          static_cast<DWORD>(strRecord.GetLength() + 1)) == ERROR_SUCCESS;
    ::RegCloseKey(hKey);
    return bListed;
}

void CScheduledTask::Forget(const CString& strName)
{
    HKEY hKey = NULL;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, LIST_KEY, 0, KEY_SET_VALUE | KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return;
    ::RegDeleteValueA(hKey, strName);
    ::RegCloseKey(hKey);
    RemoveKeyIfEmpty(LIST_KEY);
}

void CScheduledTask::RemoveKeyIfEmpty(LPCSTR pszKey)
{
    HKEY hKey = NULL;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, pszKey, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return;
    DWORD dwKeys = 1, dwValues = 1;
    ::RegQueryInfoKeyA(hKey, NULL, NULL, NULL, &dwKeys, NULL, NULL, &dwValues, NULL, NULL, NULL, NULL);
    ::RegCloseKey(hKey);
    if (dwKeys == 0 && dwValues == 0)
        ::RegDeleteKeyA(HKEY_CURRENT_USER, pszKey);
}

int CScheduledTask::ReadAll(CScheduledTask* aTasks, int nMax, const SYSTEMTIME& now)
{
    HKEY hKey = NULL;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, LIST_KEY, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return 0;
    int nTasks = 0;
    char szName[MAX_PATH];
    char szRecord[2 * MAX_PATH + 64];
    for (DWORD dwIndex = 0; nTasks < nMax; ++dwIndex)
    {
        DWORD cchName = sizeof(szName), cbRecord = sizeof(szRecord) - 1, dwType = 0;
        const LONG nRead = ::RegEnumValueA(hKey, dwIndex, szName, &cchName, NULL, &dwType,
                                           reinterpret_cast<BYTE*>(szRecord), &cbRecord);
        if (nRead == ERROR_NO_MORE_ITEMS)
            break;
        if (nRead != ERROR_SUCCESS && nRead != ERROR_MORE_DATA)
            continue;
        // A record need not end in a zero; an unreadable one is of kindUnknown.
        szRecord[nRead == ERROR_SUCCESS && dwType == REG_SZ ? cbRecord : 0] = '\0';
        CScheduledTask task;
        task.Parse(szName, szRecord);
        // Sorted as they come in: there are few.
        const ULONGLONG nKey = SortKey(task, now);
        int nAt = nTasks++;
        for (; nAt > 0 && SortKey(aTasks[nAt - 1], now) > nKey; --nAt)
            aTasks[nAt] = aTasks[nAt - 1];
        aTasks[nAt] = task;
    }
    ::RegCloseKey(hKey);
    return nTasks;
}
