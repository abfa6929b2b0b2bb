// CJobsOnTheirWay.cpp - the jobs a power command waits for before any
// recording is declared.
#include "app/CJobsOnTheirWay.h"

#include "afx/afxmt.h"
#include "app/CStartRecord.h"
#include "cmdline/CCmdLineParams.h"
#include "cmdline/ParseCmdLine.h"
#include "instance/CSharedMemory.h"
#include "instance/HeartbeatTable.h"
#include "mailbox/CRegistry.h"

namespace
{
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
    int nCategory = 0, nIndex = 0;
    DWORD dwProcessId = 0;
    const int nStarting = CStartRecord::FindStarting(m_dwStartWindow, nCategory, nIndex, dwProcessId);
    if (nStarting > 0)
        strFirst.Format("the application Tickward started for counter %d.%d (process %lu)", nCategory, nIndex,
                        dwProcessId);
    return nStarting;
}

// A job the reader has not taken yet: neither empty nor marked.
int CJobsOnTheirWay::ReadWaitingJobs(int* anCounters, int* anSlots)
{
    CString astrNames[MailboxLayout::SLOT_COUNT], astrTexts[MailboxLayout::SLOT_COUNT];
    BOOL abFound[MailboxLayout::SLOT_COUNT];
    for (int i = 0; i < MailboxLayout::SLOT_COUNT; ++i)
        astrNames[i] = MailboxLayout::GetSlotName(MailboxLayout::FIRST_SLOT + i);
    CRegistry registry;
    if (!registry.ReadStrings(MailboxLayout::KEY, astrNames, MailboxLayout::SLOT_COUNT, astrTexts, abFound))
        return 0;
    int nJobs = 0;
    for (int i = 0; i < MailboxLayout::SLOT_COUNT; ++i)
    {
        CCmdLineParams params;
        if (!abFound[i] || astrTexts[i] == MailboxLayout::CONSUMED_MARK
            || !ParseCmdLine(astrTexts[i], &params, FALSE, FALSE) || !HeartbeatTable::IsValidIndex(params.GetDeviceIndex(0)))
            continue;
        const int nCategory = HeartbeatTable::GetCategory(params.GetDeviceType(0));
        if (!HeartbeatTable::IsValidCategory(nCategory))
            continue;
        anCounters[nJobs] = HeartbeatTable::GetCounterOffset(nCategory, params.GetDeviceIndex(0)) / sizeof(DWORD);
        anSlots[nJobs++] = MailboxLayout::FIRST_SLOT + i;
    }
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
