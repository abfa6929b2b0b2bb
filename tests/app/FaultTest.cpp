// Tickward runs that die in the middle of a delivery, and heartbeat tables
// that a foreign process made unlike Tickward's: the mailbox only ever holds
// whole jobs, the next run delivers as usual without waiting for the dead
// one, and nothing outside the table is written.
#include "tests/support/CHeartbeatRun.h"
#include "tests/support/MailboxSupport.h"
#include "tests/support/TableNames.h"
#include "tests/support/TestRuns.h"
#include "tests/support/TestSupport.h"
#include "tools/dbgrun/CDebuggeeRun.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include <map>
#include <random>
#include <string>
#include <vector>

namespace
{
// The exit code a killed run is given; Tickward itself ends with 0, 1 or 2.
const DWORD KILLED = 0xDEAD;
// A run waits at most this long for the delivery mutex of another run: one
// that ends sooner did not wait for the mutex a dead run held.
const DWORD DELIVERY_MUTEX_WAIT = 30000;
const DWORD RUN_TIMEOUT = 60000;
const DWORD WATCH_TIMEOUT = 20000;

const BYTE FOREIGN_BYTE = 0xAB;

const int RANDOM_KILLS = 40;
const DWORD LATEST_KILL = 900;    // ms after the start; a run takes at least 600
// A run holds the mailbox lock only for its scan; on a busy machine the watch
// may get its turn only after a run has left the lock, so it tries again.
const int LOCK_ATTEMPTS = 10;

typedef LONG(NTAPI* PFNPROCESSCALL)(HANDLE hProcess);

// Holds or lets go every thread of a run ("NtSuspendProcess" or
// "NtResumeProcess"); FALSE when that failed, e.g. as the run has ended.
BOOL CallOnProcess(const char* pszFunction, HANDLE hProcess)
{
    // Through a function type without parameters, as the two types differ.
    PFNPROCESSCALL pfnCall = reinterpret_cast<PFNPROCESSCALL>(
        reinterpret_cast<void (*)(void)>(GetProcAddress(GetModuleHandleA("ntdll.dll"), pszFunction)));
    return pfnCall != NULL && pfnCall(hProcess) >= 0;
}

// Kills a run (if it has not ended yet) and returns its exit code.
DWORD Kill(HANDLE hProcess)
{
    TerminateProcess(hProcess, KILLED);
    DWORD dwExitCode = STILL_ACTIVE;
    if (WaitForSingleObject(hProcess, RUN_TIMEOUT) == WAIT_OBJECT_0)
        GetExitCodeProcess(hProcess, &dwExitCode);
    CloseHandle(hProcess);
    return dwExitCode;
}

// Watches the mailbox key for changes of its values, so that a run can be
// killed the moment the mailbox reaches a given state.
class CMailboxWatch
{
public:
    CMailboxWatch()
        : m_hKey(NULL), m_hChanged(CreateEventA(NULL, FALSE, FALSE, NULL))
    {
        RegCreateKeyExA(HKEY_CURRENT_USER, MAILBOX_KEY, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL,
                        &m_hKey, NULL);
        Arm();
    }
    virtual ~CMailboxWatch()
    {
        if (m_hKey != NULL)
            RegCloseKey(m_hKey);
        CloseHandle(m_hChanged);
    }

    // Kills the run as soon as bReached() holds; FALSE when the run ended
    // (or the watch ran out) before that.
    template <class TReached>
    BOOL KillWhen(HANDLE hProcess, TReached bReached)
    {
        const DWORD dwStart = GetTickCount();
        while (GetTickCount() - dwStart < WATCH_TIMEOUT)
        {
            if (KillIfReached(hProcess, bReached))
                return TRUE;
            HANDLE ahWait[2] = { m_hChanged, hProcess };
            // The time-out only covers a change made between a notice and
            // the arming after it.
            const DWORD dwWait = WaitForMultipleObjects(2, ahWait, FALSE, 50);
            if (dwWait == WAIT_OBJECT_0 + 1)
                return FALSE;
            if (dwWait == WAIT_OBJECT_0 && KillIfReached(hProcess, bReached))
                return TRUE;
            Arm();
        }
        return FALSE;
    }

    BOOL m_bArmed;

private:
    // The run is held while its state is read: one let go on between the
    // reading and the kill could leave that state first on a busy machine.
    template <class TReached>
    static BOOL KillIfReached(HANDLE hProcess, TReached bReached)
    {
        if (!CallOnProcess("NtSuspendProcess", hProcess))
            return FALSE;
        if (bReached())
            return TerminateProcess(hProcess, KILLED);
        CallOnProcess("NtResumeProcess", hProcess);
        return FALSE;
    }

