// CStatusReport.cpp - the machine's state as Tickward's operator sees it.
#include "tools/status/CStatusReport.h"

#include <stdio.h>
#include <string.h>

#include "cmdline/CCmdLineParams.h"
#include "cmdline/ParseCmdLine.h"
#include "cmdline/ProductCode.h"
#include "instance/CProcessIdentity.h"
#include "instance/CSharedMemory.h"
#include "instance/HeartbeatTable.h"
#include "journal/CRunJournal.h"
#include "journal/CWaitingRuns.h"
#include "mailbox/MailboxLayout.h"
#include "recording/RecordingTable.h"
#include "schedule/CScheduledTask.h"
#include "schedule/CTickwardTasks.h"
#include "schedule/TimeTicks.h"

namespace
{
const int COUNTER_COUNT = HeartbeatTable::CATEGORY_COUNT * HeartbeatTable::INDEX_COUNT;

// The table's counters, read under the table's mutex; nCount tells how many
// the block holds. FALSE when the mutex was not had within
// TABLE_LOCK_TIMEOUT: a receiving application that hangs holding it must
// not hang the operator's tool too.
BOOL ReadCounters(CSharedMemory& table, DWORD (&adwCounters)[COUNTER_COUNT], int& nCount)
{
    const DWORD dwInBlock = table.GetValidSize() / sizeof(DWORD);
    nCount = dwInBlock < static_cast<DWORD>(COUNTER_COUNT) ? static_cast<int>(dwInBlock) : COUNTER_COUNT;
    if (!table.TryLock(CStatusReport::TABLE_LOCK_TIMEOUT))
        return FALSE;
    CopyMemory(adwCounters, table.m_pView, nCount * sizeof(DWORD));
    table.Unlock();
    return TRUE;
}

// The end of a file that others append to: opened so that they can go on
// writing and rotating it meanwhile.
BOOL ReadTail(LPCSTR pszPath, DWORD dwMax, CString& strTail, DWORD& dwError)
{
    const CRunJournal journal;
    HANDLE hFile = ::CreateFileA(pszPath, GENERIC_READ, journal.GetShareMode(), NULL, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
    {
        dwError = ::GetLastError();
        return FALSE;
    }
    const DWORD dwSize = ::GetFileSize(hFile, NULL);
    const DWORD dwWanted = dwSize < dwMax ? dwSize : dwMax;
    ::SetFilePointer(hFile, -static_cast<LONG>(dwWanted), NULL, FILE_END);
    DWORD dwRead = 0;
    const BOOL bRead = ::ReadFile(hFile, strTail.GetBuffer(static_cast<int>(dwWanted)), dwWanted, &dwRead, NULL);
    dwError = bRead ? ERROR_SUCCESS : ::GetLastError();
    strTail.ReleaseBuffer(bRead ? static_cast<int>(dwRead) : 0);
    ::CloseHandle(hFile);
    return bRead;
}
}

CStatusReport::CStatusReport()
{
}

CStatusReport::~CStatusReport()
{
}

BOOL CStatusReport::PrintHeartbeats()
{
    printf("Receiving applications alive (heartbeat counters read twice, %lu ms apart):\n",
           HeartbeatTable::SAMPLE_PAUSE);
    CSharedMemory table;
    if (!table.Open(HeartbeatTable::SIZE, HeartbeatTable::NAME))
    {
        if (::GetLastError() != ERROR_FILE_NOT_FOUND)
            return Fail("the heartbeat table", ::GetLastError(),
                        "run twstatus as the Windows user of the receiving application");
        printf("  none: there is no heartbeat table, so no receiving application runs\n");
        return TRUE;
    }
    DWORD adwFirst[COUNTER_COUNT];
    DWORD adwSecond[COUNTER_COUNT];
    int nFirst = 0;
    int nSecond = 0;
    if (!ReadCounters(table, adwFirst, nFirst))
        return FailBusy();
    Pause(HeartbeatTable::SAMPLE_PAUSE);
    if (!ReadCounters(table, adwSecond, nSecond))
        return FailBusy();

    int nAlive = 0;
    for (int i = 0; i < nFirst && i < nSecond; ++i)
    {
        if (adwSecond[i] <= adwFirst[i])
            continue;
        const int nCategory = i / HeartbeatTable::INDEX_COUNT;
        printf("  category %d, index %d (%s)\n", nCategory, i % HeartbeatTable::INDEX_COUNT,
               static_cast<LPCSTR>(DescribeDeviceTypes(nCategory)));
        ++nAlive;
    }
    if (nAlive == 0)
        printf("  none: no counter grew\n");
    return TRUE;
}

// The device types whose counters lie in a category, as ranges.
CString CStatusReport::DescribeDeviceTypes(int nCategory)
{
    const int LAST_TYPE = 0xFF;     // a type is two hexadecimal digits
    CString strRanges;
    int nCount = 0;
    for (int nType = 0; nType <= LAST_TYPE; ++nType)
    {
        if (HeartbeatTable::GetCategory(nType) != nCategory)
            continue;
        int nLast = nType;
        while (nLast < LAST_TYPE && HeartbeatTable::GetCategory(nLast + 1) == nCategory)
            ++nLast;
        CString strRange;
        if (nLast == nType)
            strRange.Format("%d", nType);
        else
            strRange.Format("%d to %d", nType, nLast);
        strRanges += (strRanges.IsEmpty() ? "" : ", ") + strRange;
        nCount += nLast - nType + 1;
        nType = nLast;
    }
    if (nCount == 0)
        return "no device type";
    return (nCount == 1 ? "device type " : "device types ") + strRanges;
}

// The recordings declared by receiving applications whose processes run:
// a power command waits for them (its waiting shows in the journal).
BOOL CStatusReport::PrintRecordings()
{
    printf("\nRecordings declared (a power command waits for their end):\n");
    CSharedMemory table;
    if (!table.Open(RecordingTable::SIZE, RecordingTable::NAME) || table.GetValidSize() < RecordingTable::SIZE)
    {
        printf("  none\n");
        return TRUE;
    }
    RecordingTable::SEntry aEntries[RecordingTable::CAPACITY];
    if (!table.TryLock(CStatusReport::TABLE_LOCK_TIMEOUT))
        return Fail("the table of recordings", ERROR_TIMEOUT, "a receiving application holds it; try again");
    CopyMemory(aEntries, table.m_pView, RecordingTable::SIZE);
    table.Unlock();
    int nShown = 0;
    for (int i = 0; i < RecordingTable::CAPACITY; ++i)
    {
        const RecordingTable::SEntry& entry = aEntries[i];
        if (entry.dwProcessId == 0 || !CProcessIdentity::IsRunning(entry.dwProcessId, entry.created))
            continue;
        FILETIME local;
        SYSTEMTIME since;
        ::FileTimeToLocalFileTime(&entry.since, &local);
        ::FileTimeToSystemTime(&local, &since);
        char szReason[RecordingTable::REASON_LIMIT];
        ::lstrcpynA(szReason, entry.szReason, RecordingTable::REASON_LIMIT);
        printf("  device %ld.%ld: %s, since %04u-%02u-%02u %02u:%02u:%02u, process %lu\n", entry.nDeviceType,
               entry.nDeviceIndex, static_cast<LPCSTR>(CRunJournal::Escape(szReason)), since.wYear, since.wMonth,
               since.wDay, since.wHour, since.wMinute, since.wSecond, entry.dwProcessId);
        ++nShown;
    }
    if (nShown == 0)
        printf("  none\n");
    return TRUE;
}

BOOL CStatusReport::PrintWaitingRuns()
{
    printf("\nPower commands waiting (no request while this holds):\n");
    CWaitingRuns::SRun aRuns[CWaitingRuns::MAX_RUNS];
    const int nRuns = CWaitingRuns::ReadAll(aRuns, CWaitingRuns::MAX_RUNS);
    for (int i = 0; i < nRuns; ++i)
        printf("  process %lu, since %s: %s\n", aRuns[i].dwProcessId, static_cast<LPCSTR>(aRuns[i].strSince),
               static_cast<LPCSTR>(CRunJournal::Escape(aRuns[i].strWhat)));
    if (nRuns == 0)
        printf("  none\n");
    return TRUE;
}

BOOL CStatusReport::PrintSchedule()
{
    printf("\nScheduled to start within %d hours (tasks Tickward made):\n", SCHEDULE_HOURS);
    SYSTEMTIME now, next;
    ::GetLocalTime(&now);
    const ULONGLONG ullLimit = TimeTicks::FromSystemTime(now) + SCHEDULE_HOURS * TimeTicks::PER_HOUR;
    CScheduledTask* aTasks = new CScheduledTask[CScheduledTask::MAX_TASKS];
    CTickwardTasks tasks;
    const int nTasks = tasks.List(aTasks, CScheduledTask::MAX_TASKS, now, FALSE);
    int nShown = 0;
    // Sorted by next start: the first one past the limit ends the list.
    for (; nShown < nTasks && aTasks[nShown].GetNextStart(now, next) && TimeTicks::FromSystemTime(next) <= ullLimit;
         ++nShown)
        printf("  \"%s\": %s\n", static_cast<LPCSTR>(aTasks[nShown].m_strName),
               static_cast<LPCSTR>(aTasks[nShown].GetSummary(now)));
    delete[] aTasks;
    if (nShown == 0)
        printf("  none\n");
    return TRUE;
}

BOOL CStatusReport::PrintMailboxes()
{
    // Every product that has a mailbox; today that is the supported one.
    return PrintMailbox(ProductCode::SUPPORTED, MailboxLayout::KEY);
}

BOOL CStatusReport::PrintMailbox(LPCSTR pszProduct, LPCSTR pszKey)
{
    printf("\nMailbox of %s (HKEY_CURRENT_USER\\%s):\n", pszProduct, pszKey);
    HKEY hKey = NULL;
    const LONG lOpened = ::RegOpenKeyExA(HKEY_CURRENT_USER, pszKey, 0, KEY_READ, &hKey);
    if (lOpened == ERROR_FILE_NOT_FOUND)
    {
        printf("  none yet: the first job makes it\n");
        return TRUE;
    }
    if (lOpened != ERROR_SUCCESS)
        return Fail("the mailbox", static_cast<DWORD>(lOpened),
                    "run twstatus as the Windows user of the receiving application");
    int nUsed = 0;
    for (int nSlot = MailboxLayout::FIRST_SLOT; nSlot <= MailboxLayout::LAST_SLOT; ++nSlot)
    {
        const CString strSlot = MailboxLayout::GetSlotName(nSlot);
        const CString strText = DescribeSlot(hKey, strSlot);
        if (strText.IsEmpty())
            continue;
        printf("  slot %s: %s\n", static_cast<LPCSTR>(strSlot), static_cast<LPCSTR>(strText));
        ++nUsed;
    }
    if (nUsed == 0)
        printf("  no slot holds anything\n");
    printf("  %s\n", static_cast<LPCSTR>(DescribeLock(hKey)));
    ::RegCloseKey(hKey);
    return TRUE;
}

// What a slot holds, as a reader would see it; empty when there is no slot.
CString CStatusReport::DescribeSlot(HKEY hKey, LPCSTR pszSlot)
{
    char szText[MailboxLayout::TEXT_LIMIT + 1];
    ZeroMemory(szText, sizeof(szText));
    DWORD dwType = REG_NONE;
    DWORD dwSize = MailboxLayout::TEXT_LIMIT;
    const LONG lResult = ::RegQueryValueExA(hKey, pszSlot, NULL, &dwType, reinterpret_cast<LPBYTE>(szText), &dwSize);
    CString strText;
    if (lResult == ERROR_FILE_NOT_FOUND)
        return strText;
    if (lResult == ERROR_MORE_DATA)
        strText = "too long for any reader: it is never taken";
    else if (lResult != ERROR_SUCCESS || (dwType != REG_SZ && dwType != REG_EXPAND_SZ))
        strText.Format("not a text (type %lu): never taken", dwType);
    // Byte for byte, as readers compare: a locale comparison would call
    // texts with characters of no sorting weight consumed too.
    else if (strcmp(szText, MailboxLayout::CONSUMED_MARK) == 0)
        strText = "consumed: deleted when the reader's drain ends";
    else
    {
        CCmdLineParams params;
        if (ParseCmdLine(szText, &params, FALSE, FALSE))
            strText = "job " + CRunJournal::Escape(params.Describe());
        else
            strText.Format("not a job: %d characters that do not parse", lstrlenA(szText));
    }
    return strText;
}

CString CStatusReport::DescribeLock(HKEY hKey)
{
    DWORD dwValue = 0;
    DWORD dwType = REG_NONE;
    DWORD dwSize = sizeof(dwValue);
    const LONG lResult = ::RegQueryValueExA(hKey, MailboxLayout::LOCK_VALUE, NULL, &dwType,
                                            reinterpret_cast<LPBYTE>(&dwValue), &dwSize);
    CString strLock;
    if (lResult != ERROR_SUCCESS || dwType != REG_DWORD || dwSize != sizeof(dwValue))
        strLock.Format("%s: not set (free)", MailboxLayout::LOCK_VALUE);
    else if (dwValue == MailboxLayout::LOCK_HELD)
        strLock.Format("%s: %lu - WARNING: the lock is held. If it stays held, the program that took it was "
                       "ended in the middle; every scan then waits about 2 s first.",
                       MailboxLayout::LOCK_VALUE, dwValue);
    else
        strLock.Format("%s: %lu (free)", MailboxLayout::LOCK_VALUE, dwValue);
    return strLock;
}

BOOL CStatusReport::PrintJournal()
{
    CString strPath;
    if (!CRunJournal::GetPath(strPath))
        return Fail("the local application data folder", ERROR_PATH_NOT_FOUND,
                    "Windows gives none for this user: the journal cannot be kept either");
    printf("\nLast runs (%s):\n", static_cast<LPCSTR>(strPath));
    CString strTail;
    DWORD dwError = ERROR_SUCCESS;
    if (!ReadTail(strPath, JOURNAL_TAIL, strTail, dwError))
    {
        if (dwError != ERROR_FILE_NOT_FOUND && dwError != ERROR_PATH_NOT_FOUND)
            return Fail("the journal", dwError, "check that journal.log is a file this user may read");
        printf("  none yet: Tickward has not run\n");
        return TRUE;
    }
    // The tail holds far more than the lines shown, so a line that it cut
    // at its start is never among them. Only complete lines count.
    int nLines = 0;
    for (int nEnd = strTail.Find("\n"); nEnd >= 0; nEnd = strTail.Find("\n", nEnd + 1))
        ++nLines;
    int nLine = 0;
    int nStart = 0;
    for (int nEnd = strTail.Find("\n"); nEnd >= 0; nEnd = strTail.Find("\n", nStart), ++nLine)
    {
        if (nLine >= nLines - JOURNAL_LINES)
        {
            CString strLine = strTail.Mid(nStart, nEnd - nStart);
            strLine.TrimRight();
            printf("%s\n", static_cast<LPCSTR>(strLine));
        }
        nStart = nEnd + 1;
    }
    return TRUE;
}

void CStatusReport::Pause(DWORD dwMilliseconds)
{
    ::Sleep(dwMilliseconds);
}

BOOL CStatusReport::FailBusy()
{
    CString strError;
    strError.Format("twstatus: the heartbeat table is busy: its mutex was held for more than %lu s; a receiving "
                    "application hangs holding it: end it and try again",
                    static_cast<unsigned long>(TABLE_LOCK_TIMEOUT / 1000));
    return Note(strError);
}

BOOL CStatusReport::Fail(LPCSTR pszWhat, DWORD dwError, LPCSTR pszTry)
{
    char szText[256] = { 0 };
    ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, dwError, 0, szText,
                     sizeof(szText) - 1, NULL);
    CString strText(szText);
    strText.TrimRight();
    CString strError;
    strError.Format("twstatus: cannot read %s (error %lu: %s); %s", pszWhat, dwError,
                    strText.IsEmpty() ? "no text for it" : static_cast<LPCSTR>(strText), pszTry);
    return Note(strError);
}

// Every part goes on being shown after one fails: the lines gather here.
BOOL CStatusReport::Note(const CString& strError)
{
    printf("  could not be read (the reason follows at the end)\n");
    if (!m_strError.IsEmpty())
        m_strError += "\n";
    m_strError += strError;
    return FALSE;
}
