// Load test: twenty Tickward runs at once against a live receiving
// application, then twenty more while it drains them, round after round.
// Every job must reach the receiver exactly once and no application may be
// started. The receiver pauses TICKWARD_LOAD_PAUSE ms after each job
// (default 1000; a real one pauses 10 s) and TICKWARD_LOAD_ROUNDS rounds run
// (default 1); the soak run raises both.
#include "tests/support/MailboxSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

namespace
{
const char STOP_EVENT[] = "TickwardReceiverStop_1_2";
const char HANDED_OVER[] = "job from mailbox:";
const int WAVE = 20;
const int SLOT_COUNT = 20;

DWORD SettingOf(const char* pszName, DWORD dwDefault)
{
    const char* pszValue = getenv(pszName);
    return pszValue != NULL && *pszValue != '\0' ? strtoul(pszValue, NULL, 10) : dwDefault;
}

size_t CountOf(const std::string& strText, const std::string& strPart)
{
    size_t nCount = 0;
    for (size_t nPos = strText.find(strPart); nPos != std::string::npos; nPos = strText.find(strPart, nPos + 1))
        ++nCount;
    return nCount;
}

std::string FileOf(int nRound, int nJob)
{
    char szFile[64];
    sprintf(szFile, "C:\\Rec\\round%03d-job%02d.ts", nRound, nJob);
    return szFile;
}

class LoadTest : public ::testing::Test
{
protected:
    std::string m_strReceiver;
    std::string m_strApp;       // a recorder: it writes a file if Tickward ever starts it
    HANDLE m_hReceiver;
    DWORD m_dwJobPause;

    virtual void SetUp()
    {
        m_hReceiver = NULL;
        m_dwJobPause = SettingOf("TICKWARD_LOAD_PAUSE", 1000);
        DeleteMailbox();
        const std::string strDir = BinPath("load");
        CreateDirectoryA(strDir.c_str(), NULL);
        m_strReceiver = strDir + "\\receiver.exe";
        m_strApp = strDir + "\\tvapp.exe";
        ASSERT_TRUE(CopyFileA(BinPath("receiver.exe").c_str(), m_strReceiver.c_str(), FALSE));
        ASSERT_TRUE(CopyFileA(BinPath("recorder.exe").c_str(), m_strApp.c_str(), FALSE));
        DeleteFileA((m_strReceiver + ".log").c_str());
        DeleteFileA((m_strApp + ".log").c_str());
    }
    void StartReceiver(DWORD dwJobPause)
    {
        char szPause[32];
        sprintf(szPause, " --pause %lu", static_cast<unsigned long>(dwJobPause));
        m_hReceiver = StartProcess(Quoted(m_strReceiver) + szPause);
        ASSERT_TRUE(m_hReceiver != NULL);
        ASSERT_NE(std::string::npos, WaitForFileText(m_strReceiver + ".log", "serving").find("serving"));
    }
    virtual void TearDown()
    {
        StopProcess(m_hReceiver, STOP_EVENT, 60000);
        DeleteMailbox();
    }

    std::string ReceiverLog() const
    {
        return ReadFileText(m_strReceiver + ".log");
    }
    HANDLE StartDelivery(int nRound, int nJob) const
    {
        return StartProcess(Quoted(BinPath("tickward.exe")) + " " + Quoted(m_strApp) +
                            ";010102;P: _SEL;D: 5;Key: ;File: \"" + FileOf(nRound, nJob) +
                            "\";FM: 1;TO: 1;SO: 0;EO: 0");
    }
    // Waits until the receiver has handed over nCount jobs since the test
    // began; FALSE when that did not happen within dwTimeout ms.
    BOOL WaitForHandedOver(size_t nCount, DWORD dwTimeout) const
    {
        const DWORD dwStart = GetTickCount();
        while (CountOf(ReceiverLog(), HANDED_OVER) < nCount)
        {
            if (GetTickCount() - dwStart > dwTimeout)
                return FALSE;
            Sleep(50);
        }
        return TRUE;
    }
    // Slots that still hold a job; consumed ones ("xxx") do not count.
    static int PendingSlots()
    {
        int nPending = 0;
        for (int nSlot = 1; nSlot <= SLOT_COUNT; ++nSlot)
        {
            const std::string strText = ReadSlot(nSlot);
            if (!strText.empty() && strText != "xxx")
                ++nPending;
        }
        return nPending;
    }
    // Exit codes of the runs, in order; STILL_ACTIVE for one that hung.
    static std::vector<DWORD> WaitForAll(std::vector<HANDLE>& runs)
    {
        std::vector<DWORD> exitCodes;
        for (size_t i = 0; i < runs.size(); ++i)
        {
            DWORD dwExitCode = STILL_ACTIVE;
            if (runs[i] != NULL && WaitForSingleObject(runs[i], 120000) == WAIT_OBJECT_0)
                GetExitCodeProcess(runs[i], &dwExitCode);
            if (runs[i] != NULL)
                CloseHandle(runs[i]);
            exitCodes.push_back(dwExitCode);
        }
        runs.clear();
        return exitCodes;
    }
};
}