    void Arm()
    {
        m_bArmed = m_hKey != NULL &&
                   RegNotifyChangeKeyValue(m_hKey, FALSE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET,
                                           m_hChanged, TRUE) == ERROR_SUCCESS;
    }

    HKEY m_hKey;
    HANDLE m_hChanged;
};

class FaultTest : public ::testing::Test
{
protected:
    std::string m_strApp;   // the receiving application: a recorder, for the runs that start it

    virtual void SetUp()
    {
        DeleteMailbox();
        m_strApp = TestFolder("fault") + "\\tvapp.exe";
        ASSERT_TRUE(InstallProgram(BinPath("recorder.exe"), m_strApp));
    }
    virtual void TearDown()
    {
        DeleteMailbox();
    }

    std::string Command(const std::string& strFile) const
    {
        return TickwardCommand(TimerJob(m_strApp, "010102", "_SEL", strFile));
    }
    HANDLE StartRun(const std::string& strFile) const
    {
        return StartProcess(Command(strFile));
    }

    // After a run was killed: the slots that were there hold what they held,
    // byte for byte, and a new slot holds the killed run's job, whole. Returns
    // how many slots hold that job.
    static int ExpectWholeJobsOnly(const std::map<int, std::string>& before, const std::string& strFile)
    {
        const std::map<int, std::string> after = ReadRawSlots();
        int nCopies = 0;
        for (std::map<int, std::string>::const_iterator it = after.begin(); it != after.end(); ++it)
        {
            std::map<int, std::string>::const_iterator itBefore = before.find(it->first);
            if (itBefore != before.end())
            {
                EXPECT_EQ(itBefore->second, it->second) << "slot " << it->first;
                continue;
            }
            EXPECT_EQ(RawText(MailboxJob("010102", strFile)), it->second) << "slot " << it->first;
            ++nCopies;
        }
        for (std::map<int, std::string>::const_iterator it = before.begin(); it != before.end(); ++it)
            EXPECT_EQ(1u, after.count(it->first)) << "slot " << it->first;
        EXPECT_GE(1, nCopies);
        return nCopies;
    }

    // The run after a dead one: its job lands once, in the first free slot,
    // nothing else changes, the lock is given back, and it did not wait for
    // the delivery mutex of the dead run.
    void ExpectNextRunDelivers(const std::string& strFile) const
    {
        std::map<int, std::string> expected = ReadRawSlots();
        int nFree = 1;
        while (expected.count(nFree) != 0)
            ++nFree;
        expected[nFree] = RawText(MailboxJob("010102", strFile));

        const DWORD dwStart = GetTickCount();
        CDebuggeeRun run;
        ASSERT_TRUE(run.Run(Command(strFile), RUN_TIMEOUT));
        EXPECT_GT(DELIVERY_MUTEX_WAIT, GetTickCount() - dwStart);
        EXPECT_EQ(0u, run.m_dwExitCode);
        EXPECT_EQ(std::vector<std::string>(), run.m_outputs);
        EXPECT_EQ(expected, ReadRawSlots());
        EXPECT_EQ(0u, ReadLock());
    }
};

// Waits until a run clears the heartbeat table, which it does holding the
// delivery mutex, right before its liveness test; FALSE when it never did.
BOOL WaitForTableCleared(const CHeartbeatRun& heartbeat, HANDLE hProcess)
{
    DWORD dwLast = heartbeat.ReadCounter();
    const DWORD dwStart = GetTickCount();
    while (GetTickCount() - dwStart < WATCH_TIMEOUT)
    {
        const DWORD dwNow = heartbeat.ReadCounter();
        if (dwNow < dwLast)
            return TRUE;
        dwLast = dwNow;
        if (WaitForSingleObject(hProcess, 1) != WAIT_TIMEOUT)
            return FALSE;
    }
    return FALSE;
}

// Waits until the counter has grown well above what a clearing leaves, so
// that the clearing cannot be missed between two readings.
BOOL WaitForCounterAbove(const CHeartbeatRun& heartbeat, DWORD dwValue)
{
    return WaitUntil([&] { return heartbeat.ReadCounter() > dwValue; }, WATCH_TIMEOUT);
}

// Slots of other devices' jobs, so that a scan has something to pass over.
void FillForeignSlots(int nLast)
{
    for (int nSlot = 1; nSlot <= nLast; ++nSlot)
        WriteSlot(nSlot, MailboxJob("010103", "C:\\Rec\\other" + std::to_string(nSlot) + ".ts"));
}
}

