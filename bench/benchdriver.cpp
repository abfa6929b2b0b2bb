// benchdriver - times Tickward against its 600 ms floor and prints the
// results as Markdown rows for docs/performance.md.
//
//   benchdriver [RUNS [IDLE-SECONDS]]       defaults: 10 runs, 60 s idle
//
// Every program is started with CreateProcess and timed with
// QueryPerformanceCounter from here, so the figures carry no shell or Wine
// loader start-up of the driver itself. The programs come from the driver's
// own folder (build/<arch>/bin). The mailbox key is cleared before, between
// and after the runs. Exit code 0 when every run delivered as it should,
// 1 when one did not (the figures are printed either way).
#include <windows.h>
#include <psapi.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/CRecordingWait.h"
#include "cmdline/ProductCode.h"
#include "instance/HeartbeatTable.h"
#include "mailbox/MailboxLayout.h"
#include "receiver/ReceiverStop.h"
#include "recording/CRecording.h"
#include "tests/support/MailboxSupport.h"
#include "tests/support/TestSupport.h"

namespace
{
const char HEARTBEAT_STOP[] = "TickwardBenchHeartbeatStop";
// The device that every job of the benchmark is for ("010102").
const int DEVICE_TYPE = 1;
const int DEVICE_INDEX = 2;
const double FLOOR_MS = HeartbeatTable::SAMPLE_PAUSE;
const int BURST_SIZE = MailboxLayout::SLOT_COUNT;  // a burst fills the mailbox
const DWORD RECEIVER_PAUSE = 10500;     // the reader pauses 10 s after a job
const DWORD POLL_INTERVAL = 2;
const SIZE_T PEAK_UNKNOWN = static_cast<SIZE_T>(-1);

LARGE_INTEGER g_frequency;
std::string g_strBin;
std::string g_strWork;
BOOL g_bSound = TRUE;

double Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(g_frequency.QuadPart);
}

void Fail(const char* pszWhat, int nRun)
{
    fprintf(stderr, "benchdriver: %s (run %d)\n", pszWhat, nRun);
    g_bSound = FALSE;
}

// A console program started with bQuiet writes to NUL, not into the results.
HANDLE Start(const std::string& strCommandLine, DWORD* pdwProcessId = NULL, BOOL bQuiet = FALSE)
{
    STARTUPINFOA si;
    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    HANDLE hNul = INVALID_HANDLE_VALUE;
    if (bQuiet)
    {
        SECURITY_ATTRIBUTES inherit = { sizeof(SECURITY_ATTRIBUTES), NULL, TRUE };
        hNul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                           OPEN_EXISTING, 0, NULL);
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = si.hStdOutput = si.hStdError = hNul;
    }
    PROCESS_INFORMATION pi;
    std::vector<char> buffer(strCommandLine.begin(), strCommandLine.end());
    buffer.push_back('\0');
    const BOOL bStarted = CreateProcessA(NULL, &buffer[0], NULL, NULL, hNul != INVALID_HANDLE_VALUE, 0, NULL, NULL,
                                         &si, &pi);
    if (hNul != INVALID_HANDLE_VALUE)
        CloseHandle(hNul);
    if (!bStarted)
        return NULL;
    CloseHandle(pi.hThread);
    if (pdwProcessId != NULL)
        *pdwProcessId = pi.dwProcessId;
    return pi.hProcess;
}

// Waits for the process and reads its exit code; closes the handle.
DWORD Finish(HANDLE hProcess)
{
    if (hProcess == NULL)
        return 0xFFFFFFFF;
    DWORD dwExitCode = 0xFFFFFFFF;
    if (WaitForSingleObject(hProcess, 60000) == WAIT_OBJECT_0)
        GetExitCodeProcess(hProcess, &dwExitCode);
    CloseHandle(hProcess);
    return dwExitCode;
}

