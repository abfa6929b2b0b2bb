// StatusTest.cpp - twstatus shows the machine's state and changes nothing of
// it: the real program against the real heartbeat table, mailbox and journal.
#include "recording/CRecording.h"
#include "tests/support/CHeartbeatRun.h"
#include "tests/support/CLocalAppData.h"
#include "tests/support/MailboxSupport.h"
#include "tests/support/TableNames.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <string>

namespace
{

class StatusTest : public ::testing::Test
{
protected:
    StatusTest() : m_appData(BinPath("status ") + ::testing::UnitTest::GetInstance()->current_test_info()->name())
    {
    }
    virtual void SetUp() { DeleteMailbox(); }
    virtual void TearDown() { DeleteMailbox(); }

    DWORD Status(std::string& strOutput, DWORD dwTimeout = 30000)
    {
        return RunForOutput(Quoted(BinPath("twstatus.exe")), strOutput, dwTimeout);
    }
    static std::string LastLine(const std::string& strOutput)
    {
        return strOutput.substr(strOutput.rfind('\n', strOutput.size() - 2) + 1);
    }

    static void ExpectShown(const std::string& strOutput, const std::string& strPart)
    {
        EXPECT_NE(std::string::npos, strOutput.find(strPart)) << "missing: " << strPart << "\n" << strOutput;
    }

    CLocalAppData m_appData;
};
}

TEST_F(StatusTest, LiveReceiverPlantedMailboxAndJournalAreShownAsTheyAre)
{
    CreateDirectoryA(m_appData.TickwardFolder().c_str(), NULL);
    std::string strJournal;
    for (int nLine = 1; nLine <= 25; ++nLine)
        strJournal += "run " + std::to_string(nLine) + "\r\n";
    HANDLE hFile = CreateFileA(m_appData.JournalPath().c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    DWORD dwWritten = 0;
    WriteFile(hFile, strJournal.data(), static_cast<DWORD>(strJournal.size()), &dwWritten, NULL);
    CloseHandle(hFile);
    CHeartbeatRun heartbeat(1, 2);
    ASSERT_TRUE(heartbeat.m_bStarted);
    WriteSlot(1, MailboxJob());
    WriteSlot(2, "xxx");
    // The longest text a reader takes, and a file name that would forge lines.
    const std::string strLongest = MailboxJob("010102", "C:\\Rec\\" + std::string(519 - MailboxJob("010102", "C:\\Rec\\").size(), 'n'));
    ASSERT_EQ(519u, strLongest.size());
    WriteSlot(3, strLongest);
    WriteSlot(4, MailboxJob("010102", "C:\\Rec\\a.ts\r\n  Lock: 0 (free)"));
    WriteRawValue("Lock", REG_DWORD, std::string("\1\0\0\0", 4));
    const std::map<int, std::string> slots = ReadRawSlots();
    CRecording recording;
    ASSERT_TRUE(recording.Begin(1, 2, "C:\\Rec\\film.ts"));
    // Tasks Tickward made: one due within the day, one not; the Task
    // Scheduler holds neither.
    const char TASKS_KEY[] = "SOFTWARE\\Tickward\\Tasks";
    const std::string strSoon = "recording;daily;2026-01-01T00:00:00;1.2;D:\\soon.ts";
    const std::string strLater = "standby;once;2099-12-24T23:30:00;;";
    SHSetValueA(HKEY_CURRENT_USER, TASKS_KEY, "Tickward test\\soon", REG_SZ, strSoon.c_str(), static_cast<DWORD>(strSoon.size() + 1));
    SHSetValueA(HKEY_CURRENT_USER, TASKS_KEY, "Tickward test\\later", REG_SZ, strLater.c_str(), static_cast<DWORD>(strLater.size() + 1));

    std::string strOutput;
    EXPECT_EQ(0u, Status(strOutput));
    ExpectShown(strOutput, "Scheduled to start within 24 hours (tasks Tickward made):\r\n  \"Tickward test\\soon\": recording, next start ");
    ExpectShown(strOutput, " 00:00 (daily), removed in the Task Scheduler, device 1.2, file D:\\soon.ts\r\n\r\n");
    EXPECT_EQ(std::string::npos, strOutput.find("later")) << strOutput;
    char szRecord[64] = "";
    DWORD cbRecord = sizeof(szRecord);
    EXPECT_EQ(ERROR_SUCCESS, SHGetValueA(HKEY_CURRENT_USER, TASKS_KEY, "Tickward test\\soon", NULL, szRecord, &cbRecord))
        << "only read";
    SHDeleteKeyA(HKEY_CURRENT_USER, TASKS_KEY);
    ExpectShown(strOutput, "  category 1, index 2 (device type 1)\r\n");
    ExpectShown(strOutput, "  device 1.2: C:\\Rec\\film.ts, since ");
    ExpectShown(strOutput, ", process " + std::to_string(GetCurrentProcessId()) + "\r\n");
    ExpectShown(strOutput, "  slot 1: job P: _SEL, devices 010102, File: \"C:\\Rec\\show.ts\", Key: 0 characters\r\n");
    ExpectShown(strOutput, "  slot 2: consumed");
    ExpectShown(strOutput, "  slot 3: job P: _SEL, devices 010102, File: \"C:\\Rec\\nnn");
    ExpectShown(strOutput, "  slot 4: job P: _SEL, devices 010102, File: \"C:\\Rec\\a.ts%0D%0A  Lock: 0 (free)\", Key: 0");
    EXPECT_EQ(std::string::npos, strOutput.find("\n  Lock: 0 (free)")) << strOutput;
    ExpectShown(strOutput, "  Lock: 1 - WARNING: the lock is held.");
    // The journal's last twenty lines end the output.
    const std::string strLast20 = strJournal.substr(strJournal.find("run 6\r\n"));
    EXPECT_EQ(strLast20, strOutput.substr(strOutput.size() - strLast20.size()));
    EXPECT_EQ(std::string::npos, strOutput.find("run 5\r\n"));

    EXPECT_EQ(slots, ReadRawSlots());
    EXPECT_EQ(1u, ReadLock());
    EXPECT_EQ(strJournal, ReadFileText(m_appData.JournalPath()));
}

TEST_F(StatusTest, MachineWithoutTableMailboxOrJournalIsReportedAndNothingIsMade)
{
    std::string strOutput;
    EXPECT_EQ(0u, Status(strOutput));
    ExpectShown(strOutput, "  none: there is no heartbeat table, so no receiving application runs\r\n");
    ExpectShown(strOutput, "(a power command waits for their end):\r\n  none\r\n");
    ExpectShown(strOutput, "(tasks Tickward made):\r\n  none\r\n");
    ExpectShown(strOutput, "  none yet: the first job makes it\r\n");
    ExpectShown(strOutput, "  none yet: Tickward has not run\r\n");

    HKEY hKey = NULL;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_CURRENT_USER, MAILBOX_KEY, 0, KEY_READ, &hKey));
    EXPECT_TRUE(OpenFileMappingA(FILE_MAP_READ, FALSE, TABLE_MAPPING) == NULL);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(m_appData.TickwardFolder().c_str()));

    // A journal that is there but cannot be read: one line says so.
    CreateDirectoryA(m_appData.TickwardFolder().c_str(), NULL);
    CreateDirectoryA(m_appData.JournalPath().c_str(), NULL);
    EXPECT_EQ(1u, Status(strOutput));
    EXPECT_EQ("twstatus: cannot read the journal (error 5: Access denied.); check that journal.log is a file this "
              "user may read\r\n", LastLine(strOutput));
    RemoveDirectoryA(m_appData.JournalPath().c_str());
}