TEST_F(FaultTest, RunKilledDuringTheLivenessTestPostsNothingAndTheNextTakesOverItsMutex)
{
    CHeartbeatRun heartbeat(1, 2);
    ASSERT_TRUE(heartbeat.m_bStarted);
    ASSERT_TRUE(WaitForCounterAbove(heartbeat, 4));

    HANDLE hProcess = StartRun("C:\\Rec\\killed.ts");
    ASSERT_TRUE(hProcess != NULL);
    const BOOL bCleared = WaitForTableCleared(heartbeat, hProcess);
    EXPECT_EQ(KILLED, Kill(hProcess));
    ASSERT_TRUE(bCleared);

    EXPECT_EQ((std::map<int, std::string>()), ReadRawSlots());
    EXPECT_EQ(LOCK_ABSENT, ReadLock());
    ExpectNextRunDelivers("C:\\Rec\\next.ts");
}

TEST_F(FaultTest, RunKilledInsideTheLockedScanLeavesOnlyTheLockWhichTimesOut)
{
    CHeartbeatRun heartbeat(1, 2);
    ASSERT_TRUE(heartbeat.m_bStarted);
    std::map<int, std::string> before;
    BOOL bKilled = FALSE;
    int nAttempt = 0;
    for (; nAttempt < LOCK_ATTEMPTS && !bKilled; ++nAttempt)
    {
        DeleteMailbox();
        // Occupied slots make the scan pass over them while the lock is held.
        FillForeignSlots(10);
        before = ReadRawSlots();
        CMailboxWatch watch;
        ASSERT_TRUE(watch.m_bArmed);

        HANDLE hProcess = StartRun("C:\\Rec\\killed.ts");
        ASSERT_TRUE(hProcess != NULL);
        bKilled = watch.KillWhen(hProcess, []() { return ReadLock() == 1; });
        // A run the watch missed has delivered as usual.
        EXPECT_EQ(bKilled ? KILLED : 0u, Kill(hProcess)) << "attempt " << nAttempt;
    }
    ASSERT_TRUE(bKilled);

    const int nCopies = ExpectWholeJobsOnly(before, "C:\\Rec\\killed.ts");
    printf("killed %s its slot was written, run %d\n", nCopies == 0 ? "before" : "after", nAttempt);
    EXPECT_EQ(1u, ReadLock());  // no one gives back the lock of a dead run
    ExpectNextRunDelivers("C:\\Rec\\next.ts");
}

TEST_F(FaultTest, RunKilledRightAfterItsSlotAppearsLeavesItsJobWhole)
{
    CHeartbeatRun heartbeat(1, 2);
    ASSERT_TRUE(heartbeat.m_bStarted);
    CMailboxWatch watch;
    ASSERT_TRUE(watch.m_bArmed);

    HANDLE hProcess = StartRun("C:\\Rec\\killed.ts");
    ASSERT_TRUE(hProcess != NULL);
    const BOOL bKilled = watch.KillWhen(hProcess, []() {
        BOOL bFound = FALSE;
        ReadSlot(1, &bFound);
        return bFound;
    });
    const DWORD dwExitCode = Kill(hProcess);
    // The run may have ended on its own between the write and the kill.
    EXPECT_TRUE(dwExitCode == KILLED || dwExitCode == 0) << dwExitCode;
    ASSERT_TRUE(bKilled || dwExitCode == 0);

    EXPECT_EQ(1, ExpectWholeJobsOnly(std::map<int, std::string>(), "C:\\Rec\\killed.ts"));
    ExpectNextRunDelivers("C:\\Rec\\next.ts");
}