// Like Finish, but reads the process's working set every 20 ms while it runs
// (Wine gives no figures for an ended process) and keeps the largest, peak
// or current, in nPeak; PEAK_UNKNOWN when no reading succeeded.
DWORD FinishSampling(HANDLE hProcess, SIZE_T& nPeak)
{
    nPeak = PEAK_UNKNOWN;
    if (hProcess == NULL)
        return 0xFFFFFFFF;
    const double dStart = Now();
    while (WaitForSingleObject(hProcess, 20) == WAIT_TIMEOUT && Now() - dStart < 60000.0)
    {
        PROCESS_MEMORY_COUNTERS counters;
        ZeroMemory(&counters, sizeof(counters));
        counters.cb = sizeof(counters);
        if (!GetProcessMemoryInfo(hProcess, &counters, sizeof(counters)))
            continue;
        const SIZE_T nLargest = std::max(counters.PeakWorkingSetSize, counters.WorkingSetSize);
        if (nPeak == PEAK_UNKNOWN || nLargest > nPeak)
            nPeak = nLargest;
    }
    return Finish(hProcess);
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

double Min(const std::vector<double>& values)
{
    return values.empty() ? 0.0 : *std::min_element(values.begin(), values.end());
}

double Max(const std::vector<double>& values)
{
    return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

void ClearMailbox()
{
    SHDeleteKeyA(HKEY_CURRENT_USER, MailboxLayout::KEY);
}

void PutFirstSlot(const std::string& strText)
{
    SHSetValueA(HKEY_CURRENT_USER, MailboxLayout::KEY, MailboxLayout::GetSlotName(MailboxLayout::FIRST_SLOT), REG_SZ,
                strText.c_str(), static_cast<DWORD>(strText.size() + 1));
}

int CountSlots()
{
    HKEY hKey = NULL;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, MailboxLayout::KEY, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return 0;
    int nCount = 0;
    for (int nSlot = MailboxLayout::FIRST_SLOT; nSlot <= MailboxLayout::LAST_SLOT; ++nSlot)
    {
        if (RegQueryValueExA(hKey, MailboxLayout::GetSlotName(nSlot), NULL, NULL, NULL, NULL) == ERROR_SUCCESS)
            ++nCount;
    }
    RegCloseKey(hKey);
    return nCount;
}

// Polls the file every few ms until pszPart occurs more than nBefore times;
// the time it was seen, or a negative value after the time-out.
double WaitForCount(const std::string& strPath, const char* pszPart, size_t nBefore, DWORD dwTimeout)
{
    const DWORD dwStart = GetTickCount();
    while (GetTickCount() - dwStart < dwTimeout)
    {
        if (CountOf(ReadFileText(strPath), pszPart) > nBefore)
            return Now();
        Sleep(POLL_INTERVAL);
    }
    return -1.0;
}

std::string TickwardJob(const std::string& strApp, int nRun, const char* pszProgram = "tickward.exe")
{
    char szFile[64];
    wsprintfA(szFile, "C:\\Rec\\bench %d.ts", nRun);
    return Quoted(g_strBin + pszProgram) + " " + Quoted(strApp) + ";010102;P: " + ProductCode::SUPPORTED + ";D: 5;Key: ;File: "
        + Quoted(szFile) + ";FM: 1;TO: 1;SO: 0;EO: 0";
}

double TimeRun(const std::string& strCommandLine, DWORD& dwExitCode)
{
    const double dStart = Now();
    HANDLE hProcess = Start(strCommandLine);
    dwExitCode = Finish(hProcess);
    return Now() - dStart;
}

// The stand-in application (a copy of recorder.exe) logs one line for every
// time Tickward started it: a delivery to a live application starts nothing.
int CountStandInStarts()
{
    return CountOf(ReadFileText(g_strWork + "standin.exe.log"), "\n");
}

void PrintRow(const char* pszMeasure, double dMedian, double dMin, double dMax, const char* pszFloor,
              const std::string& strResult, const char* pszGoal, BOOL bMet)
{
    printf("| %s | %.0f ms (%.0f-%.0f) | %s | %s | %s | %s |\n", pszMeasure, dMedian, dMin, dMax, pszFloor,
           strResult.c_str(), pszGoal, bMet ? "yes" : "**no**");
}

std::string Format(const char* pszFormat, double dValue)
{
    char szText[64];
    snprintf(szText, sizeof(szText), pszFormat, dValue);
    return szText;
}

struct CResults
{
    std::vector<double> m_aDelivery, m_aNoJournal, m_aFloor, m_aHandoff, m_aHandoffRun, m_aBurst, m_aSlowBurst;
    std::vector<double> m_aPeakKiB, m_aFloorPeakKiB;
    int m_nDeliveryStarts, m_nBurstStarts, m_nPeakFailed, m_nPeakZero, m_nSlowBursts, m_nSlowBurstStarts;
    double m_dIdleProcessMs;
    std::vector<double> m_aIdleThreadMs;
    int m_nIdleSeconds;
    std::vector<double> m_aAfterRecording;  // ms from a recording's end to the power command's end
    double m_dWaitCpuMs;                    // CPU of a power command that waited m_nIdleSeconds
    std::vector<double> m_aAfterSettle;     // ms from a job's being taken, plus the settle time, to the end
    double m_dJobWaitCpuMs;                 // CPU of a power command held m_nIdleSeconds by a job
};


// Untimed runs, so that reading the working set does not slow the timed ones.
void MeasurePeakMemory(int nRuns, CResults& results)
{
    const std::string strApp = g_strWork + "standin.exe";
    for (int i = 1; i <= nRuns; ++i)
    {
        ClearMailbox();
        SIZE_T nPeak = 0;
        FinishSampling(Start(TickwardJob(strApp, 1000 + i)), nPeak);
        if (nPeak == PEAK_UNKNOWN)
            ++results.m_nPeakFailed;
        else if (nPeak == 0)
            ++results.m_nPeakZero;
        else
            results.m_aPeakKiB.push_back(nPeak / 1024.0);
        FinishSampling(Start(Quoted(g_strBin + "sleep600.exe")), nPeak);
        if (nPeak != PEAK_UNKNOWN && nPeak != 0)
            results.m_aFloorPeakKiB.push_back(nPeak / 1024.0);
    }
}

void MeasureDelivery(int nRuns, CResults& results)
{
    const std::string strApp = g_strWork + "standin.exe";
    DWORD dwExitCode = 0;
    TimeRun(TickwardJob(strApp, 0), dwExitCode);     // warms the caches for both
    TimeRun(Quoted(g_strBin + "sleep600.exe"), dwExitCode);
    const int nStartsBefore = CountStandInStarts();
    for (int i = 1; i <= nRuns; ++i)
    {
        ClearMailbox();
        results.m_aDelivery.push_back(TimeRun(TickwardJob(strApp, i), dwExitCode));
        if (dwExitCode != 0 || CountSlots() != 1)
            Fail("a delivery did not end with exit 0 and one slot", i);
        results.m_aFloor.push_back(TimeRun(Quoted(g_strBin + "sleep600.exe"), dwExitCode));
        ClearMailbox();
        results.m_aNoJournal.push_back(TimeRun(TickwardJob(strApp, i, "tickward_nojournal.exe"), dwExitCode));
        if (dwExitCode != 0 || CountSlots() != 1)
            Fail("a delivery without the journal did not end with exit 0 and one slot", i);
    }
    results.m_nDeliveryStarts = CountStandInStarts() - nStartsBefore;
    MeasurePeakMemory(nRuns, results);
}

// Twenty runs started back to back into an empty mailbox, timed until the
// last one ended; FALSE unless all exited 0 and the mailbox holds twenty slots.
BOOL RunBurst(const std::string& strApp, int nFirstJob, double& dElapsed)
{
    ClearMailbox();
    HANDLE ahProcess[BURST_SIZE];
    const double dStart = Now();
    BOOL bAllDone = TRUE;
    for (int j = 0; j < BURST_SIZE; ++j)
    {
        ahProcess[j] = Start(TickwardJob(strApp, nFirstJob + j));
        if (ahProcess[j] == NULL)
            Fail("the driver could not start a run of a burst", nFirstJob + j);
    }
    for (int j = 0; j < BURST_SIZE; ++j)
        bAllDone = Finish(ahProcess[j]) == 0 && bAllDone;
    dElapsed = Now() - dStart;
    return bAllDone && CountSlots() == BURST_SIZE;
}

void MeasureBurst(int nRuns, CResults& results)
{
    const std::string strApp = g_strWork + "standin.exe";
    const int nStartsBefore = CountStandInStarts();
    for (int i = 1; i <= nRuns; ++i)
    {
        double dElapsed = 0.0;
        if (!RunBurst(strApp, i * 100, dElapsed))
            Fail("a burst did not end with twenty exits 0 and twenty slots", i);
        results.m_aBurst.push_back(dElapsed);
    }
    results.m_nBurstStarts = CountStandInStarts() - nStartsBefore;
    ClearMailbox();
}

// Twenty runs at once for a dead application that takes 3 s to its first
// heartbeat (the stand-in, told so through its environment): one start,
// the other runs wait for the heartbeat instead of starting a second copy.
void MeasureSlowStartBurst(int nRuns, CResults& results)
{
    const std::string strApp = g_strWork + "standin.exe";
    HANDLE hStandInStop = CreateEventA(NULL, TRUE, FALSE, "TickwardRecorderStop");
    SetEnvironmentVariableA("TICKWARD_RECORDER_BEAT", "3000");
    results.m_nSlowBursts = nRuns;
    const int nStartsBefore = CountStandInStarts();
    for (int i = 1; i <= nRuns; ++i)
    {
        ResetEvent(hStandInStop);
        double dElapsed = 0.0;
        if (!RunBurst(strApp, 5000 + i * 100, dElapsed))
            Fail("a burst for a starting application did not end with twenty exits 0 and twenty slots", i);
        results.m_aSlowBurst.push_back(dElapsed);
        SetEvent(hStandInStop);     // the application ends: the next burst finds it dead
        Sleep(1000);
    }
    results.m_nSlowBurstStarts = CountStandInStarts() - nStartsBefore;
    SetEnvironmentVariableA("TICKWARD_RECORDER_BEAT", NULL);
    CloseHandle(hStandInStop);
    ClearMailbox();
}

ULONGLONG Hundreds(const FILETIME& time)
{
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

ULONGLONG ProcessCpu(HANDLE hProcess)
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(hProcess, &created, &exited, &kernel, &user))
        return 0;
    return Hundreds(kernel) + Hundreds(user);
}

// CPU time of each thread of the process, by thread id.
std::vector<std::pair<DWORD, ULONGLONG> > ThreadCpu(DWORD dwProcessId)
{
    std::vector<std::pair<DWORD, ULONGLONG> > threads;
    HANDLE hSnapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (hSnapshot == INVALID_HANDLE_VALUE)
        return threads;
    THREADENTRY32 entry;
    entry.dwSize = sizeof(entry);
    for (BOOL bMore = Thread32First(hSnapshot, &entry); bMore; bMore = Thread32Next(hSnapshot, &entry))
    {
        if (entry.th32OwnerProcessID != dwProcessId)
            continue;
        HANDLE hThread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID);
        if (hThread == NULL)
            continue;
        FILETIME created, exited, kernel, user;
        if (GetThreadTimes(hThread, &created, &exited, &kernel, &user))
            threads.push_back(std::make_pair(entry.th32ThreadID, Hundreds(kernel) + Hundreds(user)));
        CloseHandle(hThread);
    }
    CloseHandle(hSnapshot);
    return threads;
}