TEST_F(StatusTest, TableWhoseMutexAHungProgramHoldsIsReportedBusy)
{
    HANDLE hTable = CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, TABLE_SIZE, TABLE_MAPPING);
    ASSERT_TRUE(hTable != NULL);
    HANDLE hMutex = CreateMutexA(NULL, TRUE, TABLE_MUTEX);     // held, and never given back while twstatus runs
    ASSERT_TRUE(hMutex != NULL);
    std::string strOutput;
    // It waits 5 s for the mutex; the run is ended only after 30 s.
    const DWORD dwExitCode = Status(strOutput, 30000);
    ReleaseMutex(hMutex);
    CloseHandle(hMutex);
    CloseHandle(hTable);
    EXPECT_EQ(1u, dwExitCode);
    EXPECT_EQ("twstatus: the heartbeat table is busy: its mutex was held for more than 5 s; a receiving application "
              "hangs holding it: end it and try again\r\n", LastLine(strOutput));
    // What an operator needs most then is shown all the same.
    ExpectShown(strOutput, "  none yet: the first job makes it\r\n");
    ExpectShown(strOutput, "  none yet: Tickward has not run\r\n");
}

// A power command that waits is shown with what it waits for, until it ends.
TEST_F(StatusTest, WaitingPowerCommandIsShownWithWhatItWaitsFor)
{
    CRecording recording;
    ASSERT_TRUE(recording.Begin(1, 2, "C:\\Rec\\film.ts"));
    SetPowerWaitLimit("60");
    HANDLE hRun = StartProcess(Quoted(BinPath("tickward_nopower.exe")) + " -E;2");
    ASSERT_TRUE(hRun != NULL);
    const std::string strRun = "(no request while this holds):\r\n  process " + std::to_string(GetProcessId(hRun)) + ", since ";
    const std::string strWhat = ": recording on device 1.2 (C:\\Rec\\film.ts, process " + std::to_string(GetCurrentProcessId()) + ")\r\n";
    std::string strOutput;
    EXPECT_TRUE(WaitUntil([&] { return Status(strOutput) == 0 && strOutput.find(strWhat) != std::string::npos; }, 10000, 100))
        << strOutput;
    ExpectShown(strOutput, strRun);
    recording.End();
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hRun, 10000));
    CloseHandle(hRun);
    EXPECT_EQ(0u, Status(strOutput));
    ExpectShown(strOutput, "(no request while this holds):\r\n  none\r\n");
    SetPowerWaitLimit(NULL);
}
