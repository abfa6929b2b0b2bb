// End-to-end tests of timer command delivery: the real tickward.exe against
// the real registry mailbox, the real heartbeat table (raised by heartbeat.exe)
// and a stand-in receiving application (recorder.exe).
#include "tests/support/CHeartbeatRun.h"
#include "tests/support/MailboxSupport.h"
#include "tests/support/TestRuns.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace
{
const char NOT_CREATED[] = "\nCSharedMemory::Delete () m_hMapping = NULL   SharedMemory not Create?";

class DeliveryTest : public ::testing::Test
{
protected:
    std::string m_strDir;      // a folder with a blank in its name, fresh for each test
    std::string m_strApp;      // the receiving application: a recorder in "TV App"
    std::string m_strPlanted;  // what an unquoted path would run first

    virtual void SetUp()
    {
        DeleteMailbox();
        m_strDir = TestFolder("delivery");
        m_strApp = m_strDir + "\\TV App\\tvapp.exe";
        m_strPlanted = m_strDir + "\\TV.exe";
        ASSERT_TRUE(InstallProgram(BinPath("recorder.exe"), m_strApp));
        ASSERT_TRUE(InstallProgram(BinPath("recorder.exe"), m_strPlanted));
    }
    virtual void TearDown()
    {
        DeleteMailbox();
    }

    std::string Job(const char* pszDevices = "010102", const char* pszProduct = "_SEL",
                    const std::string& strFile = "C:\\Rec\\show.ts") const
    {
        return TimerJob(m_strApp, pszDevices, pszProduct, strFile);
    }
    static std::string MailboxText(const char* pszDevices = "010102", const std::string& strFile = "C:\\Rec\\show.ts")
    {
        return MailboxJob(pszDevices, strFile);
    }
    std::string AppLog() { return WaitForFileText(m_strApp + ".log"); }
    // Whether the application was started at all: allow it time to write.
    BOOL AppStarted()
    {
        Sleep(1000);
        return GetFileAttributesA((m_strApp + ".log").c_str()) != INVALID_FILE_ATTRIBUTES;
    }
};
}

TEST_F(DeliveryTest, AliveApplicationGetsTheJobInTheFirstFreeSlotOnly)
{
    CHeartbeatRun heartbeat(1, 2);
    ASSERT_TRUE(heartbeat.m_bStarted);
    CDebuggeeRun run = RunTickward(Job());
    EXPECT_EQ(0u, run.m_dwExitCode);
    EXPECT_TRUE(run.m_outputs.empty());
    EXPECT_EQ(MailboxText(), ReadSlot(1));
    BOOL bFound = TRUE;
    ReadSlot(2, &bFound);
    EXPECT_FALSE(bFound);
    EXPECT_EQ(0u, ReadLock());
    EXPECT_FALSE(AppStarted());
}

TEST_F(DeliveryTest, DeadApplicationIsStartedWithTheQuotedPathAndTheJob)
{
    CDebuggeeRun run = RunTickward(Job());
    EXPECT_EQ(0u, run.m_dwExitCode);
    EXPECT_TRUE(run.m_outputs.empty());
    EXPECT_EQ(MailboxText(), ReadSlot(1));
    EXPECT_EQ(Quoted(m_strApp) + " " + MailboxText() + "\n", AppLog());
    // The blanks in the path did not let the system run "...\TV.exe".
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((m_strPlanted + ".log").c_str()));
}

TEST_F(DeliveryTest, SlotsHoldingTextsAreNeverWrittenOverConsumedOnesIncluded)
{
    CHeartbeatRun heartbeat(1, 2);
    WriteSlot(1, "a");
    WriteSlot(2, "xxx");
    WriteSlot(3, "b");
    WriteSlot(5, "xxx");
    EXPECT_EQ(0u, RunTickward(Job()).m_dwExitCode);
    EXPECT_EQ(MailboxText(), ReadSlot(4));
    EXPECT_EQ("xxx", ReadSlot(2));

    // Every slot holds a text, two of them the consumed mark: a reader may
    // be about to delete those, so the mailbox is full.
    for (int nSlot = 6; nSlot <= 20; ++nSlot)
        WriteSlot(nSlot, "full");
    const std::map<int, std::string> before = ReadRawSlots();
    CDebuggeeRun full = RunTickward(Job("010102", "_SEL", "C:\\Rec\\other.ts"));
    EXPECT_EQ(2u, full.m_dwExitCode);   // alive, but the job reached no slot
    EXPECT_TRUE(full.m_outputs.empty());
    EXPECT_EQ(before, ReadRawSlots());
    BOOL bFound = TRUE;
    ReadSlot(21, &bFound);
    EXPECT_FALSE(bFound);
    EXPECT_EQ(0u, ReadLock());

    // A lock left held by a run that died changes nothing of that: the scan
    // goes ahead after its wait and still writes over no text.
    ASSERT_EQ(ERROR_SUCCESS, SHSetValueA(HKEY_CURRENT_USER, MAILBOX_KEY, "Lock", REG_DWORD, "\1\0\0\0", 4));
    EXPECT_EQ(2u, RunTickward(Job("010102", "_SEL", "C:\\Rec\\fifth.ts")).m_dwExitCode);
    EXPECT_EQ(before, ReadRawSlots());
    EXPECT_FALSE(AppStarted());
}

