// Load test: twenty Tickward runs at once against a live receiving
// application, then twenty more while it drains them, round after round.
// Every job must reach the receiver exactly once and no application may be
// started. The receiver pauses TICKWARD_LOAD_PAUSE ms after each job
// (default 1000; a real one pauses 10 s) and TICKWARD_LOAD_ROUNDS rounds run
// (default 1); the soak run raises both.
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

namespace
{
const char MAILBOX_KEY[] = "SOFTWARE\\Varenwick\\Korvix\\CmdLine";
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
        m_dwJobPause = SettingOf("TICKWARD_LOAD_PAUSE", 1000);
        SHDeleteKeyA(HKEY_CURRENT_USER, MAILBOX_KEY);
        const std::string strDir = BinPath("load");
        CreateDirectoryA(strDir.c_str(), NULL);
        m_strReceiver = strDir + "\\receiver.exe";
        m_strApp = strDir + "\\tvapp.exe";
        ASSERT_TRUE(CopyFileA(BinPath("receiver.exe").c_str(), m_strReceiver.c_str(), FALSE));
        ASSERT_TRUE(CopyFileA(BinPath("recorder.exe").c_str(), m_strApp.c_str(), FALSE));
        DeleteFileA((m_strReceiver + ".log").c_str());
        DeleteFileA((m_strApp + ".log").c_str());

        char szPause[32];
        sprintf(szPause, " --pause %lu", static_cast<unsigned long>(m_dwJobPause));
        m_hReceiver = StartProcess(Quoted(m_strReceiver) + szPause);
        ASSERT_TRUE(m_hReceiver != NULL);
        ASSERT_NE(std::string::npos, WaitForFileText(m_strReceiver + ".log", "serving").find("serving"));
    }
    virtual void TearDown()
    {
        HANDLE hStop = OpenEventA(EVENT_MODIFY_STATE, FALSE, STOP_EVENT);
        if (hStop != NULL)
        {
            SetEvent(hStop);
            CloseHandle(hStop);
        }
        if (m_hReceiver != NULL)
        {
            if (WaitForSingleObject(m_hReceiver, 60000) != WAIT_OBJECT_0)
                TerminateProcess(m_hReceiver, 1);
            CloseHandle(m_hReceiver);
        }
        SHDeleteKeyA(HKEY_CURRENT_USER, MAILBOX_KEY);
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
    int PendingSlots() const
    {
        int nPending = 0;
        for (int nSlot = 1; nSlot <= SLOT_COUNT; ++nSlot)
        {
            char szName[8];
            char szValue[600];
            DWORD dwSize = sizeof(szValue);
            sprintf(szName, "%d", nSlot);
            if (SHGetValueA(HKEY_CURRENT_USER, MAILBOX_KEY, szName, NULL, szValue, &dwSize) == ERROR_SUCCESS &&
                strcmp(szValue, "xxx") != 0)
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
