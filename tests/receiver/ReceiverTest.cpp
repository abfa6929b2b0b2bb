// End-to-end tests of the example receiving application with the real
// tickward.exe: the job reaches the receiver's callback with every field
// intact, through the mailbox or, when Tickward has to start the receiver,
// on its command line, and then only once; a receiver that Tickward started
// serves the device of its job.
#include "receiver/ReceiverStop.h"
#include "tests/support/CLocalAppData.h"
#include "tests/support/MailboxSupport.h"
#include "tests/support/TableNames.h"
#include "tests/support/TestRuns.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

namespace
{
const char JOB_FIELDS[] = ";P: _SEL;D: 7;Key: secret key;File: \"C:\\Rec\\late movie.ts\";FM: 2;TO: 3;SO: -4;EO: 5";
const char PRINTED_FIELDS[] = "devices=\"010102\" type=1 index=2 P=\"_SEL\" D=7 Key=\"secret key\" "
                              "File=\"C:\\Rec\\late movie.ts\" FM=2 TO=3 SO=-4 EO=5";

// The heartbeat counter of device 1/2, read from outside; 0 without a table.
DWORD ReadCounter()
{
    HANDLE hMapping = OpenFileMappingA(FILE_MAP_READ, FALSE, TABLE_MAPPING);
    if (hMapping == NULL)
        return 0;
    DWORD dwCounter = 0;
    const DWORD* pTable = static_cast<const DWORD*>(MapViewOfFile(hMapping, FILE_MAP_READ, 0, 0, TABLE_SIZE));
    if (pTable != NULL)
    {
        dwCounter = pTable[(1 * 40 + 2 * 4) / 4];
        UnmapViewOfFile(pTable);
    }
    CloseHandle(hMapping);
    return dwCounter;
}

// The receiver under test: the one built beside the tests, or the one that
// TICKWARD_RECEIVER names (the consumer test builds it from the installed SDK).
std::string ReceiverProgram()
{
    const char* pszPath = getenv("TICKWARD_RECEIVER");
    return pszPath != NULL && *pszPath != '\0' ? pszPath : BinPath("receiver.exe");
}

class ReceiverTest : public ::testing::Test
{
protected:
    ReceiverTest() : m_appData(BinPath("receiver ") + ::testing::UnitTest::GetInstance()->current_test_info()->name())
    {
    }

    CLocalAppData m_appData;
    std::string m_strApp;
    std::string m_strLog;
    int m_nType = 1;     // the device of the receiver under test
    int m_nIndex = 2;

    virtual void SetUp()
    {
        DeleteMailbox();
        m_strApp = TestFolder("receiver") + "\\TV App\\tvapp.exe";
        ServeDevice(1, 2);
        CreateDirectoryA(m_appData.m_strFolder.c_str(), NULL);
        CreateDirectoryA(m_appData.TickwardFolder().c_str(), NULL);
        ASSERT_TRUE(InstallProgram(ReceiverProgram(), m_strApp));
    }
    // The receiver keeps its job log beside Tickward's journal, named after its device.
    void ServeDevice(int nType, int nIndex)
    {
        m_nType = nType;
        m_nIndex = nIndex;
        m_strLog = m_appData.TickwardFolder() + "\\receiver-" + std::to_string(nType) + "-" + std::to_string(nIndex) +
                   ".log";
        DeleteFileA(m_strLog.c_str());
    }
    virtual void TearDown()
    {
        StopReceiver();
        DeleteMailbox();
    }