void MeasureIdle(HANDLE hReceiver, DWORD dwProcessId, int nSeconds, CResults& results)
{
    results.m_nIdleSeconds = nSeconds;
    const std::vector<std::pair<DWORD, ULONGLONG> > before = ThreadCpu(dwProcessId);
    const ULONGLONG nBefore = ProcessCpu(hReceiver);
    Sleep(static_cast<DWORD>(nSeconds) * 1000);
    const ULONGLONG nAfter = ProcessCpu(hReceiver);
    const std::vector<std::pair<DWORD, ULONGLONG> > after = ThreadCpu(dwProcessId);
    results.m_dIdleProcessMs = (nAfter - nBefore) / 10000.0;
    for (size_t i = 0; i < after.size(); ++i)
    {
        for (size_t j = 0; j < before.size(); ++j)
        {
            if (before[j].first == after[i].first)
                results.m_aIdleThreadMs.push_back((after[i].second - before[j].second) / 10000.0);
        }
    }
}

void MeasureHandoff(int nRuns, const std::string& strApp, CResults& results)
{
    const std::string strLog = strApp + ".log";
    for (int i = 1; i <= nRuns; ++i)
    {
        const size_t nBefore = CountOf(ReadFileText(strLog), "job from mailbox");
        const double dStart = Now();
        HANDLE hProcess = Start(TickwardJob(strApp, i));
        const double dSeen = WaitForCount(strLog, "job from mailbox", nBefore, 15000);
        const DWORD dwExitCode = Finish(hProcess);
        results.m_aHandoffRun.push_back(Now() - dStart);
        if (dSeen < 0 || dwExitCode != 0)
            Fail("a job did not reach the receiver's callback", i);
        else
            results.m_aHandoff.push_back(dSeen - dStart);
        Sleep(RECEIVER_PAUSE);
    }
}