TEST_F(LoadTest, TwoWavesOfTwentyReachTheLiveReceiverEachJobOnce)
{
    StartReceiver(m_dwJobPause);
    const int nRounds = static_cast<int>(SettingOf("TICKWARD_LOAD_ROUNDS", 1));
    const DWORD dwDrainTimeout = 2 * WAVE * (m_dwJobPause + 1500) + 60000;
    size_t nHandedOver = 0;
    for (int nRound = 1; nRound <= nRounds; ++nRound)
    {
        SCOPED_TRACE(testing::Message() << "round " << nRound << " of " << nRounds);
        std::vector<HANDLE> runs;
        for (int nJob = 0; nJob < WAVE; ++nJob)
            runs.push_back(StartDelivery(nRound, nJob));
        const std::vector<DWORD> firstWave = WaitForAll(runs);

        // The second wave comes while the receiver still works through the
        // first: run n starts once n + 1 of the round's jobs were handed over,
        // so the mailbox always has room, if only in consumed slots.
        for (int nJob = WAVE; nJob < 2 * WAVE; ++nJob)
        {
            ASSERT_TRUE(WaitForHandedOver(nHandedOver + nJob - WAVE + 1, dwDrainTimeout));
            runs.push_back(StartDelivery(nRound, nJob));
        }
        const std::vector<DWORD> secondWave = WaitForAll(runs);
        ASSERT_TRUE(WaitForHandedOver(nHandedOver + 2 * WAVE, dwDrainTimeout));
        nHandedOver += 2 * WAVE;

        const std::string strLog = ReceiverLog();
        for (int nJob = 0; nJob < 2 * WAVE; ++nJob)
        {
            SCOPED_TRACE(FileOf(nRound, nJob));
            EXPECT_EQ(0u, nJob < WAVE ? firstWave[nJob] : secondWave[nJob - WAVE]);
            EXPECT_EQ(1u, CountOf(strLog, "File=\"" + FileOf(nRound, nJob) + "\""));
        }
        EXPECT_EQ(nHandedOver, CountOf(strLog, HANDED_OVER));   // nothing else, nothing twice
        EXPECT_EQ(0, PendingSlots());
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((m_strApp + ".log").c_str()));   // nothing started
}

// More jobs at once than the mailbox can hold while the receiver is busy with
// its first: twenty fill the free slots, one goes over the slot the receiver
// consumed, and the rest are refused with exit code 2. A refused job is
// nowhere, an accepted one is in exactly one place.
TEST_F(LoadTest, JobsBeyondTheMailboxAreRefusedWithExitTwoAndNeverHalfDelivered)
{
    const int nJobs = 30;
    StartReceiver(600000);      // it takes one job, then pauses for the rest of the test
    std::vector<HANDLE> runs;
    for (int nJob = 0; nJob < nJobs; ++nJob)
        runs.push_back(StartDelivery(0, nJob));
    const std::vector<DWORD> exitCodes = WaitForAll(runs);
    ASSERT_TRUE(WaitForHandedOver(1, 30000));

    std::string strMailbox;
    for (int nSlot = 1; nSlot <= SLOT_COUNT; ++nSlot)
        strMailbox += ReadSlot(nSlot) + "\n";
    const std::string strLog = ReceiverLog();
    int nAccepted = 0;
    for (int nJob = 0; nJob < nJobs; ++nJob)
    {
        SCOPED_TRACE(FileOf(0, nJob));
        const std::string strFile = "File: \"" + FileOf(0, nJob) + "\"";
        const std::string strPrinted = "File=\"" + FileOf(0, nJob) + "\"";
        const size_t nPlaces = CountOf(strMailbox, strFile) + CountOf(strLog, strPrinted);
        if (exitCodes[nJob] == 0)
            ++nAccepted;
        else
            EXPECT_EQ(2u, exitCodes[nJob]);
        EXPECT_EQ(exitCodes[nJob] == 0 ? 1u : 0u, nPlaces);
    }
    EXPECT_EQ(SLOT_COUNT + 1, nAccepted);
    EXPECT_EQ(0u, CountOf(strMailbox, "xxx"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((m_strApp + ".log").c_str()));   // nothing started

    TerminateProcess(m_hReceiver, 1);   // a stop would wait out its pause
}