TEST_F(DeliveryTest, FullMailboxStillStartsADeadApplication)
{
    for (int nSlot = 1; nSlot <= 20; ++nSlot)
        WriteSlot(nSlot, "full");
    EXPECT_EQ(0u, RunTickward(Job()).m_dwExitCode);   // handed over on the command line
    EXPECT_EQ(Quoted(m_strApp) + " " + MailboxText() + "\n", AppLog());
}

TEST_F(DeliveryTest, DeviceTypeFiveSamplesCategoryZero)
{
    CHeartbeatRun heartbeat(0, 2);
    EXPECT_EQ(0u, RunTickward(Job("010502")).m_dwExitCode);
    EXPECT_EQ(MailboxText("010502"), ReadSlot(1));
    EXPECT_FALSE(AppStarted());
}

TEST_F(DeliveryTest, UnusableCommandsPostAndStartNothing)
{
    for (const char* pszDevices : { "01010", "0101020", "020102" })
    {
        CDebuggeeRun run = RunTickward(Job(pszDevices));
        EXPECT_EQ(1u, run.m_dwExitCode) << pszDevices;
        EXPECT_EQ(std::vector<std::string>(), run.m_outputs) << pszDevices;
    }
    CDebuggeeRun index10 = RunTickward(Job("01010A"));     // the table has indexes 0 to 9
    EXPECT_EQ(1u, index10.m_dwExitCode);
    EXPECT_EQ(std::vector<std::string>({ "\nCInstanceCheck::SetCounter() Invalid Device Index!\t",
                                         "\nCOrvaneApp::CheckInstance(P) GetCounter(A) fail!\t" }),
              index10.m_outputs);
    CDebuggeeRun unknown = RunTickward(Job("010102", "_XYZ"));  // shows a box, then gives up
    EXPECT_EQ(1u, unknown.m_dwExitCode);
    EXPECT_EQ(std::vector<std::string>(1, NOT_CREATED), unknown.m_outputs);
    for (const char* pszTail : { "-e;3", "-E ;3", ";;;" })
    {
        CDebuggeeRun run = RunTickward(pszTail);
        EXPECT_EQ(1u, run.m_dwExitCode) << pszTail;
        EXPECT_EQ(std::vector<std::string>(1, NOT_CREATED), run.m_outputs) << pszTail;
    }
    BOOL bFound = TRUE;
    ReadSlot(1, &bFound);
    EXPECT_FALSE(bFound);
    EXPECT_FALSE(AppStarted());
}

TEST_F(DeliveryTest, HeldLockDelaysTheJobButDoesNotStopIt)
{
    CHeartbeatRun heartbeat(1, 2);
    ASSERT_EQ(ERROR_SUCCESS, SHSetValueA(HKEY_CURRENT_USER, MAILBOX_KEY, "Lock", REG_DWORD, "\1\0\0\0", 4));
    EXPECT_EQ(0u, RunTickward(Job()).m_dwExitCode);
    EXPECT_EQ(MailboxText(), ReadSlot(1));
    EXPECT_EQ(0u, ReadLock());
}

TEST_F(DeliveryTest, CommandsAreNeverCut)
{
    // 1040 characters and more do not fit the command buffer: refused whole.
    std::string strTooLong = Job("010102", "_SEL", "C:\\" + std::string(1200, 'f'));
    CDebuggeeRun refused = RunTickward(strTooLong);
    EXPECT_EQ(1u, refused.m_dwExitCode);
    ASSERT_EQ(2u, refused.m_outputs.size());
    EXPECT_EQ("\nTickward::StartCmdlineProcess() CmdLine too long!\t", refused.m_outputs[0]);
    EXPECT_EQ(NOT_CREATED, refused.m_outputs[1]);
    EXPECT_FALSE(AppStarted());

    // A mailbox text of 519 characters is posted as usual.
    const std::string strFile519(519 - MailboxText("010102", "").size(), 'n');
    CDebuggeeRun fits = RunTickward(Job("010102", "_SEL", strFile519));
    EXPECT_EQ(0u, fits.m_dwExitCode);
    EXPECT_EQ(519u, ReadSlot(1).size());
    EXPECT_EQ(Quoted(m_strApp) + " " + MailboxText("010102", strFile519) + "\n", AppLog());
}

