// A receiving application killed in the middle of a drain: the job it took
// stays marked as consumed, every other slot stays as it was, and the next
// receiver handles each remaining job of its device once, clears the marks
// and leaves the jobs of other devices alone.
#include "receiver/ReceiverStop.h"
#include "tests/support/MailboxSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace
{
const DWORD KILLED = 0xDEAD;
// Two jobs, each followed by the reader's 10 s pause, and the stop after them.
const DWORD DRAIN_TIMEOUT = 60000;

// How often a job for this file was handed to the receiver's callback.
size_t HandledCount(const std::string& strLog, const std::string& strFile)
{
    const std::string strLine = "job from mailbox: devices=\"010102\" type=1 index=2 P=\"_SEL\" D=5 Key=\"\" File=\"" +
                                strFile + "\"";
    return CountOf(strLog, strLine);
}

// Waits, bounded, until the mailbox holds exactly the given slots.
BOOL WaitForSlots(const std::map<int, std::string>& expected, DWORD dwTimeout)
{
    return WaitUntil([&] { return ReadRawSlots() == expected; }, dwTimeout, 100);
}

// Asks the running receiver to stop and waits until it has ended.
BOOL StopReceiver(HANDLE hReceiver)
{
    HANDLE hStop = OpenEventA(EVENT_MODIFY_STATE, FALSE, ReceiverStop::GetEventName(1, 2));
    const BOOL bSignalled = hStop != NULL && SetEvent(hStop);
    if (hStop != NULL)
        CloseHandle(hStop);
    const BOOL bEnded = WaitForSingleObject(hReceiver, DRAIN_TIMEOUT) == WAIT_OBJECT_0;
    CloseHandle(hReceiver);
    return bSignalled && bEnded;
}
}

TEST(ReceiverFault, ReceiverKilledDuringADrainLeavesTheRestToTheNextOne)
{
    DeleteMailbox();
    const std::string strApp = BinPath("receiver fault\\tvapp.exe");
    const std::string strLog = strApp + ".log";
    ASSERT_TRUE(InstallProgram(BinPath("receiver.exe"), strApp));

    WriteSlot(1, MailboxJob("010102", "C:\\Rec\\first.ts"));
    WriteSlot(2, MailboxJob("010103", "C:\\Rec\\other device.ts"));
    WriteSlot(3, MailboxJob("010102", "C:\\Rec\\second.ts"));
    WriteSlot(4, MailboxJob("010102", "C:\\Rec\\third.ts"));
    std::map<int, std::string> expected = ReadRawSlots();

    // Killed in the pause after its first job, with the other two waiting.
    HANDLE hReceiver = StartProcess(Quoted(strApp) + " --type 1 --index 2 --log " + Quoted(strLog));
    ASSERT_TRUE(hReceiver != NULL);
    const std::string strFirstLog = WaitForFileText(strLog, "first.ts", DRAIN_TIMEOUT);
    TerminateProcess(hReceiver, KILLED);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hReceiver, DRAIN_TIMEOUT));
    CloseHandle(hReceiver);
    ASSERT_EQ(1u, HandledCount(strFirstLog, "C:\\Rec\\first.ts")) << strFirstLog;

    expected[1] = RawText("xxx");
    EXPECT_EQ(expected, ReadRawSlots());
    EXPECT_EQ(0u, ReadLock());  // the lock is not held across the pause

    // The next receiver takes the two remaining jobs in slot order, then
    // deletes every consumed slot, the dead receiver's one included.
    hReceiver = StartProcess(Quoted(strApp) + " --type 1 --index 2 --log " + Quoted(strLog));
    ASSERT_TRUE(hReceiver != NULL);
    expected.erase(1);
    expected.erase(3);
    expected.erase(4);
    EXPECT_TRUE(WaitForSlots(expected, DRAIN_TIMEOUT));
    EXPECT_TRUE(StopReceiver(hReceiver));

    const std::string strAllLog = ReadFileText(strLog);
    EXPECT_EQ(1u, HandledCount(strAllLog, "C:\\Rec\\first.ts")) << strAllLog;
    EXPECT_EQ(1u, HandledCount(strAllLog, "C:\\Rec\\second.ts")) << strAllLog;
    EXPECT_EQ(1u, HandledCount(strAllLog, "C:\\Rec\\third.ts")) << strAllLog;
    EXPECT_LT(strAllLog.find("second.ts"), strAllLog.find("third.ts"));
    EXPECT_EQ(std::string::npos, strAllLog.find("other device.ts")) << strAllLog;
    EXPECT_EQ(expected, ReadRawSlots());
    EXPECT_EQ(0u, ReadLock());
    DeleteMailbox();
}