    // Asks the receiver to stop and waits for it; a stop lets it finish the
    // 10 s pause after a job first. TRUE when it said it stopped.
    BOOL StopReceiver()
    {
        HANDLE hStop = OpenEventA(EVENT_MODIFY_STATE, FALSE, ReceiverStop::GetEventName(m_nType, m_nIndex));
        if (hStop == NULL)
            return FALSE;
        SetEvent(hStop);
        CloseHandle(hStop);
        return WaitForFileText(m_strLog, "receiver: stopped", 40000).find("receiver: stopped") != std::string::npos;
    }
    HANDLE StartServing()
    {
        HANDLE hReceiver = StartProcess(Quoted(m_strApp) + " --type 1 --index 2 --log " + Quoted(m_strLog));
        EXPECT_NE(std::string::npos, WaitForFileText(m_strLog, "serving device type 1, index 2").find("serving"));
        Sleep(1000);    // its first round drains the empty mailbox and arms the notification
        return hReceiver;
    }
    DWORD Deliver(const char* pszDevices = "010102")
    {
        CDebuggeeRun run = RunTickward(Quoted(m_strApp) + ";" + pszDevices + JOB_FIELDS);
        EXPECT_TRUE(run.m_outputs.empty());
        return run.m_dwExitCode;
    }
};
}

TEST_F(ReceiverTest, RunningReceiverGetsTheJobThroughTheMailboxWithEveryField)
{
    HANDLE hReceiver = StartServing();
    ASSERT_TRUE(hReceiver != NULL);
    EXPECT_EQ(0u, Deliver());
    const std::string strLog = WaitForFileText(m_strLog, "job from", 10000);
    EXPECT_NE(std::string::npos, strLog.find(std::string("job from mailbox: ") + PRINTED_FIELDS + "\r\n")) << strLog;

    EXPECT_TRUE(StopReceiver());
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hReceiver, 10000));
    DWORD dwExitCode = 99;
    GetExitCodeProcess(hReceiver, &dwExitCode);
    EXPECT_EQ(0u, dwExitCode);
    CloseHandle(hReceiver);
    // The consumed slot was deleted at the end of the drain.
    EXPECT_EQ(0u, ReadRawSlots().count(1));
    EXPECT_EQ(1u, CountOf(ReadFileText(m_strLog), "\njob from"));
}

TEST_F(ReceiverTest, TickwardStartsAStoppedReceiverThatHandlesTheJobOnce)
{
    EXPECT_EQ(0u, Deliver());
    std::string strLog = WaitForFileText(m_strLog, "handled already", 15000);
    EXPECT_NE(std::string::npos, strLog.find(std::string("job from command line: ") + PRINTED_FIELDS + "\r\n"))
        << strLog;
    EXPECT_NE(std::string::npos, strLog.find("receiver: job from mailbox was handled already (command line)"));

    EXPECT_TRUE(StopReceiver());
    strLog = ReadFileText(m_strLog);
    EXPECT_EQ(1u, CountOf(strLog, "\njob from")) << strLog;
}

// Tickward starts the application without options: it serves the job's
// device, so its heartbeat keeps that device alive (the next job for it
// starts no second copy) and its reader takes that device's jobs. A zero in
// the address is a device like any other.
TEST_F(ReceiverTest, ReceiverStartedWithAJobServesThatJobsDevice)
{
    for (const char* pszDevices : { "010305", "010004", "010300" })
    {
        SCOPED_TRACE(pszDevices);
        ServeDevice(pszDevices[3] - '0', pszDevices[5] - '0');
        const std::string strDevice = "type " + std::to_string(m_nType) + ", index " + std::to_string(m_nIndex);
        const std::string strPrinted = std::string("devices=\"") + pszDevices + "\" type=" + std::to_string(m_nType) +
                                       " index=" + std::to_string(m_nIndex) + " ";
        EXPECT_EQ(0u, Deliver(pszDevices));
        std::string strLog = WaitForFileText(m_strLog, "handled already", 15000);
        EXPECT_NE(std::string::npos, strLog.find("receiver: serving device " + strDevice + "\r\n")) << strLog;
        EXPECT_NE(std::string::npos, strLog.find("job from command line: " + strPrinted)) << strLog;

        EXPECT_EQ(0u, Deliver(pszDevices));
        strLog = WaitForFileText(m_strLog, "\njob from mailbox: " + strPrinted, 25000);
        EXPECT_NE(std::string::npos, strLog.find("\njob from mailbox: " + strPrinted)) << strLog;

        EXPECT_TRUE(StopReceiver());
        strLog = ReadFileText(m_strLog);
        EXPECT_EQ(1u, CountOf(strLog, "serving device")) << strLog;
        EXPECT_EQ(2u, CountOf(strLog, "\njob from")) << strLog;
        DeleteMailbox();
    }
}