TEST_F(DeliveryTest, JobTooLongForTheMailboxGoesOnlyOnTheCommandLine)
{
    const std::string strFile520(520 - MailboxText("010102", "").size(), 'm');
    CDebuggeeRun run = RunTickward(Job("010102", "_SEL", strFile520));
    EXPECT_EQ(0u, run.m_dwExitCode);    // the started application has it
    BOOL bFound = TRUE;
    ReadSlot(1, &bFound);
    EXPECT_FALSE(bFound);
    EXPECT_EQ(Quoted(m_strApp) + " " + MailboxText("010102", strFile520) + "\n", AppLog());

    CHeartbeatRun heartbeat(1, 2);
    CDebuggeeRun alive = RunTickward(Job("010102", "_SEL", strFile520));
    EXPECT_EQ(2u, alive.m_dwExitCode);  // alive, and the mailbox cannot hold it
    ASSERT_EQ(1u, alive.m_outputs.size());
    EXPECT_EQ("\nTickward::StartCmdlineProcess() CmdLine too long for the mailbox!\t", alive.m_outputs[0]);
}

TEST_F(DeliveryTest, OverlappingRunsEachDeliverExactlyOnceAndStartNothing)
{
    CHeartbeatRun heartbeat(1, 2);
    const int RUNS = 10;
    for (int nRound = 0; nRound < 3; ++nRound)
    {
        DeleteMailbox();
        std::vector<HANDLE> processes;
        for (int i = 0; i < RUNS; ++i)
        {
            HANDLE hProcess =
                StartProcess(TickwardCommand(Job("010102", "_SEL", "C:\\Rec\\job" + std::to_string(i) + ".ts")));
            ASSERT_TRUE(hProcess != NULL);
            processes.push_back(hProcess);
            // Staggered starts put every run's clearing of the heartbeat table
            // and its mailbox scan inside the windows of the others.
            Sleep(70);
        }
        for (size_t i = 0; i < processes.size(); ++i)
        {
            EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(processes[i], 60000));
            DWORD dwExitCode = 99;
            GetExitCodeProcess(processes[i], &dwExitCode);
            EXPECT_EQ(0u, dwExitCode);
            CloseHandle(processes[i]);
        }
        std::set<std::string> jobs;
        for (int nSlot = 1; nSlot <= RUNS; ++nSlot)
            jobs.insert(ReadSlot(nSlot));
        for (int i = 0; i < RUNS; ++i)
            EXPECT_EQ(1u, jobs.count(MailboxText("010102", "C:\\Rec\\job" + std::to_string(i) + ".ts")))
                << "round " << nRound << " job " << i;
        BOOL bFound = TRUE;
        ReadSlot(RUNS + 1, &bFound);
        EXPECT_FALSE(bFound);
    }
    EXPECT_FALSE(AppStarted());
}

// An application that spends seconds starting before its first heartbeat:
// the runs that find it not alive meanwhile post their jobs and wait for it
// instead of starting a second copy.
TEST_F(DeliveryTest, BurstForADeadSlowStartingApplicationStartsItOnce)
{
    const int RUNS = 20;
    HANDLE hRecorderStop = CreateEventA(NULL, TRUE, FALSE, "TickwardRecorderStop");
    ASSERT_TRUE(SetEnvironmentVariableA("TICKWARD_RECORDER_BEAT", "3000"));
    std::vector<HANDLE> processes;
    for (int i = 0; i < RUNS; ++i)
        processes.push_back(StartProcess(TickwardCommand(Job("010102", "_SEL", "C:\\Rec\\burst" + std::to_string(i) + ".ts"))));
    SetEnvironmentVariableA("TICKWARD_RECORDER_BEAT", NULL);
    for (size_t i = 0; i < processes.size(); ++i)
    {
        ASSERT_TRUE(processes[i] != NULL);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(processes[i], 120000));
        DWORD dwExitCode = 99;
        GetExitCodeProcess(processes[i], &dwExitCode);
        EXPECT_EQ(0u, dwExitCode) << "run " << i;
        CloseHandle(processes[i]);
    }
    std::string strSlots;
    for (int nSlot = 1; nSlot <= 20; ++nSlot)
        strSlots += ReadSlot(nSlot) + "\n";
    for (int i = 0; i < RUNS; ++i)
        EXPECT_EQ(1u, CountOf(strSlots, MailboxText("010102", "C:\\Rec\\burst" + std::to_string(i) + ".ts") + "\n"));
    EXPECT_EQ(1u, CountOf(AppLog(), "\n"));
    SetEvent(hRecorderStop);
    CloseHandle(hRecorderStop);
    Sleep(500);     // the recorder ends its heartbeat
}