// A power command by tickward_nopower.exe (its request only said), held by
// what the caller set up until release() ends it dwHeld ms after the start;
// hands back the ms from the release until the command ended, and its CPU
// time.
template <class TRelease>
BOOL RunHeldPowerCommand(DWORD dwHeld, TRelease release, double& dAfterRelease, double& dCpuMs)
{
    HANDLE hRun = Start(Quoted(g_strBin + "tickward_nopower.exe") + " -E;2");
    if (hRun == NULL)
        return FALSE;
    Sleep(dwHeld);
    const BOOL bWaited = WaitForSingleObject(hRun, 0) == WAIT_TIMEOUT;
    const double dRelease = Now();
    release();
    const DWORD dwExitCode = Finish(hRun);
    dAfterRelease = Now() - dRelease;
    dCpuMs = ProcessCpu(hRun) / 10000.0;
    CloseHandle(hRun);
    return bWaited && dwExitCode == 0;
}

// Held by a recording this process declares, which ends dwRecording ms
// after the start.
BOOL RunPowerWait(DWORD dwRecording, double& dAfterEnd, double& dCpuMs)
{
    CRecording recording;
    return recording.Begin(DEVICE_TYPE, DEVICE_INDEX, "bench")
        && RunHeldPowerCommand(dwRecording, [&] { recording.End(); }, dAfterEnd, dCpuMs);
}

