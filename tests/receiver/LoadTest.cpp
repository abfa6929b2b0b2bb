// Load test: ten Tickward runs at once against a live receiving
// application, then ten more while it drains them, round after round.
// Every job must reach the receiver exactly once and no application may be
// started. The receiver pauses TICKWARD_LOAD_PAUSE ms after each job
// (default 1000; a real one pauses 10 s) and TICKWARD_LOAD_ROUNDS rounds run
// (default 1); the soak run raises both.
//
// The fault storm (StormTest, run only by `make soak`) adds kills to the
// load: TICKWARD_STORM_ROUNDS rounds (default 100) of twenty runs at once,
// one run killed at a random moment of each round, the receiver killed
// during its drain in every tenth round and stopped cleanly while runs
// arrive in every tenth round too; a run that finds it dead starts it again,
// and it takes a drawn TICKWARD_STORM_STARTUP_MIN to _MAX ms (default 500 to
// 5000) to its first heartbeat. Past Tickward's 60 s start-up window the
// runs start a second copy, which runs beside the first until it finds the
// device served: two receivers at once are allowed then, never more.
// TICKWARD_STORM_SEED repeats the random choices of a run.
// The same storm runs a second time (ProtocolStormTest) against a receiving
// application built from the mailbox protocol alone, whose lock is two
// registry calls and knows no guard mutex; TICKWARD_PROTOCOL_STORM_SEED
// repeats its choices.
#include "receiver/ReceiverStop.h"
#include "tests/support/MailboxSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <stdlib.h>