TEST_F(FaultTest, RunsKilledAtRandomMomentsLeaveWholeJobsAndTheNextRunDelivers)
{
    CHeartbeatRun heartbeat(1, 2);
    ASSERT_TRUE(heartbeat.m_bStarted);
    std::mt19937 random(ChooseSeed("TICKWARD_FAULT_SEED"));
    std::uniform_int_distribution<int> delays(0, static_cast<int>(LATEST_KILL));
    // How far the killed runs got: not to the mailbox, inside the lock
    // before the write, after the write with the lock held, to the end.
    int anReached[4] = { 0, 0, 0, 0 };
    for (int nRun = 0; nRun < RANDOM_KILLS; ++nRun)
    {
        const int nDelay = delays(random);
        SCOPED_TRACE("run " + std::to_string(nRun) + ", killed after " + std::to_string(nDelay) + " ms");
        DeleteMailbox();
        const std::string strKilled = "C:\\Rec\\killed" + std::to_string(nRun) + ".ts";
        HANDLE hProcess = StartRun(strKilled);
        ASSERT_TRUE(hProcess != NULL);
        Sleep(static_cast<DWORD>(nDelay));  // the kill point, not a measurement
        const DWORD dwExitCode = Kill(hProcess);

        const int nCopies = ExpectWholeJobsOnly(std::map<int, std::string>(), strKilled);
        const BOOL bLockHeld = ReadLock() == 1;
        if (dwExitCode != KILLED)
        {
            EXPECT_EQ(0u, dwExitCode);
            EXPECT_EQ(1, nCopies);
            EXPECT_FALSE(bLockHeld);
        }
        ++anReached[dwExitCode != KILLED ? 3 : nCopies == 0 ? (bLockHeld ? 1 : 0) : 2];
        ExpectNextRunDelivers("C:\\Rec\\next" + std::to_string(nRun) + ".ts");
    }
    printf("runs killed before the mailbox %d, inside the lock %d, after the write %d; ended %d\n",
           anReached[0], anReached[1], anReached[2], anReached[3]);
}

TEST_F(FaultTest, ForeignTableSmallerThanTheCountersIsClearedWithinItsView)
{
    // A foreign process made the table with 100 bytes instead of 240; the
    // view of it covers its whole page, which the test fills to see what
    // Tickward touches.
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    HANDLE hTable = CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, 100, TABLE_MAPPING);
    ASSERT_TRUE(hTable != NULL);
    ASSERT_NE(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    BYTE* pView = static_cast<BYTE*>(MapViewOfFile(hTable, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_TRUE(pView != NULL);
    FillMemory(pView, system.dwPageSize, FOREIGN_BYTE);

    CDebuggeeRun run;
    ASSERT_TRUE(run.Run(Command("C:\\Rec\\show.ts"), RUN_TIMEOUT));
    EXPECT_EQ(0u, run.m_dwExitCode);  // no counter grew: the application was started
    EXPECT_EQ(std::vector<std::string>(), run.m_outputs);
    EXPECT_EQ(MailboxJob("010102", "C:\\Rec\\show.ts"), ReadSlot(1));
    EXPECT_EQ(Quoted(m_strApp) + " " + MailboxJob("010102", "C:\\Rec\\show.ts") + "\n",
              WaitForFileText(m_strApp + ".log"));

    EXPECT_EQ(std::string(100, '\0'), std::string(reinterpret_cast<char*>(pView), 100));
    EXPECT_EQ(std::string(system.dwPageSize - TABLE_SIZE, static_cast<char>(FOREIGN_BYTE)),
              std::string(reinterpret_cast<char*>(pView) + TABLE_SIZE, system.dwPageSize - TABLE_SIZE));
    UnmapViewOfFile(pView);
    CloseHandle(hTable);
}

TEST_F(FaultTest, ForeignTableWithoutAccessibleBytesEndsTheRunAsNotDelivered)
{
    // Made with its pages reserved only: on Windows every touch of the view
    // faults. Wine lets a touch pass, so there the readings tell: a run that
    // read the table anyway would see a dead application and start it.
    HANDLE hTable = CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE | SEC_RESERVE, 0, TABLE_SIZE,
                                       TABLE_MAPPING);
    ASSERT_TRUE(hTable != NULL);
    ASSERT_NE(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());

    CDebuggeeRun run;
    ASSERT_TRUE(run.Run(Command("C:\\Rec\\show.ts"), RUN_TIMEOUT));
    EXPECT_EQ(2u, run.m_dwExitCode);
    EXPECT_EQ(std::vector<std::string>({ "\nCOrvaneApp::CheckInstance(P) GetCounter(A) fail!\t",
                                         "\nCSharedMemory::Delete () AfxIsValidAddress() = FALSE" }),
              run.m_outputs);
    EXPECT_EQ((std::map<int, std::string>()), ReadRawSlots());
    Sleep(1000);    // time for a started application to write; none may have been
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((m_strApp + ".log").c_str()));
    CloseHandle(hTable);
}