void MeasurePowerWait(int nRuns, int nWaitSeconds, CResults& results)
{
    double dAfterEnd = 0.0, dCpuMs = 0.0;
    for (int i = 1; i <= nRuns; ++i)
    {
        if (!RunPowerWait(1000, dAfterEnd, dCpuMs))
            Fail("a power command did not wait for the recording and then end with exit 0", i);
        results.m_aAfterRecording.push_back(dAfterEnd);
    }
    if (!RunPowerWait(static_cast<DWORD>(nWaitSeconds) * 1000, dAfterEnd, results.m_dWaitCpuMs))
        Fail("the long power command did not wait and end with exit 0", 0);
}

// Held by a job that waits in the mailbox for the live device, taken
// dwWaiting ms after the start; the ms after its being taken are handed back
// less the settle time.
BOOL RunJobWait(DWORD dwWaiting, double& dAfterSettle, double& dCpuMs)
{
    PutFirstSlot(MailboxJob("010102", "C:\\Rec\\bench.ts"));
    const BOOL bHeld = RunHeldPowerCommand(dwWaiting, [] { PutFirstSlot(MailboxLayout::CONSUMED_MARK); }, dAfterSettle,
                                           dCpuMs);
    dAfterSettle -= CRecordingWait::SETTLE_TIME;
    ClearMailbox();
    return bHeld;
}

