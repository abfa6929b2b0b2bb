// CJobsOnTheirWay.cpp - the jobs a power command waits for before any
// recording is declared.
#include "app/CJobsOnTheirWay.h"

#include "afx/afxmt.h"
#include "app/CStartRecord.h"
#include "cmdline/CCmdLineParams.h"
#include "cmdline/ParseCmdLine.h"
#include "instance/CSharedMemory.h"
#include "instance/HeartbeatTable.h"

#include <stdlib.h>
#include <string.h>

namespace
{
const char STARTING_KEY[] = "SOFTWARE\\Tickward\\Starting";
const int NO_COUNTER = -1;

// The heartbeat table's counters, copied under its mutex; FALSE when the
// mutex stayed held.
BOOL ReadCounters(CSharedMemory& table, DWORD* adwCounters, DWORD dwLockWait)
{
    if (!table.TryLock(dwLockWait))
        return FALSE;
    CopyMemory(adwCounters, table.m_pView, HeartbeatTable::SIZE);
    table.Unlock();
    return TRUE;
}
}

CJobsOnTheirWay::CJobsOnTheirWay(DWORD dwStartWindow)
    : m_dwStartWindow(dwStartWindow)
{
}

CJobsOnTheirWay::~CJobsOnTheirWay()
{
}

int CJobsOnTheirWay::Look(CString& strFirst, DWORD dwLockWait)
{
    int anCounters[MailboxLayout::SLOT_COUNT];
    int anSlots[MailboxLayout::SLOT_COUNT];
    int nStarting = 0, nJobs = 0;
    {
        // A delivery holds it from its liveness test to its post: once it is
        // ours, no delivery is halfway.
        CMutex delivery(FALSE, MailboxLayout::GetDeliveryMutexName());
        CSingleLock lock(&delivery);
        if (!lock.Lock(dwLockWait))
        {
            strFirst = "a delivery in progress";
            return 1;
        }
        nStarting = LookAtStarts(strFirst);
        nJobs = ReadWaitingJobs(anCounters, anSlots);
    }
    CString strJob;
    const int nAlive = nJobs > 0 ? CountAlive(anCounters, anSlots, nJobs, dwLockWait, strJob) : 0;
    if (nStarting == 0)
        strFirst = strJob;
    return nStarting + nAlive;
}

int CJobsOnTheirWay::LookAtStarts(CString& strFirst)
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
        char* pDot = NULL;
        const int nCategory = static_cast<int>(strtol(szName, &pDot, 10));
        const int nIndex = nRead == ERROR_SUCCESS && *pDot == '.' ? atoi(pDot + 1) : NO_COUNTER;
        const DWORD dwProcess = nIndex != NO_COUNTER ? CStartRecord(nCategory, nIndex).GetStarting(m_dwStartWindow) : 0;
        if (dwProcess != 0 && nStarting++ == 0)
            strFirst.Format("the application Tickward started for counter %d.%d (process %lu)", nCategory, nIndex,
                            dwProcess);
    }
    ::RegCloseKey(hKey);
    return nStarting;
}

// A job the reader has not taken yet: neither empty nor marked.
int CJobsOnTheirWay::ReadWaitingJobs(int* anCounters, int* anSlots)
{
    HKEY hKey = NULL;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, MailboxLayout::KEY, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return 0;
    int nJobs = 0;
    for (int nSlot = MailboxLayout::FIRST_SLOT; nSlot <= MailboxLayout::LAST_SLOT; ++nSlot)
    {
        char szText[MailboxLayout::TEXT_LIMIT];
        DWORD cbText = sizeof(szText) - 1, dwType = REG_NONE;
        if (::RegQueryValueExA(hKey, MailboxLayout::GetSlotName(nSlot), NULL, &dwType,
                               reinterpret_cast<BYTE*>(szText), &cbText) != ERROR_SUCCESS || dwType != REG_SZ)
            continue;
        szText[cbText] = '\0';
        CCmdLineParams params;
        if (strcmp(szText, MailboxLayout::CONSUMED_MARK) == 0 || !ParseCmdLine(szText, &params, FALSE, FALSE)
            || !HeartbeatTable::IsValidIndex(params.GetDeviceIndex(0)))
            continue;
        const int nCategory = HeartbeatTable::GetCategory(params.GetDeviceType(0));
        if (!HeartbeatTable::IsValidCategory(nCategory))
            continue;
        anCounters[nJobs] = HeartbeatTable::GetCounterOffset(nCategory, params.GetDeviceIndex(0)) / sizeof(DWORD);
        anSlots[nJobs++] = nSlot;
    }
    ::RegCloseKey(hKey);
    return nJobs;
}

int CJobsOnTheirWay::CountAlive(const int* anCounters, const int* anSlots, int nJobs, DWORD dwLockWait,
                                CString& strFirst)
{
    CSharedMemory table;
    DWORD adwFirst[HeartbeatTable::SIZE / sizeof(DWORD)];
    DWORD adwSecond[HeartbeatTable::SIZE / sizeof(DWORD)];
    // Made when missing, as a delivery makes it: then no counter grows.
    if (!table.Create(HeartbeatTable::SIZE, HeartbeatTable::NAME) || table.GetValidSize() < HeartbeatTable::SIZE)
        return 0;
    BOOL bRead = ReadCounters(table, adwFirst, dwLockWait);
    ::Sleep(HeartbeatTable::SAMPLE_PAUSE);
    bRead = bRead && ReadCounters(table, adwSecond, dwLockWait);
    int nAlive = 0;
    for (int i = 0; i < nJobs; ++i)
    {
        // A table that stayed locked may hide a live reader.
        if ((bRead && adwSecond[anCounters[i]] <= adwFirst[anCounters[i]]) || nAlive++ > 0)
            continue;
        strFirst.Format("a job in mailbox slot %d for a live receiving application", anSlots[i]);
    }
    return nAlive;
}