// A person closes the application while a job arrives: the run that saw it
// alive has posted before the heartbeat ends, and the stop hands that job over.
TEST_F(ReceiverTest, StopWhileARunTestsTheHeartbeatHandsItsJobOver)
{
    HANDLE hReceiver = StartServing();
    ASSERT_TRUE(hReceiver != NULL);
    CloseHandle(hReceiver);
    ASSERT_TRUE(WaitUntil([] { return ReadCounter() > 5; }, 5000));
    HANDLE hRun = StartProcess(TickwardCommand(Quoted(m_strApp) + ";010102" + JOB_FIELDS));
    ASSERT_TRUE(hRun != NULL);
    // The run sets the table to 0 just before its first reading.
    ASSERT_TRUE(WaitUntil([] { return ReadCounter() < 3; }, 10000, 1));
    EXPECT_TRUE(StopReceiver());
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hRun, 30000));
    DWORD dwExitCode = 99;
    GetExitCodeProcess(hRun, &dwExitCode);
    CloseHandle(hRun);
    EXPECT_EQ(0u, dwExitCode);
    const std::string strLog = ReadFileText(m_strLog);
    EXPECT_EQ(1u, CountOf(strLog, std::string("\njob from mailbox: ") + PRINTED_FIELDS)) << strLog;
    EXPECT_EQ(1u, CountOf(strLog, "serving device")) << strLog;
    EXPECT_EQ(0u, ReadAllSlots().size());
}

// Started with a job whose copy never reached the mailbox, the receiver
// still takes the same job when it comes later (tomorrow's recording).
TEST_F(ReceiverTest, StartJobIsForgottenOnceTheFirstDrainIsOver)
{
    HANDLE hReceiver = StartProcess(Quoted(m_strApp) + " 010102" + JOB_FIELDS);
    ASSERT_TRUE(hReceiver != NULL);
    CloseHandle(hReceiver);
    ASSERT_NE(std::string::npos, WaitForFileText(m_strLog, "job from command line").find("job from"));
    Sleep(1000);    // its first round drains the empty mailbox
    EXPECT_EQ(0u, Deliver());
    const std::string strLog = WaitForFileText(m_strLog, "job from mailbox", 10000);
    EXPECT_EQ(1u, CountOf(strLog, std::string("\njob from mailbox: ") + PRINTED_FIELDS)) << strLog;
}

// Started with a job while an older one for its device waits in a lower
// slot, the receiver is stopped in the pause after the older one: the
// stop's hand-over drops the start job's mailbox copy, as the drain would.
TEST_F(ReceiverTest, StopDuringTheFirstDrainDropsTheStartJobsCopy)
{
    const std::string strStartJob = MailboxJob("010102", "C:\\Rec\\start.ts");
    WriteSlot(1, MailboxJob("010102", "C:\\Rec\\older.ts"));
    WriteSlot(2, strStartJob);
    HANDLE hReceiver = StartProcess(Quoted(m_strApp) + " --pause 5000 --log " + Quoted(m_strLog) + strStartJob);
    ASSERT_TRUE(hReceiver != NULL);
    CloseHandle(hReceiver);
    ASSERT_NE(std::string::npos, WaitForFileText(m_strLog, "older.ts").find("older.ts"));
    EXPECT_TRUE(StopReceiver());
    const std::string strLog = ReadFileText(m_strLog);
    EXPECT_EQ(1u, CountOf(strLog, "start.ts")) << strLog;
    EXPECT_EQ(1u, CountOf(strLog, "handled already")) << strLog;
    EXPECT_EQ(0u, ReadRawSlots().size());
}