// Each run spends the settle time: a few are enough.
void MeasureJobWait(int nRuns, int nWaitSeconds, CResults& results)
{
    double dAfterSettle = 0.0, dCpuMs = 0.0;
    for (int i = 1; i <= nRuns && i <= 5; ++i)
    {
        if (!RunJobWait(2000, dAfterSettle, dCpuMs))
            Fail("a power command did not wait for the job on its way and then end with exit 0", i);
        results.m_aAfterSettle.push_back(dAfterSettle);
    }
    if (!RunJobWait(static_cast<DWORD>(nWaitSeconds) * 1000, dAfterSettle, results.m_dJobWaitCpuMs))
        Fail("the long power command did not wait for the job and end with exit 0", 0);
}

BOOL RunWithHeartbeat(int nRuns, CResults& results)
{
    HANDLE hStop = CreateEventA(NULL, TRUE, FALSE, HEARTBEAT_STOP);
    char szDevice[32];
    wsprintfA(szDevice, " %d %d ", HeartbeatTable::GetCategory(DEVICE_TYPE), DEVICE_INDEX);
    HANDLE hHeartbeat = Start(Quoted(g_strBin + "heartbeat.exe") + szDevice + HEARTBEAT_STOP + " 3600000");
    if (hStop == NULL || hHeartbeat == NULL)
        return FALSE;
    Sleep(500);
    MeasureDelivery(nRuns, results);
    MeasureBurst(nRuns, results);
    MeasureJobWait(nRuns, results.m_nIdleSeconds, results);
    SetEvent(hStop);
    Finish(hHeartbeat);
    CloseHandle(hStop);
    return TRUE;
}

BOOL RunWithReceiver(int nRuns, int nIdleSeconds, CResults& results)
{
    const std::string strApp = g_strWork + "tvapp.exe";
    DWORD dwProcessId = 0;
    char szDevice[32];
    wsprintfA(szDevice, " --type %d --index %d", DEVICE_TYPE, DEVICE_INDEX);
    HANDLE hReceiver = Start(Quoted(strApp) + szDevice + " --log " + Quoted(strApp + ".log"), &dwProcessId, TRUE);
    if (hReceiver == NULL || WaitForCount(strApp + ".log", "serving device", 0, 20000) < 0)
        return FALSE;
    Sleep(2000);    // its first round drains the empty mailbox and arms the notification
    MeasureIdle(hReceiver, dwProcessId, nIdleSeconds, results);
    MeasureHandoff(nRuns, strApp, results);
    HANDLE hStop = OpenEventA(EVENT_MODIFY_STATE, FALSE, ReceiverStop::GetEventName(DEVICE_TYPE, DEVICE_INDEX));
    if (hStop != NULL)
    {
        SetEvent(hStop);
        CloseHandle(hStop);
    }
    return Finish(hReceiver) == 0;
}