#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace
{
const char HANDED_OVER[] = "job from mailbox:";
const char HANDED_OVER_AT_START[] = "job from command line:";
const int WAVE = 20;
const int SLOT_COUNT = 20;
const char SERVING[] = "serving";
const DWORD KILLED = 0xDEAD;               // Tickward itself ends with 0, 1 or 2
const DWORD SAMPLE_PAUSE = 600;            // Tickward's two heartbeat readings lie this far apart
const DWORD LOCK_WAIT = 2000;              // how long a mailbox user waits for the "Lock" of another
const DWORD STORM_POLL = 20;
const DWORD RUN_TIMEOUT = 120000;
const DWORD START_WINDOW = 60000;          // Tickward's
const int RECEIVER_KILL_EVERY = 10;     // in round 1, 11, 21, ...
const int RECEIVER_STOP_EVERY = 10;     // in round 6, 16, 26, ...
const char RECEIVER_PROCESS[] = "receiver.exe";
const char STARTING_PROCESS[] = "tvapp.exe";     // the recorder, before it runs the receiver

DWORD SettingOf(const char* pszName, DWORD dwDefault)
{
    const char* pszValue = getenv(pszName);
    return pszValue != NULL && *pszValue != '\0' ? strtoul(pszValue, NULL, 10) : dwDefault;
}

std::string FileOf(int nRound, int nJob, const char* pszRun = "round")
{
    char szFile[64];
    sprintf(szFile, "C:\\Rec\\%s%03d-job%02d.ts", pszRun, nRound, nJob);
    return szFile;
}

std::string Printed(const std::string& strFile)
{
    return "File=\"" + strFile + "\"";
}

// One job of a storm round as the storm saw it.
struct SStormJob
{
    std::string strFile;
    HANDLE hRun;
    DWORD dwExitCode;       // STILL_ACTIVE while the run lives
    BOOL bKilled;           // the storm killed its run before it ended
    DWORD dwPostedAt;       // tick it was first seen in the mailbox or the receiver's log; 0: never
};

// The storm's ledger, summed over its rounds.
struct SStormTotals
{
    int nRounds;
    int nJobs;
    int nRunKills;
    int nReceiverKills;
    int nHandedOnce;
    int nHandedMore;            // handed over more than once
    int nLostToRunKill;         // the run was killed before its job reached the mailbox
    int nLostToReceiverKill;    // taken, then the receiver was killed before handing it over
    int nReceiverStops;         // stopped cleanly while runs arrived
    int nDeadStarts;            // application started by a run
    int nStormStarts;           // receiver started by the storm: no run came after a kill or stop
    int nMostCopies;            // receivers serving at once, at most
    int nHandedAgain;           // by a late second copy, from its command line (below)
};

// What the storm does once in a round: a drawn delay after the count it
// watches (jobs posted, jobs handed over) reached a drawn number.
struct SStormAct
{
    BOOL bPending;
    size_t nAfter;
    DWORD dwDelay;
    DWORD dwReachedAt;      // 0 until the count reached nAfter

    // TRUE once, when it is due.
    BOOL IsDue(size_t nCount, DWORD dwNow)
    {
        if (bPending && dwReachedAt == 0 && nCount >= nAfter)
            dwReachedAt = dwNow;
        if (!bPending || dwReachedAt == 0 || dwNow - dwReachedAt < dwDelay)
            return FALSE;
        bPending = FALSE;
        return TRUE;
    }
};

// Processes of this name running now.
std::vector<DWORD> ProcessesNamed(const char* pszName)
{
    std::vector<DWORD> processes;
    HANDLE hSnapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (hSnapshot == INVALID_HANDLE_VALUE)
        return processes;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof(entry);
    for (BOOL bMore = Process32First(hSnapshot, &entry); bMore; bMore = Process32Next(hSnapshot, &entry))
        if (lstrcmpiA(entry.szExeFile, pszName) == 0)
            processes.push_back(entry.th32ProcessID);
    CloseHandle(hSnapshot);
    return processes;
}

size_t HandedOverCount(const std::string& strLog)
{
    return CountOf(strLog, HANDED_OVER) + CountOf(strLog, HANDED_OVER_AT_START);
}

class LoadTest : public ::testing::Test
{
protected:
    std::string m_strReceiver;
    std::string m_strApp;       // a recorder: it writes a file if Tickward ever starts it
    HANDLE m_hReceiver;
    DWORD m_dwJobPause;

    // The receiving application under test, copied to receiver.exe in the
    // test's folder: its log and its stop event are the same for every one.
    virtual const char* ReceiverProgram() const
    {
        return "receiver.exe";
    }

    virtual void SetUp()
    {
        m_hReceiver = NULL;
        m_dwJobPause = SettingOf("TICKWARD_LOAD_PAUSE", 1000);
        DeleteMailbox();
        m_strReceiver = BinPath("load\\receiver.exe");
        m_strApp = BinPath("load\\tvapp.exe");
        ASSERT_TRUE(InstallProgram(BinPath(ReceiverProgram()), m_strReceiver));
        ASSERT_TRUE(InstallProgram(BinPath("recorder.exe"), m_strApp));
    }
    void StartReceiver(DWORD dwJobPause)
    {
        char szPause[32];
        sprintf(szPause, " --pause %lu", static_cast<unsigned long>(dwJobPause));
        // A receiver started again logs into the same file: its own line is
        // the next one.
        const size_t nServing = CountOf(ReceiverLog(), SERVING) + 1;
        m_hReceiver = StartProcess(Quoted(m_strReceiver) + szPause + LogOption());
        ASSERT_TRUE(m_hReceiver != NULL);
        ASSERT_TRUE(WaitForLogCount(SERVING, nServing, 5000));
    }
    virtual void TearDown()
    {
        StopProcess(m_hReceiver, ReceiverStop::GetEventName(1, 2), 60000);
        DeleteMailbox();
    }

    std::string ReceiverLog() const
    {
        return ReadFileText(m_strReceiver + ".log");
    }
    // Every receiver of the test, started by it or by a run, logs into one file.
    std::string LogOption() const
    {
        return " --log " + Quoted(m_strReceiver + ".log");
    }
    HANDLE StartDelivery(const std::string& strFile) const
    {
        return StartProcess(TickwardCommand(TimerJob(m_strApp, "010102", "_SEL", strFile)));
    }
    HANDLE StartDelivery(int nRound, int nJob) const
    {
        return StartDelivery(FileOf(nRound, nJob));
    }
    // Waits until the receiver has handed over nCount jobs since the test
    // began; FALSE when that did not happen within dwTimeout ms.
    BOOL WaitForHandedOver(size_t nCount, DWORD dwTimeout) const
    {
        return WaitForLogCount(HANDED_OVER, nCount, dwTimeout);
    }
    BOOL WaitForLogCount(const char* pszPart, size_t nCount, DWORD dwTimeout) const
    {
        return WaitUntil([&] { return CountOf(ReceiverLog(), pszPart) >= nCount; }, dwTimeout, 50);
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

// The fault storm: load rounds with a run killed in each, the receiver
// killed in every tenth and stopped cleanly in every tenth, and a ledger of
// every job checked after each round and at the end.
//
// The application a run starts when it finds the receiver dead is the
// recorder, which waits a drawn 0.5 to 5 s (an application loading its
// channel list) and then runs the receiver with the job on its command line:
// the run's start is the restart. Meanwhile other runs find the receiver
// not alive but starting, and must start no second copy.
class StormTest : public LoadTest
{
protected:
    std::mt19937 m_random;
    SStormTotals m_totals;
    std::set<std::string> m_wholeTexts;     // what a slot of this round may hold
    std::string m_strWholeLog;              // what the receiver logged in the rounds before
    size_t m_nCopies;                       // the most receivers seen at once in this round
    DWORD m_dwStartupMin;
    DWORD m_dwStartupMax;

    size_t CopiesAllowed() const { return m_dwStartupMax > START_WINDOW ? 2 : 1; }

    int Draw(int nLow, int nHigh)
    {
        return std::uniform_int_distribution<int>(nLow, nHigh)(m_random);
    }

    virtual void TearDown()
    {
        SetEnvironmentVariableA("TICKWARD_RECORDER_BEAT", NULL);
        SetEnvironmentVariableA("TICKWARD_RECORDER_THEN", NULL);
        // A copy still starting would start its receiver after the stop.
        KillAllNamed(STARTING_PROCESS);
        StopProcess(NULL, ReceiverStop::GetEventName(1, 2), 0);
        WaitUntil([] { return ProcessesNamed(RECEIVER_PROCESS).empty(); }, 60000, STORM_POLL);
        LoadTest::TearDown();
    }

    // A run that starts the application starts a receiver a drawn time
    // later, with the storm's pause after each job.
    void ChooseStartUp()
    {
        char szDelay[16];
        sprintf(szDelay, "%d", Draw(static_cast<int>(m_dwStartupMin), static_cast<int>(m_dwStartupMax)));
        char szPause[32];
        sprintf(szPause, " --pause %lu", static_cast<unsigned long>(m_dwJobPause));
        SetEnvironmentVariableA("TICKWARD_RECORDER_BEAT", szDelay);
        SetEnvironmentVariableA("TICKWARD_RECORDER_THEN", (Quoted(m_strReceiver) + szPause + LogOption()).c_str());
    }

    std::vector<SStormJob> StartRound(int nRound)
    {
        std::vector<SStormJob> jobs(WAVE);
        m_wholeTexts.clear();
        m_wholeTexts.insert(RawText("xxx"));
        m_nCopies = 0;
        ChooseStartUp();
        for (int nJob = 0; nJob < WAVE; ++nJob)
        {
            SStormJob& job = jobs[nJob];
            job.strFile = FileOf(nRound, nJob, "storm");
            job.hRun = StartDelivery(job.strFile);
            job.dwExitCode = job.hRun != NULL ? STILL_ACTIVE : 1;
            job.bKilled = FALSE;
            job.dwPostedAt = 0;
            m_wholeTexts.insert(RawText(MailboxJob("010102", job.strFile)));
        }
        return jobs;
    }

    // Checks the slots, notes which jobs have reached the mailbox (or,
    // taken already, the log) and which runs have ended, and counts the
    // receivers.
    std::map<int, std::string> Observe(std::vector<SStormJob>& jobs, const std::string& strLog)
    {
        const std::map<int, std::string> slots = ReadRawSlots();
        std::string strSlots;
        for (std::map<int, std::string>::const_iterator it = slots.begin(); it != slots.end(); ++it)
        {
            EXPECT_EQ(1u, m_wholeTexts.count(it->second)) << "slot " << it->first << " holds " << it->second;
            strSlots += it->second;
        }
        const DWORD dwNow = GetTickCount();
        for (size_t i = 0; i < jobs.size(); ++i)
        {
            SStormJob& job = jobs[i];
            if (job.dwPostedAt == 0 && (strSlots.find(job.strFile) != std::string::npos ||
                                        strLog.find(Printed(job.strFile)) != std::string::npos))
                job.dwPostedAt = dwNow;
            if (job.hRun != NULL && WaitForSingleObject(job.hRun, 0) == WAIT_OBJECT_0)
                EndRun(job);
        }
        m_nCopies = (std::max)(m_nCopies, ProcessesNamed(RECEIVER_PROCESS).size());
        return slots;
    }

    static void EndRun(SStormJob& job)
    {
        WaitForSingleObject(job.hRun, RUN_TIMEOUT);
        GetExitCodeProcess(job.hRun, &job.dwExitCode);
        CloseHandle(job.hRun);
        job.hRun = NULL;
    }

    static size_t PostedCount(const std::vector<SStormJob>& jobs)
    {
        size_t nPosted = 0;
        for (size_t i = 0; i < jobs.size(); ++i)
            nPosted += jobs[i].dwPostedAt != 0 ? 1 : 0;
        return nPosted;
    }

    static BOOL AllEnded(const std::vector<SStormJob>& jobs)
    {
        for (size_t i = 0; i < jobs.size(); ++i)
            if (jobs[i].hRun != NULL)
                return FALSE;
        return TRUE;
    }

    // Kills one of the runs whose job has not reached the mailbox: each of
    // them waits for the delivery mutex or tests the heartbeat.
    void KillOneRun(std::vector<SStormJob>& jobs)
    {
        std::vector<size_t> candidates;
        for (size_t i = 0; i < jobs.size(); ++i)
            if (jobs[i].hRun != NULL && jobs[i].dwPostedAt == 0)
                candidates.push_back(i);
        if (candidates.empty())
            return;
        SStormJob& job = jobs[candidates[Draw(0, static_cast<int>(candidates.size()) - 1)]];
        TerminateProcess(job.hRun, KILLED);
        EndRun(job);
        job.bKilled = job.dwExitCode == KILLED;    // it may have ended by itself just before
        m_totals.nRunKills += job.bKilled ? 1 : 0;
    }

    static void KillAllNamed(const char* pszName)
    {
        const std::vector<DWORD> processes = ProcessesNamed(pszName);
        for (size_t i = 0; i < processes.size(); ++i)
        {
            HANDLE hProcess = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processes[i]);
            if (hProcess == NULL)
                continue;
            TerminateProcess(hProcess, KILLED);
            WaitForSingleObject(hProcess, RUN_TIMEOUT);
            CloseHandle(hProcess);
        }
    }

    void KillReceivers()
    {
        KillAllNamed(RECEIVER_PROCESS);
        ++m_totals.nReceiverKills;
    }

    // A person closes the application while jobs arrive.
    void StopReceiver()
    {
        StopProcess(NULL, ReceiverStop::GetEventName(1, 2), 0);
        ++m_totals.nReceiverStops;
    }

    // Watches a round until all its runs have ended. It kills one run a
    // drawn moment (up to one liveness test) after the n-th job of the round
    // reached the mailbox, n drawn too, so that at least one other run still
    // waits for its test or is in it then. When asked, it kills the receiver
    // a drawn moment after its n-th job of the round, within the pause that
    // follows it: in the middle of its drain; or stops it a drawn moment
    // after the n-th job of the round reached the mailbox, while the others
    // still arrive. A run that comes later starts it again.
    void WatchRound(std::vector<SStormJob>& jobs, BOOL bKillReceiver, BOOL bStopReceiver)
    {
        const DWORD dwStart = GetTickCount();
        SStormAct runKill = { TRUE, static_cast<size_t>(Draw(0, WAVE - 2)),
                              static_cast<DWORD>(Draw(0, SAMPLE_PAUSE)), 0 };
        SStormAct receiverKill = { bKillReceiver, static_cast<size_t>(Draw(1, WAVE - 2)),
                                   static_cast<DWORD>(Draw(0, static_cast<int>(m_dwJobPause))), 0 };
        SStormAct receiverStop = { bStopReceiver, static_cast<size_t>(Draw(1, WAVE - 2)),
                                   static_cast<DWORD>(Draw(0, SAMPLE_PAUSE)), 0 };
        while (!AllEnded(jobs) && GetTickCount() - dwStart < RUN_TIMEOUT && !HasFatalFailure())
        {
            const std::string strLog = ReceiverLog();
            Observe(jobs, strLog);
            const DWORD dwNow = GetTickCount();
            if (runKill.IsDue(PostedCount(jobs), dwNow))
                KillOneRun(jobs);
            if (receiverKill.IsDue(HandedOverCount(strLog), dwNow))
                KillReceivers();
            if (receiverStop.IsDue(PostedCount(jobs), dwNow))
                StopReceiver();
            Sleep(STORM_POLL);
        }
        ASSERT_TRUE(AllEnded(jobs)) << "a run did not end";
        if (receiverKill.bPending)
            KillReceivers();
        if (receiverStop.bPending)
            StopReceiver();
        RestartIfNoRunDid();
    }

    // Jobs posted before a kill or a stop wait for the next run to start a
    // receiver; when none comes in the round, an operator would start it.
    void RestartIfNoRunDid()
    {
        WaitUntil([] { return ProcessesNamed(STARTING_PROCESS).empty() || !ProcessesNamed(RECEIVER_PROCESS).empty(); },
                  RUN_TIMEOUT, STORM_POLL);
        if (!ProcessesNamed(RECEIVER_PROCESS).empty() || ReadRawSlots().empty())
            return;
        StartReceiver(m_dwJobPause);
        ++m_totals.nStormStarts;
    }

    // The drain of the round is over once no slot is left, not even a
    // consumed one: only the end of a drain deletes those.
    BOOL WaitForDrain(std::vector<SStormJob>& jobs)
    {
        const DWORD dwTimeout = WAVE * (m_dwJobPause + 1500) + 60000;
        return WaitUntil([&] { return Observe(jobs, ReceiverLog()).empty(); }, dwTimeout, STORM_POLL);
    }

    static BOOL WaitForLockFree()
    {
        return WaitUntil([] { return ReadLock() == 0; }, LOCK_WAIT, STORM_POLL);
    }

    // Each job by itself: how often it was handed over and started.
    void CheckJob(const SStormJob& job, BOOL bKilledReceiver, const std::string& strLog,
                  const std::string& strStarts, int& nLostToReceiverKill)
    {
        SCOPED_TRACE(job.strFile);
        const size_t nHanded = CountOf(strLog, Printed(job.strFile));
        if (!job.bKilled)
        {
            EXPECT_EQ(0u, job.dwExitCode);
        }
        m_totals.nHandedMore += nHanded > 1 ? 1 : 0;
        if (nHanded == 1)
            ++m_totals.nHandedOnce;
        else if (nHanded == 0 && job.dwPostedAt != 0 && bKilledReceiver)
            ++nLostToReceiverKill;
        else if (nHanded == 0 && job.dwPostedAt == 0 && job.bKilled)
            ++m_totals.nLostToRunKill;
        else
            ADD_FAILURE() << "handed over " << nHanded << " times";
        const size_t nStarted = CountOf(strStarts, job.strFile);
        EXPECT_LE(nStarted, 1u);
        m_totals.nDeadStarts += static_cast<int>(nStarted);
    }

    void CheckRound(const std::vector<SStormJob>& jobs, BOOL bKilledReceiver, const std::string& strLog)
    {
        const std::string strStarts = ReadFileText(m_strApp + ".log");
        DeleteFileA((m_strApp + ".log").c_str());
        int nLostToReceiverKill = 0;
        size_t nHanded = 0;
        for (size_t i = 0; i < jobs.size(); ++i)
        {
            CheckJob(jobs[i], bKilledReceiver, strLog, strStarts, nLostToReceiverKill);
            nHanded += CountOf(strLog, Printed(jobs[i].strFile));
        }
        EXPECT_LE(nLostToReceiverKill, bKilledReceiver ? 1 : 0);
        m_totals.nLostToReceiverKill += nLostToReceiverKill;
        // A copy started at a window's end that comes to serve only after the
        // copy which took its job from the mailbox has ended (killed or
        // stopped) hands that job over again from its command line: the one
        // copy that had it is gone. Counted apart; only past the window.
        const size_t nAgain = HandedAgainCount(strLog);
        EXPECT_EQ(nHanded + nAgain, HandedOverCount(strLog));   // no other job of another round, none twice
        EXPECT_TRUE(nAgain == 0 || CopiesAllowed() == 2);
        m_totals.nHandedAgain += static_cast<int>(nAgain);
        EXPECT_GE(CopiesAllowed(), m_nCopies) << "receivers of device 1/2 at once";
        m_totals.nMostCopies = (std::max)(m_totals.nMostCopies, static_cast<int>(m_nCopies));
    }

    // Start jobs of earlier rounds in this round's log, each handed over before.
    size_t HandedAgainCount(const std::string& strLog) const
    {
        size_t nAgain = 0;
        for (size_t nAt = strLog.find(HANDED_OVER_AT_START); nAt != std::string::npos;
             nAt = strLog.find(HANDED_OVER_AT_START, nAt + 1))
        {
            const size_t nFile = strLog.find("File=\"", nAt);
            const std::string strFile = strLog.substr(nFile + 6, strLog.find('"', nFile + 6) - nFile - 6);
            nAgain += CountOf(m_strWholeLog, Printed(strFile)) > 0 ? 1 : 0;
        }
        return nAgain;
    }

    void RunRound(int nRound)
    {
        std::vector<SStormJob> jobs = StartRound(nRound);
        const BOOL bKillReceiver = nRound % RECEIVER_KILL_EVERY == 1;
        WatchRound(jobs, bKillReceiver, nRound % RECEIVER_STOP_EVERY == 6);
        if (HasFatalFailure())
            return;
        EXPECT_TRUE(WaitForDrain(jobs));
        EXPECT_TRUE(WaitForLockFree()) << "Lock " << ReadLock();
        // The round's log starts afresh, so that each round reads only its own.
        const std::string strLog = ReceiverLog();
        CheckRound(jobs, bKillReceiver, strLog);
        m_strWholeLog += strLog;
        DeleteFileA((m_strReceiver + ".log").c_str());
        ++m_totals.nRounds;
        m_totals.nJobs += WAVE;
        printf("storm round %d: %d run kills, %d receiver kills, %d stops, %d handed over once, lost %d + %d, "
               "%d starts, %d copies at most\n",
               nRound, m_totals.nRunKills, m_totals.nReceiverKills, m_totals.nReceiverStops, m_totals.nHandedOnce,
               m_totals.nLostToRunKill, m_totals.nLostToReceiverKill, m_totals.nDeadStarts,
               static_cast<int>(m_nCopies));
        fflush(stdout);
    }

    void PrintTotals(DWORD dwElapsed) const
    {
        printf("storm: %d rounds, %d jobs, %d runs killed, %d receivers killed, %d stopped cleanly\n"
               "storm: %d jobs handed over exactly once, %d more than once\n"
               "storm: lost: %d whose run was killed before posting, %d taken by a receiver killed before "
               "handing over\n"
               "storm: %d handed over again by a second copy that served after the first had ended\n"
               "storm: %d applications started by runs, %d receivers started by the storm, at most %d serving at once\n"
               "storm: %lu s\n",
               m_totals.nRounds, m_totals.nJobs, m_totals.nRunKills, m_totals.nReceiverKills, m_totals.nReceiverStops,
               m_totals.nHandedOnce, m_totals.nHandedMore, m_totals.nLostToRunKill, m_totals.nLostToReceiverKill,
               m_totals.nHandedAgain, m_totals.nDeadStarts, m_totals.nStormStarts, m_totals.nMostCopies,
               static_cast<unsigned long>(dwElapsed / 1000));
        fflush(stdout);
    }

    // The whole storm, its random choices from the seed in pszSeedVariable.
    void RunStorm(const char* pszSeedVariable)
    {
        m_random.seed(ChooseSeed(pszSeedVariable));
        ZeroMemory(&m_totals, sizeof(m_totals));
        const int nRounds = static_cast<int>(SettingOf("TICKWARD_STORM_ROUNDS", 100));
        m_dwStartupMin = SettingOf("TICKWARD_STORM_STARTUP_MIN", 500);
        m_dwStartupMax = SettingOf("TICKWARD_STORM_STARTUP_MAX", 5000);
        const DWORD dwStart = GetTickCount();
        StartReceiver(m_dwJobPause);
        for (int nRound = 1; nRound <= nRounds && !HasFatalFailure(); ++nRound)
        {
            SCOPED_TRACE(testing::Message() << "storm round " << nRound << " of " << nRounds);
            RunRound(nRound);
        }
        PrintTotals(GetTickCount() - dwStart);

        // The whole run: every job at most once across all rounds, and every
        // job accounted for by a handover or a loss of a known cause.
        for (int nRound = 1; nRound <= m_totals.nRounds; ++nRound)
            for (int nJob = 0; nJob < WAVE; ++nJob)
                EXPECT_GE(CopiesAllowed(), CountOf(m_strWholeLog, Printed(FileOf(nRound, nJob, "storm"))));
        EXPECT_EQ(static_cast<size_t>(m_totals.nHandedOnce + m_totals.nHandedAgain), HandedOverCount(m_strWholeLog));
        EXPECT_EQ(m_totals.nJobs, m_totals.nHandedOnce + m_totals.nLostToRunKill + m_totals.nLostToReceiverKill);
        EXPECT_LE(m_totals.nLostToReceiverKill, m_totals.nReceiverKills);
        EXPECT_GE(CopiesAllowed(), static_cast<size_t>(m_totals.nMostCopies));
    }
};

// The same storm against a receiving application that reads the mailbox as
// one built from the protocol alone does: its lock is two registry calls,
// with no guard mutex (tests/support/protoreceiver.cpp).
class ProtocolStormTest : public StormTest
{
protected:
    virtual const char* ReceiverProgram() const
    {
        return "protoreceiver.exe";
    }
};
}

TEST_F(LoadTest, TwoWavesOfTenReachTheLiveReceiverEachJobOnce)
{
    // A reader keeps the slots it consumed until its whole drain ends, and
    // a writer never writes over them: both waves of a round share the
    // mailbox's twenty slots.
    const int HALF_WAVE = SLOT_COUNT / 2;
    StartReceiver(m_dwJobPause);
    const int nRounds = static_cast<int>(SettingOf("TICKWARD_LOAD_ROUNDS", 1));
    const DWORD dwDrainTimeout = 2 * HALF_WAVE * (m_dwJobPause + 1500) + 60000;
    size_t nHandedOver = 0;
    for (int nRound = 1; nRound <= nRounds; ++nRound)
    {
        SCOPED_TRACE(testing::Message() << "round " << nRound << " of " << nRounds);
        std::vector<HANDLE> runs;
        for (int nJob = 0; nJob < HALF_WAVE; ++nJob)
            runs.push_back(StartDelivery(nRound, nJob));
        const std::vector<DWORD> firstWave = WaitForAll(runs);

        // The second wave comes while the receiver still works through the
        // first: run n starts once n + 1 of the round's jobs were handed
        // over, the last one in the pause after the first wave's last job.
        for (int nJob = HALF_WAVE; nJob < 2 * HALF_WAVE; ++nJob)
        {
            ASSERT_TRUE(WaitForHandedOver(nHandedOver + nJob - HALF_WAVE + 1, dwDrainTimeout));
            runs.push_back(StartDelivery(nRound, nJob));
        }
        const std::vector<DWORD> secondWave = WaitForAll(runs);
        // A job missing at the end is named by the checks below, with its
        // run's exit code, before the test stops.
        const BOOL bDrained = WaitForHandedOver(nHandedOver + 2 * HALF_WAVE, dwDrainTimeout);
        nHandedOver += 2 * HALF_WAVE;

        const std::string strLog = ReceiverLog();
        for (int nJob = 0; nJob < 2 * HALF_WAVE; ++nJob)
        {
            SCOPED_TRACE(FileOf(nRound, nJob));
            EXPECT_EQ(0u, nJob < HALF_WAVE ? firstWave[nJob] : secondWave[nJob - HALF_WAVE]);
            EXPECT_EQ(1u, CountOf(strLog, Printed(FileOf(nRound, nJob))));
        }
        EXPECT_EQ(nHandedOver, CountOf(strLog, HANDED_OVER));   // nothing else, nothing twice
        EXPECT_EQ(0, PendingSlots());
        ASSERT_TRUE(bDrained);
        // Twenty consumed slots fill the mailbox until the drain's end
        // deletes them: the next round's jobs would find no slot before.
        ASSERT_TRUE(WaitUntil([] { return ReadRawSlots().empty(); }, m_dwJobPause + 60000, 50));
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((m_strApp + ".log").c_str()))   // nothing started
        << ReadFileText(m_strApp + ".log");
}

// More jobs at once than the mailbox can hold while the receiver is busy with
// its first: twenty fill the slots, the one the receiver consumed among
// them, and the rest are refused with exit code 2. A refused job is
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
        const std::string strPrinted = Printed(FileOf(0, nJob));
        const size_t nPlaces = CountOf(strMailbox, strFile) + CountOf(strLog, strPrinted);
        if (exitCodes[nJob] == 0)
            ++nAccepted;
        else
            EXPECT_EQ(2u, exitCodes[nJob]);
        EXPECT_EQ(exitCodes[nJob] == 0 ? 1u : 0u, nPlaces);
    }
    EXPECT_EQ(SLOT_COUNT, nAccepted);
    EXPECT_EQ(1u, CountOf(strMailbox, "xxx\n"));     // the consumed slot is kept, not written over
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((m_strApp + ".log").c_str()));   // nothing started

    TerminateProcess(m_hReceiver, 1);   // a stop would wait out its pause
}

// Long: only the soak runs them (tests/receiver/CMakeLists.txt).
TEST_F(StormTest, FaultStormLosesDoublesAndFalselyStartsNothing)
{
    RunStorm("TICKWARD_STORM_SEED");
}

TEST_F(ProtocolStormTest, FaultStormBesideAProtocolBuiltReaderLosesDoublesAndFalselyStartsNothing)
{
    RunStorm("TICKWARD_PROTOCOL_STORM_SEED");
}