// A stop asked while the receiver starts ends it; the stop is taken, so the
// next receiver serves, though it opens the same event (the test holds it).
TEST_F(ReceiverTest, StopAskedDuringTheStartEndsItAndIsTaken)
{
    HANDLE hStop = CreateEventA(NULL, TRUE, TRUE, ReceiverStop::GetEventName(1, 2));
    ASSERT_TRUE(hStop != NULL);
    HANDLE hFirst = StartProcess(Quoted(m_strApp) + " --type 1 --index 2 --log " + Quoted(m_strLog));
    ASSERT_TRUE(hFirst != NULL);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hFirst, 20000)) << "the stop was lost";
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(hStop, 0)) << "the stop was left for the next receiver";
    HANDLE hNext = StartServing();
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(hNext, 0)) << "the next receiver ended";
    EXPECT_TRUE(StopReceiver());
    CloseHandle(hNext);
    CloseHandle(hFirst);
    CloseHandle(hStop);
}

// One device, one serving process: a second receiver of the device is
// refused and leaves the first serving.
TEST_F(ReceiverTest, SecondReceiverOfADeviceIsRefused)
{
    HANDLE hReceiver = StartServing();
    ASSERT_TRUE(hReceiver != NULL);
    CloseHandle(hReceiver);
    std::string strOutput;
    EXPECT_EQ(2u, RunForOutput(Quoted(m_strApp) + " --type 1 --index 2 --log " + Quoted(m_strLog + ".second"),
                               strOutput));
    EXPECT_EQ("receiver: device type 1, index 2 is served by another process\r\n", strOutput);
    EXPECT_EQ(0u, Deliver());
    EXPECT_NE(std::string::npos, WaitForFileText(m_strLog, "job from mailbox", 10000).find("job from mailbox"));
    EXPECT_TRUE(StopReceiver());
}

// After a console close, a log-off or a shutdown, Windows ends the process
// once its console handler returns. The close comes here as Windows sends
// it (a thread at CtrlRoutine in the receiver), while a run holds the
// delivery mutex, and the process is ended as soon as that thread ends.
TEST_F(ReceiverTest, ConsoleCloseEndsTheProcessOnlyAfterTheLastHandOver)
{
    HANDLE hReceiver = StartServing();
    ASSERT_TRUE(hReceiver != NULL);
    WriteSlot(1, MailboxJob("010102", "C:\\Rec\\first.ts"));
    ASSERT_NE(std::string::npos, WaitForFileText(m_strLog, "first.ts").find("first.ts"));
    WriteSlot(2, MailboxJob("010102", "C:\\Rec\\last.ts"));     // waits out the pause after the first
    HANDLE hDelivery = CreateMutexA(NULL, TRUE, DELIVERY_MUTEX);
    const LPTHREAD_START_ROUTINE pfnCtrlRoutine = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "CtrlRoutine")));
    ASSERT_TRUE(pfnCtrlRoutine != NULL);
    HANDLE hClose = CreateRemoteThread(hReceiver, NULL, 0, pfnCtrlRoutine,
                                       reinterpret_cast<LPVOID>(static_cast<DWORD_PTR>(CTRL_CLOSE_EVENT)), 0, NULL);
    ASSERT_TRUE(hClose != NULL);
    Sleep(500);
    ReleaseMutex(hDelivery);
    CloseHandle(hDelivery);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hClose, 60000));
    TerminateProcess(hReceiver, 0xC000013A);
    CloseHandle(hClose);
    CloseHandle(hReceiver);
    const std::string strLog = ReadFileText(m_strLog);
    EXPECT_EQ(1u, CountOf(strLog, "last.ts")) << strLog;
    EXPECT_EQ(1u, CountOf(strLog, "receiver: stopped")) << strLog;
}