void PrintResults(int nRuns, const CResults& results)
{
    const double dFloor = Median(results.m_aFloor);
    const double dDelivery = Median(results.m_aDelivery);
    const double dHandoff = Median(results.m_aHandoff);
    const double dBurst = Median(results.m_aBurst);
    const double dBurstFloor = BURST_SIZE * FLOOR_MS;
    printf("Medians of %d runs, %d of the burst for a starting application (fastest-slowest in brackets).\n\n",
           nRuns, results.m_nSlowBursts);
    printf("| Measure | Median | Floor | Result | Goal | Met |\n|---|---|---|---|---|---|\n");
    PrintRow("Floor: sleep600.exe, started like tickward.exe", dFloor, Min(results.m_aFloor), Max(results.m_aFloor),
             "-", "-", "-", TRUE);
    PrintRow("Delivery to a live application (one tickward.exe run)", dDelivery, Min(results.m_aDelivery),
             Max(results.m_aDelivery), "sleep600.exe", Format("ratio %.3f", dDelivery / dFloor), "ratio <= 1.01",
             dDelivery <= 1.01 * dFloor);
    const double dNoJournal = Median(results.m_aNoJournal);
    PrintRow("Journal: the same delivery by tickward_nojournal.exe (built without the run journal)", dNoJournal,
             Min(results.m_aNoJournal), Max(results.m_aNoJournal), "the delivery above",
             Format("journal costs %+.1f ms", dDelivery - dNoJournal), "<= 2 ms", dDelivery - dNoJournal <= 2.0);
    PrintRow("Handoff: tickward.exe start to the receiver's \"job from mailbox\"", dHandoff,
             Min(results.m_aHandoff), Max(results.m_aHandoff), "sleep600.exe",
             Format("floor %+.0f ms", dHandoff - dFloor) + Format(" (ratio %.3f)", dHandoff / dFloor),
             "<= floor + 25 ms", dHandoff <= dFloor + 25.0);
    PrintRow("Burst: 20 simultaneous runs until all 20 are in the mailbox", dBurst, Min(results.m_aBurst),
             Max(results.m_aBurst), "20 x 600 ms", Format("ratio %.3f", dBurst / dBurstFloor), "none (see below)", TRUE);
    char szStarts[96];
    snprintf(szStarts, sizeof(szStarts), "%d starts in %d bursts", results.m_nSlowBurstStarts, results.m_nSlowBursts);
    PrintRow("Burst for a dead application that takes 3 s to its first heartbeat: 20 runs until all have delivered",
             Median(results.m_aSlowBurst), Min(results.m_aSlowBurst), Max(results.m_aSlowBurst), "20 x 600 ms",
             szStarts, "1 start a burst", results.m_nSlowBurstStarts == results.m_nSlowBursts);
    printf("\n");
    printf("- Handoff runs: the tickward.exe process itself took a median of %.0f ms (it ends after posting;"
           " the callback may come before or after its exit).\n", Median(results.m_aHandoffRun));
    printf("- Burst: deliveries take turns under Tickward's delivery mutex (liveness test and mailbox), so"
           " twenty runs cannot beat 20 x 600 ms; the ratio is what the twenty cost beyond that. Against one"
           " sleep600.exe run (%.0f ms) they took %.2f times as long.\n", dFloor, dBurst / dFloor);
    printf("- Applications started by Tickward: %d in the %d single deliveries, %d in the %d bursts (%d runs)."
           " The stand-in application is a copy of recorder.exe, which logs every start.\n",
           results.m_nDeliveryStarts, nRuns, results.m_nBurstStarts, nRuns, nRuns * BURST_SIZE);
    printf("- Receiver idle for %d s (mailbox reader waiting, no jobs): GetProcessTimes reported %.1f ms of CPU"
           " for the whole process (goal for the reader: under 10 ms).", results.m_nIdleSeconds,
           results.m_dIdleProcessMs);
    printf(" Per thread (GetThreadTimes):");
    double dThreadSum = 0.0;
    for (size_t i = 0; i < results.m_aIdleThreadMs.size(); ++i)
    {
        printf("%s %.1f ms", i ? "," : "", results.m_aIdleThreadMs[i]);
        dThreadSum += results.m_aIdleThreadMs[i];
    }
    printf("%s (sum %.1f ms).\n", results.m_aIdleThreadMs.empty() ? " not available" : "", dThreadSum);
    const double dAfter = Median(results.m_aAfterRecording);
    printf("- A power command waiting for a declared recording (tickward_nopower.exe -E;2, the request only said;"
           " it wakes on the recording's end, on the declaring process's death, and looks again every 20 s):"
           " from the recording's end to the command's end a median of %.0f ms (%.0f-%.0f) in %d runs"
           " (goal: within 1000 ms, not the 20 s look: %s); a command that waited %d s used %.1f ms of CPU"
           " (goal: 10 ms or less: %s).\n",
           dAfter, Min(results.m_aAfterRecording), Max(results.m_aAfterRecording), nRuns,
           dAfter <= 1000.0 ? "met" : "**not met**", results.m_nIdleSeconds, results.m_dWaitCpuMs,
           results.m_dWaitCpuMs <= 10.0 ? "met" : "**not met**");
    const double dSettle = Median(results.m_aAfterSettle);
    printf("- A power command held by a job on its way (tickward_nopower.exe -E;2 while a job waits in the mailbox"
           " for a live device; it looks every %d ms): from the job's being taken to the command's end, less the"
           " %d ms settle time, a median of %.0f ms (%.0f-%.0f) in %d runs (the settle time counts from the last"
           " look that saw the job, up to a look before it was taken; goal: within 1000 ms: %s); a command"
           " that a job held %d s used %.1f ms of CPU (goal: 10 ms or less: %s).\n",
           CRecordingWait::JOB_STEP, CRecordingWait::SETTLE_TIME, dSettle, Min(results.m_aAfterSettle),
           Max(results.m_aAfterSettle), static_cast<int>(results.m_aAfterSettle.size()),
           dSettle <= 1000.0 ? "met" : "**not met**", results.m_nIdleSeconds, results.m_dJobWaitCpuMs,
           results.m_dJobWaitCpuMs <= 10.0 ? "met" : "**not met**");
    printf("- Peak working set (GetProcessMemoryInfo every 20 ms while the process runs, in untimed runs):"
           " tickward.exe median %.0f KiB (%.0f-%.0f) of the runs that reported a figure; of %d runs the call"
           " reported 0 in %d and failed in %d. sleep600.exe median %.0f KiB (of the runs with a figure).\n",
           Median(results.m_aPeakKiB), Min(results.m_aPeakKiB), Max(results.m_aPeakKiB), nRuns,
           results.m_nPeakZero, results.m_nPeakFailed, Median(results.m_aFloorPeakKiB));
}

