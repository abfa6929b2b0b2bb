// Soak test of the mailbox reader: a running receiver is woken a thousand
// times (TICKWARD_SOAK_WAKEUPS) by one job each, and its open handles and
// memory, read from outside the process, must not grow. Part of `make soak`,
// not of the ordinary test run.
#include "receiver/ReceiverStop.h"
#include "tests/support/MailboxSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <psapi.h>
#include <winternl.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

namespace
{
const char HANDED_OVER[] = "job from mailbox:";
const int WARM_UP = 100;            // wake-ups before the first sample: caches and heaps settle
const DWORD REARM_MARGIN = 300;     // the reader re-arms 100 ms after its drain ends
const DWORD WAKEUP_TIMEOUT = 10000;

// The system-wide handle table as NtQuerySystemInformation gives it.
const int SYSTEM_HANDLE_INFORMATION = 16;
struct SHandleEntry
{
    USHORT wProcessId;
    USHORT wCreatorBackTraceIndex;
    UCHAR nObjectType;
    UCHAR nAttributes;
    USHORT wHandle;
    PVOID pObject;
    ULONG dwGrantedAccess;
};
struct SHandleTable
{
    ULONG nHandles;
    SHandleEntry entries[1];
};

struct SSample
{
    int nWakeups;
    int nHandles;
    SIZE_T nWorkingSet;
    SIZE_T nPrivate;
};

// Open handles of one process, counted in the system's table; -1 when the
// table cannot be read.
int CountHandles(DWORD dwProcessId)
{
    std::vector<BYTE> buffer(1 << 20);
    for (;;)
    {
        ULONG nNeeded = 0;
        const NTSTATUS status =
            NtQuerySystemInformation(static_cast<SYSTEM_INFORMATION_CLASS>(SYSTEM_HANDLE_INFORMATION),
                                     &buffer[0], static_cast<ULONG>(buffer.size()), &nNeeded);
        if (status == static_cast<NTSTATUS>(0xC0000004L) && buffer.size() < (64u << 20))   // too small
        {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (status != 0)
            return -1;
        break;
    }
    const SHandleTable* pTable = reinterpret_cast<const SHandleTable*>(&buffer[0]);
    int nCount = 0;
    for (ULONG i = 0; i < pTable->nHandles; ++i)
        if (pTable->entries[i].wProcessId == static_cast<USHORT>(dwProcessId))
            ++nCount;
    return nCount;
}

// The bytes a file holds past nOffset, which moves past them.
std::string ReadNewText(const std::string& strPath, DWORD& nOffset)
{
    const std::string strText = ReadFileText(strPath, nOffset);
    nOffset += static_cast<DWORD>(strText.size());
    return strText;
}

class WakeupSoakTest : public ::testing::Test
{
protected:
    std::string m_strLog;
    DWORD m_nLogOffset;
    HANDLE m_hReceiver;
    HKEY m_hKey;

    virtual void SetUp()
    {
        m_nLogOffset = 0;
        m_hKey = NULL;
        DeleteMailbox();
        const std::string strReceiver = BinPath("soak\\receiver.exe");
        m_strLog = strReceiver + ".log";
        ASSERT_TRUE(InstallProgram(BinPath("receiver.exe"), strReceiver));
        m_hReceiver = StartProcess(Quoted(strReceiver) + " --pause 0 --log " + Quoted(m_strLog));
        ASSERT_TRUE(m_hReceiver != NULL);
        ASSERT_NE(std::string::npos, WaitForFileText(m_strLog, "serving").find("serving"));
        // The reader's first arming makes the missing mailbox key.
        const DWORD dwStart = GetTickCount();
        while (RegOpenKeyExA(HKEY_CURRENT_USER, MAILBOX_KEY, 0, KEY_ALL_ACCESS, &m_hKey) != ERROR_SUCCESS)
        {
            m_hKey = NULL;
            ASSERT_LT(GetTickCount() - dwStart, WAKEUP_TIMEOUT);
            Sleep(10);
        }
        Sleep(REARM_MARGIN);
    }
    virtual void TearDown()
    {
        StopProcess(m_hReceiver, ReceiverStop::GetEventName(1, 2), 30000);
        if (m_hKey != NULL)
            RegCloseKey(m_hKey);
        DeleteMailbox();
    }

    // Posts one job into slot "1" and waits until the receiver has handed
    // it over, deleted the consumed slot and armed its notification again.
    BOOL WakeOnce(int nWakeup)
    {
        char szJob[128];
        sprintf(szJob, " 010102;P: _SEL;D: 5;Key: ;File: \"C:\\Rec\\wake%05d.ts\" ;FM: 1;TO: 1;SO: 0;EO: 0", nWakeup);
        if (RegSetValueExA(m_hKey, "1", 0, REG_SZ, reinterpret_cast<const BYTE*>(szJob),
                           static_cast<DWORD>(strlen(szJob) + 1)) != ERROR_SUCCESS)
            return FALSE;
        const DWORD dwStart = GetTickCount();
        BOOL bHandedOver = FALSE;
        while (!bHandedOver || RegQueryValueExA(m_hKey, "1", NULL, NULL, NULL, NULL) == ERROR_SUCCESS)
        {
            if (GetTickCount() - dwStart > WAKEUP_TIMEOUT)
                return FALSE;
            Sleep(5);
            bHandedOver = bHandedOver || ReadNewText(m_strLog, m_nLogOffset).find(HANDED_OVER) != std::string::npos;
        }
        Sleep(REARM_MARGIN);
        return TRUE;
    }
    SSample Sample(int nWakeups) const
    {
        PROCESS_MEMORY_COUNTERS counters;
        ZeroMemory(&counters, sizeof(counters));
        counters.cb = sizeof(counters);
        GetProcessMemoryInfo(m_hReceiver, &counters, sizeof(counters));
        SSample sample = { nWakeups, CountHandles(GetProcessId(m_hReceiver)), counters.WorkingSetSize,
                           counters.PagefileUsage };
        printf("soak: %5d wake-ups  %4d handles  working set %8lu  private %8lu bytes\n", sample.nWakeups,
               sample.nHandles, static_cast<unsigned long>(sample.nWorkingSet),
               static_cast<unsigned long>(sample.nPrivate));
        fflush(stdout);
        return sample;
    }
};
}

TEST_F(WakeupSoakTest, ReaderKeepsItsHandlesAndMemoryThroughAThousandWakeups)
{
    const char* pszWakeups = getenv("TICKWARD_SOAK_WAKEUPS");
    const int nWakeups = pszWakeups != NULL && *pszWakeups != '\0' ? atoi(pszWakeups) : 1000;
    ASSERT_GT(nWakeups, WARM_UP);

    SSample first = { 0, 0, 0, 0 };
    for (int nWakeup = 1; nWakeup <= nWakeups; ++nWakeup)
    {
        ASSERT_TRUE(WakeOnce(nWakeup)) << "wake-up " << nWakeup << " was not handled";
        if (nWakeup == WARM_UP)
            first = Sample(nWakeup);
        else if (nWakeup % 100 == 0)
            Sample(nWakeup);
    }
    const SSample last = Sample(nWakeups);

    ASSERT_GT(first.nHandles, 0);   // the table is readable, so the comparison means something
    EXPECT_LE(last.nHandles, first.nHandles);
    // A leak of even a few bytes a wake-up would show as many kilobytes.
    EXPECT_LE(last.nPrivate, first.nPrivate + 64 * 1024);
    EXPECT_LE(last.nWorkingSet, first.nWorkingSet + 256 * 1024);
}
