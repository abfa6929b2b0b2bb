// JournalTest.cpp - the run journal as operators read it: real tickward.exe
// runs, each test with a local application data folder of its own.
#include "journal/CRunJournal.h"
#include "tests/support/CHeartbeatRun.h"
#include "tests/support/CLocalAppData.h"
#include "tests/support/MailboxSupport.h"
#include "tests/support/TestRuns.h"
#include "tests/support/TestSupport.h"
#include "tools/dbgrun/CDebuggeeRun.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace
{
const char KEY[] = "Sesame42";
const size_t JOURNAL_BOUND = 1024 * 1024;

// The text between strBefore and strAfter in strLine, "" when not there.
std::string Between(const std::string& strLine, const std::string& strBefore, const std::string& strAfter)
{
    const size_t nStart = strLine.find(strBefore);
    if (nStart == std::string::npos)
        return "";
    const size_t nFrom = nStart + strBefore.size();
    const size_t nEnd = strLine.find(strAfter, nFrom);
    return nEnd == std::string::npos ? "" : strLine.substr(nFrom, nEnd - nFrom);
}

// The local time a line begins with ("YYYY-MM-DD HH:MM:SS.mmm"), read field
// by field; 0 when it has no such stamp.
ULONGLONG StampOf(const std::string& strLine)
{
    SYSTEMTIME time;
    ZeroMemory(&time, sizeof(time));
    FILETIME stamp = { 0, 0 };
    if (sscanf(strLine.c_str(), "%4hu-%2hu-%2hu %2hu:%2hu:%2hu.%3hu", &time.wYear, &time.wMonth, &time.wDay,
               &time.wHour, &time.wMinute, &time.wSecond, &time.wMilliseconds) != 7
        || !SystemTimeToFileTime(&time, &stamp))
        return 0;
    return (static_cast<ULONGLONG>(stamp.dwHighDateTime) << 32) | stamp.dwLowDateTime;
}

ULONGLONG LocalNow()
{
    SYSTEMTIME time;
    GetLocalTime(&time);
    FILETIME now;
    SystemTimeToFileTime(&time, &now);
    return (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

class JournalTest : public ::testing::Test
{
protected:
    JournalTest() : m_appData(BinPath("journal ") + ::testing::UnitTest::GetInstance()->current_test_info()->name())
    {
    }
    virtual void SetUp() { DeleteMailbox(); }
    virtual void TearDown() { DeleteMailbox(); }

    // A job for device 1/2 with a key, its file told by nRun.
    static std::string Job(int nRun)
    {
        std::string strJob = TimerJob(BinPath("no such app.exe"), "010102", "_SEL",
                                      "C:\\Rec\\run" + std::to_string(nRun) + ".ts");
        return strJob.replace(strJob.find("Key: ;"), 6, std::string("Key: ") + KEY + ";");
    }

    // A journal so near its bound that no further line fits, and an empty
    // older part that a rotation replaces. Returns the journal's text.
    std::string WriteFullJournal() const
    {
        CreateDirectoryA(m_appData.TickwardFolder().c_str(), NULL);
        std::string strOld;
        while (strOld.size() < JOURNAL_BOUND - 20)
            strOld += "old line " + std::to_string(strOld.size()) + "\r\n";
        HANDLE hFile = CreateFileA(m_appData.JournalPath().c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        DWORD dwWritten = 0;
        WriteFile(hFile, strOld.data(), static_cast<DWORD>(strOld.size()), &dwWritten, NULL);
        CloseHandle(hFile);
        hFile = CreateFileA(m_appData.RotatedPath().c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        CloseHandle(hFile);
        return strOld;
    }

    CLocalAppData m_appData;
};
}

TEST_F(JournalTest, TwentyRunsAtOnceWriteTwentyWholeLinesEachWithItsOwnOutcome)
{
    CHeartbeatRun heartbeat(1, 2);
    ASSERT_TRUE(heartbeat.m_bStarted);
    std::vector<HANDLE> runs;
    for (int nRun = 0; nRun < 20; ++nRun)
        runs.push_back(StartProcess(TickwardCommand(Job(nRun))));
    std::map<std::string, DWORD> exitCodes;     // by process id
    for (size_t i = 0; i < runs.size(); ++i)
    {
        ASSERT_TRUE(runs[i] != NULL);
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(runs[i], 120000));
        DWORD dwExitCode = 0;
        GetExitCodeProcess(runs[i], &dwExitCode);
        exitCodes[std::to_string(GetProcessId(runs[i]))] = dwExitCode;
        CloseHandle(runs[i]);
    }

    const std::string strJournal = ReadFileText(m_appData.JournalPath());
    const std::vector<std::string> lines = Lines(strJournal);
    ASSERT_EQ(20u, lines.size()) << strJournal;
    std::set<std::string> slots;
    for (const std::string& strLine : lines)
    {
        ASSERT_EQ('\r', strLine.back()) << strLine;     // whole lines, nothing between them
        const std::string strPid = Between(strLine, " pid ", " ");
        ASSERT_EQ(1u, exitCodes.count(strPid)) << strLine;
        EXPECT_EQ("exit " + std::to_string(exitCodes[strPid]) + "\r", strLine.substr(strLine.rfind('|') + 2));
        const std::string strFile = Between(strLine, "File: \"", "\"");
        const std::string strSlot = Between(strLine, "alive, slot ", ",");
        EXPECT_NE(std::string::npos, ReadSlot(atoi(strSlot.c_str())).find(strFile)) << strLine;
        slots.insert(strSlot);
        EXPECT_NE(std::string::npos, strLine.find("Key: 8 characters")) << strLine;
    }
    EXPECT_EQ(20u, slots.size());
    EXPECT_EQ(std::string::npos, strJournal.find(KEY));
}

TEST_F(JournalTest, RotationKeepsEveryLine)
{
    const std::string strOld = WriteFullJournal();

    for (int nRun = 0; nRun < 3; ++nRun)
    {
        CDebuggeeRun run;
        ASSERT_TRUE(run.Run(TickwardCommand("-E;" + std::to_string(7 + nRun))));
    }
    EXPECT_TRUE(strOld == ReadFileText(m_appData.RotatedPath()));    // a megabyte: no diff printed
    const std::vector<std::string> lines = Lines(ReadFileText(m_appData.JournalPath()));
    ASSERT_EQ(3u, lines.size());
    for (int nRun = 0; nRun < 3; ++nRun)
        EXPECT_NE(std::string::npos, lines[nRun].find("power -E;" + std::to_string(7 + nRun))) << lines[nRun];
}

TEST_F(JournalTest, WriterWithoutTheJournalMutexAppendsButNeverRotates)
{
    const std::string strOld = WriteFullJournal();
    // Another writer holds the journal's mutex for longer than a run waits.
    HANDLE hMutex = CreateMutexA(NULL, TRUE, "TickwardJournal");
    ASSERT_TRUE(hMutex != NULL);
    CDebuggeeRun run;
    const BOOL bRan = run.Run(TickwardCommand("-E;7"));
    ReleaseMutex(hMutex);
    CloseHandle(hMutex);
    ASSERT_TRUE(bRan);

    EXPECT_EQ(0u, ReadFileText(m_appData.RotatedPath()).size());     // the older part was not replaced
    const std::string strJournal = ReadFileText(m_appData.JournalPath());
    ASSERT_LT(strOld.size(), strJournal.size());
    EXPECT_TRUE(strOld == strJournal.substr(0, strOld.size()));   // a megabyte: no diff printed
    const std::string strAppended = strJournal.substr(strOld.size());
    EXPECT_EQ(1u, Lines(strAppended).size()) << strAppended;
    const std::string strEnd = " power -E;7 | unusable: unknown power code | exit 1\r\n";
    EXPECT_EQ(strAppended.size() - strEnd.size(), strAppended.find(strEnd)) << strAppended;
}

TEST_F(JournalTest, UnwritableJournalChangesNothingOfTheDelivery)
{
    // A file where the journal's folder belongs.
    HANDLE hFile = CreateFileA(m_appData.TickwardFolder().c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_TRUE(hFile != INVALID_HANDLE_VALUE);
    CloseHandle(hFile);
    CHeartbeatRun heartbeat(1, 2);
    CDebuggeeRun run;
    ASSERT_TRUE(run.Run(TickwardCommand(Job(1))));
    EXPECT_EQ(0u, run.m_dwExitCode);
    EXPECT_NE(std::string::npos, ReadSlot(1).find("run1.ts"));
    const std::vector<std::string> expected = {
        "\nTickward: journal not written: " + m_appData.JournalPath() + " (error 3)\t" };
    EXPECT_EQ(expected, run.m_outputs);
}

TEST_F(JournalTest, DeliveryOutcomesAreNamedWithTheirExitCode)
{
    const std::string strQuoted = TimerJob(BinPath("tv\"app.exe"), "010102", "_SEL", "C:\\Rec\\run2.ts");
    const std::string strApp = TestFolder("journal") + "\\tvapp.exe";
    ASSERT_TRUE(InstallProgram(BinPath("recorder.exe"), strApp));
    const struct
    {
        const char* pszLabel;
        std::string strJob;
        BOOL bAlive;
        BOOL bFull;
        std::string strWaiting;     // already in slot 3
        const char* pszEnd;         // the line after what was asked
    } cases[] = {
        // In the mailbox, but no reader runs to take it from there.
        { "no such application", Job(1), FALSE, FALSE, "", " | not alive, slot 1, start failed (error 2) | exit 2\r" },
        { "quote in the path", strQuoted, FALSE, FALSE, "",
          " | not alive, slot 1, start failed: a double quote in the path | exit 2\r" },
        { "mailbox full", Job(3), TRUE, TRUE, "", " | alive, no slot: mailbox full, not started | exit 2\r" },
        // The task run again once its application path was mended.
        { "run again", TimerJob(strApp), FALSE, FALSE, MailboxJob(),
          " | not alive, already waiting in slot 3, started | exit 0\r" },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszLabel);
        DeleteMailbox();
        for (int nSlot = 1; c.bFull && nSlot <= 20; ++nSlot)
            WriteSlot(nSlot, nSlot % 2 == 0 ? "xxx" : "full");
        if (!c.strWaiting.empty())
            WriteSlot(3, c.strWaiting);
        DeleteFileA(m_appData.JournalPath().c_str());
        std::unique_ptr<CHeartbeatRun> heartbeat(c.bAlive ? new CHeartbeatRun(1, 2) : NULL);
        CDebuggeeRun run;
        const ULONGLONG nBefore = LocalNow() / 10000 * 10000;    // the stamp has milliseconds
        ASSERT_TRUE(run.Run(TickwardCommand(c.strJob)));
        const ULONGLONG nAfter = LocalNow();
        heartbeat.reset();
        const std::vector<std::string> lines = Lines(ReadFileText(m_appData.JournalPath()));
        ASSERT_EQ(1u, lines.size());
        // Written during the run, in the local time of its clock.
        EXPECT_LE(nBefore, StampOf(lines[0])) << lines[0];
        EXPECT_GE(nAfter, StampOf(lines[0])) << lines[0];
        const size_t nFacts = lines[0].find(" | ");
        ASSERT_NE(std::string::npos, nFacts) << lines[0];
        EXPECT_EQ(c.pszEnd, lines[0].substr(nFacts)) << lines[0];
        EXPECT_EQ(c.pszEnd[strlen(c.pszEnd) - 2] - '0', static_cast<int>(run.m_dwExitCode));
    }
    EXPECT_EQ(1u, ReadAllSlots().size());   // the job waits once
}

TEST_F(JournalTest, LineBreaksAndSeparatorsInAFieldKeepTheRunOnOneLine)
{
    // Both would read as a run that ended well; the command is unusable.
    const std::string strFile = "C:\\Rec\\a\r\nb | exit 0\t%.ts";
    CDebuggeeRun run;
    ASSERT_TRUE(run.Run(TickwardCommand(TimerJob(BinPath("tvapp.exe"), "0101\n | exit 0", "_SEL", strFile))));
    EXPECT_EQ(1u, run.m_dwExitCode);
    const std::string strJournal = ReadFileText(m_appData.JournalPath());
    const std::vector<std::string> lines = Lines(strJournal);
    ASSERT_EQ(1u, lines.size()) << strJournal;
    const std::string strExpected = " timer P: _SEL, devices 0101%0A %7C exit 0, "
                                    "File: \"C:\\Rec\\a%0D%0Ab %7C exit 0%09%25.ts\", Key: 0 characters"
                                    " | unusable: invalid device | exit 1\r";
    ASSERT_LE(strExpected.size(), lines[0].size());
    EXPECT_EQ(strExpected, lines[0].substr(lines[0].size() - strExpected.size()));
}

// Windows 98 and ME reject FILE_SHARE_DELETE and cannot rename a file that
// another program has open: there a full journal is appended to, never rotated.
TEST_F(JournalTest, OnTheOlderFamilyAFullJournalIsAppendedToNotRotated)
{
    class COlderFamilyJournal : public CRunJournal
    {
    protected:
        virtual BOOL IsNtFamily() const { return FALSE; }
    };
    CreateDirectoryA(m_appData.TickwardFolder().c_str(), NULL);
    const std::string strFull(JOURNAL_BOUND, 'j');
    HANDLE hFile = CreateFileA(m_appData.JournalPath().c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    DWORD dwWritten = 0;
    WriteFile(hFile, strFull.data(), static_cast<DWORD>(strFull.size()), &dwWritten, NULL);
    CloseHandle(hFile);

    COlderFamilyJournal journal;
    EXPECT_EQ(static_cast<DWORD>(FILE_SHARE_READ | FILE_SHARE_WRITE), journal.GetShareMode());
    EXPECT_TRUE(journal.Append("run on Windows 98"));
    const std::string strJournal = ReadFileText(m_appData.JournalPath());
    EXPECT_EQ(strFull, strJournal.substr(0, strFull.size()));
    EXPECT_NE(std::string::npos, strJournal.find(" run on Windows 98\r\n", strFull.size()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(m_appData.RotatedPath().c_str()));
}