BOOL PrepareWork()
{
    g_strBin = BinPath("");
    g_strWork = g_strBin + "bench\\";
    return InstallProgram(g_strBin + "receiver.exe", g_strWork + "tvapp.exe")
        && InstallProgram(g_strBin + "recorder.exe", g_strWork + "standin.exe");
}
}

int main(int argc, char* argv[])
{
    const int nRuns = argc > 1 ? atoi(argv[1]) : 10;
    const int nIdleSeconds = argc > 2 ? atoi(argv[2]) : 60;
    if (nRuns < 1 || nIdleSeconds < 1 || !QueryPerformanceFrequency(&g_frequency) || !PrepareWork())
    {
        fprintf(stderr, "benchdriver: cannot prepare (usage: benchdriver [RUNS [IDLE-SECONDS]])\n");
        return 2;
    }
    CResults results;
    results.m_nDeliveryStarts = results.m_nBurstStarts = results.m_nPeakFailed = results.m_nPeakZero = 0;
    results.m_nSlowBursts = results.m_nSlowBurstStarts = 0;
    results.m_dIdleProcessMs = 0.0;
    results.m_dWaitCpuMs = results.m_dJobWaitCpuMs = 0.0;
    results.m_nIdleSeconds = nIdleSeconds;

    ClearMailbox();
    if (!RunWithHeartbeat(nRuns, results))
        Fail("cannot start heartbeat.exe", 0);
    MeasureSlowStartBurst(nRuns < 3 ? nRuns : 3, results);
    if (!RunWithReceiver(nRuns, nIdleSeconds, results))
        Fail("the receiver did not start or stop as it should", 0);
    MeasurePowerWait(nRuns, nIdleSeconds, results);
    ClearMailbox();
    PrintResults(nRuns, results);
    return g_bSound ? 0 : 1;
}
