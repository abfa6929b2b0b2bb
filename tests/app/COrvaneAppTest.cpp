// Tests of command dispatch and the power actions, through the power seam.
#include "afx/AfxMessageBox.h"
#include "app/COrvaneApp.h"
#include "app/CPowerApi.h"
#include "app/CStartRecord.h"
#include "log/Log.h"
#include "recording/CRecording.h"
#include "tests/support/CHeartbeatRun.h"
#include "tests/support/CLocalAppData.h"
#include "tests/support/MailboxSupport.h"
#include "tests/support/TableNames.h"
#include "tests/support/TestRuns.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace
{
// Keeps the order of every call, the debugger lines included, in one list.
std::vector<std::string> g_calls;

void WINAPI RecordOutput(LPCSTR pszText)
{
    g_calls.push_back(std::string("output ") + pszText);
}

// When a test names a journal, what it held when the power request came.
std::string g_strJournalPath;
std::string g_strJournalAtRequest;

void NoteJournalAtRequest()
{
    if (!g_strJournalPath.empty())
        g_strJournalAtRequest = ReadFileText(g_strJournalPath);
}

class CRecordingPowerApi : public CPowerApi
{
public:
    DWORD m_dwPlatformId;
    ULONGLONG m_ullSleep;   // the machine sleeps this long right after a wait begins
    int m_nClockReads;
    explicit CRecordingPowerApi(DWORD dwPlatformId) : m_dwPlatformId(dwPlatformId), m_ullSleep(0), m_nClockReads(0) {}

    virtual BOOL GetSleepClocks(ULONGLONG& ullWithSleep, ULONGLONG& ullAwake)
    {
        ullWithSleep = m_nClockReads++ > 0 ? m_ullSleep : 0;
        ullAwake = 0;
        return TRUE;
    }

    virtual BOOL GetVersionEx(OSVERSIONINFOA* pInfo)
    {
        g_calls.push_back("GetVersionEx size=" + std::to_string(pInfo->dwOSVersionInfoSize));
        pInfo->dwPlatformId = m_dwPlatformId;
        return TRUE;
    }
    virtual BOOL OpenProcessToken(HANDLE hProcess, DWORD dwAccess, HANDLE* phToken)
    {
        g_calls.push_back("OpenProcessToken self=" + std::to_string(hProcess == GetCurrentProcess()) +
                          " access=" + std::to_string(dwAccess));
        *phToken = reinterpret_cast<HANDLE>(0x1234);
        return TRUE;
    }
    virtual BOOL LookupPrivilegeValue(LPCSTR pszSystem, LPCSTR pszName, LUID* pLuid)
    {
        g_calls.push_back(std::string("LookupPrivilegeValue system=") + (pszSystem ? pszSystem : "null") +
                          " name=" + pszName);
        pLuid->LowPart = 19;
        pLuid->HighPart = 0;
        return TRUE;
    }
    virtual BOOL AdjustTokenPrivileges(HANDLE hToken, BOOL bDisableAll, TOKEN_PRIVILEGES* pNewState,
                                       DWORD dwBufferLength, TOKEN_PRIVILEGES* pPrevious,
                                       DWORD* pdwReturnLength)
    {
        g_calls.push_back("AdjustTokenPrivileges token=" + std::to_string(hToken == reinterpret_cast<HANDLE>(0x1234)) +
                          " disableAll=" + std::to_string(bDisableAll) +
                          " count=" + std::to_string(pNewState->PrivilegeCount) +
                          " luid=" + std::to_string(pNewState->Privileges[0].Luid.LowPart) +
                          " attributes=" + std::to_string(pNewState->Privileges[0].Attributes) +
                          " length=" + std::to_string(dwBufferLength) +
                          " previous=" + std::to_string(pPrevious != NULL) +
                          " returnLength=" + std::to_string(pdwReturnLength != NULL));
        return TRUE;
    }
    virtual DWORD GetLastError()
    {
        g_calls.push_back("GetLastError");
        return 0;
    }
    virtual BOOL CloseHandle(HANDLE hObject)
    {
        g_calls.push_back("CloseHandle token=" + std::to_string(hObject == reinterpret_cast<HANDLE>(0x1234)));
        return TRUE;
    }
    virtual BOOL SetSystemPowerState(BOOL bSuspend, BOOL bForce)
    {
        g_calls.push_back("SetSystemPowerState suspend=" + std::to_string(bSuspend) +
                          " force=" + std::to_string(bForce));
        NoteJournalAtRequest();
        return TRUE;
    }
    virtual BOOL ExitWindowsEx(UINT uFlags, DWORD dwReason)
    {
        g_calls.push_back("ExitWindowsEx flags=" + std::to_string(uFlags) + " reason=" + std::to_string(dwReason));
        NoteJournalAtRequest();
        return TRUE;
    }
};

// Records where dispatch sends a command instead of carrying it out.
class CDispatchApp : public COrvaneApp
{
public:
    std::vector<std::string> m_routes;
    virtual void ExecuteCommand(int nCode)
    {
        m_routes.push_back("power " + std::to_string(nCode));
        COrvaneApp::ExecuteCommand(nCode);
    }
    virtual void StartCmdlineProcess(LPCSTR pszText, int nLength)
    {
        m_routes.push_back("timer " + std::string(pszText, nLength));
    }
};

class DispatchTest : public ::testing::Test
{
protected:
    CRecordingPowerApi m_power;
    CDispatchApp m_app;
    PFNDEBUGOUTPUT m_pfnOldSink;

    DispatchTest() : m_power(VER_PLATFORM_WIN32_NT), m_pfnOldSink(NULL) {}
    virtual void SetUp()
    {
        g_calls.clear();
        m_app.SetPowerApi(&m_power);
        m_pfnOldSink = SetDebugOutput(RecordOutput);
    }
    virtual void TearDown() { SetDebugOutput(m_pfnOldSink); }

    void Dispatch(const std::string& strText)
    {
        m_app.DispatchCmdLine(strText.c_str(), static_cast<int>(strText.size()));
    }
    std::vector<std::string> Run(const char* pszTail)
    {
        std::string strTail(pszTail);
        m_app.m_lpCmdLine = &strTail[0];
        EXPECT_FALSE(m_app.InitInstance());
        return m_app.m_routes;
    }
};

std::vector<std::string> List(std::initializer_list<const char*> items)
{
    return std::vector<std::string>(items.begin(), items.end());
}

// A power action on the NT family: its line, the shutdown privilege, then its request.
std::vector<std::string> NtPowerCalls(const char* pszAction, const char* pszRequest)
{
    return { std::string("output \n## ") + pszAction + " ##\t",
             "GetVersionEx size=148",
             "OpenProcessToken self=1 access=40",
             "LookupPrivilegeValue system=null name=SeShutdownPrivilege",
             "AdjustTokenPrivileges token=1 disableAll=0 count=1 luid=19 attributes=2 length=0 previous=0 returnLength=0",
             "GetLastError",
             "CloseHandle token=1",
             pszRequest };
}
}

TEST_F(DispatchTest, PowerCommandsPickTheirActionFromTheSecondToken)
{
    const char SHUTDOWN[] = "ExitWindowsEx flags=9 reason=0";
    const struct
    {
        const char* pszTail;
        const char* pszRoute;
        const char* pszAction;
        const char* pszRequest;
    } cases[] = {
        { "-E;3", "power 3", "SHUTDOWN", SHUTDOWN },
        { ";-E;;3", "power 3", "SHUTDOWN", SHUTDOWN },
        { "-E;3abc", "power 3", "SHUTDOWN", SHUTDOWN },
        { "-E; +2;ignored", "power 2", "STANDBY", "SetSystemPowerState suspend=1 force=0" },
        { "-E;4", "power 4", "HIBERNATE", "SetSystemPowerState suspend=0 force=0" },
    };
    for (const auto& c : cases)
    {
        g_calls.clear();
        m_app.m_routes.clear();
        EXPECT_EQ(List({ c.pszRoute }), Run(c.pszTail)) << c.pszTail;
        EXPECT_EQ(NtPowerCalls(c.pszAction, c.pszRequest), g_calls) << c.pszTail;
        EXPECT_EQ(0, m_app.ExitInstance()) << c.pszTail;
    }
}

TEST_F(DispatchTest, PowerCommandsLineIsInTheJournalBeforeItsRequest)
{
    // The machine may be gone once the request is made.
    CLocalAppData appData(BinPath("journal power"));
    g_strJournalPath = appData.JournalPath();
    Run("-E;3");
    g_strJournalPath.clear();
    EXPECT_NE(std::string::npos, g_strJournalAtRequest.find(" power -E;3 | shutdown requested | exit 0\r\n"))
        << g_strJournalAtRequest;
}

// Until released, a thread of its own holds the named mutex (none for
// NULL), as another process would: the table of recordings' lock as one
// that hangs holding it, or the delivery mutex as a delivery in progress.
class CMutexHolder
{
public:
    explicit CMutexHolder(const char* pszMutex) : m_hRelease(CreateEventA(NULL, TRUE, FALSE, NULL))
    {
        if (pszMutex == NULL)
            return;
        HANDLE hHeld = CreateEventA(NULL, TRUE, FALSE, NULL);
        m_holder = std::thread([this, hHeld, pszMutex] {
            HANDLE hMutex = CreateMutexA(NULL, TRUE, pszMutex);
            SetEvent(hHeld);
            WaitForSingleObject(m_hRelease, INFINITE);
            ReleaseMutex(hMutex);
            CloseHandle(hMutex);
        });
        WaitForSingleObject(hHeld, 10000);
        CloseHandle(hHeld);
    }
    void Release() { SetEvent(m_hRelease); }
    virtual ~CMutexHolder()
    {
        SetEvent(m_hRelease);
        if (m_holder.joinable())
            m_holder.join();
        CloseHandle(m_hRelease);
    }

private:
    HANDLE m_hRelease;
    std::thread m_holder;
};

// The example receiver at strExe with a job for device 1.7, once it has
// declared that job's recording (of ten minutes); NULL if it has not within 10 s.
HANDLE StartRecordingReceiver(const std::string& strExe, const CLocalAppData& appData)
{
    DeleteMailbox();
    const std::string strLog = appData.TickwardFolder() + "\\receiver-1-7.log";
    DeleteFileA(strLog.c_str());
    HANDLE hReceiver = StartProcess(Quoted(strExe) + " --record 600000 --pause 100 " +
                                    MailboxJob("010107", "C:\\Rec\\film.ts"));
    if (hReceiver != NULL && !WaitUntil([&] { return CountOf(ReadFileText(strLog), "receiver: recording") > 0; }, 10000, 10))
    {
        TerminateProcess(hReceiver, 1);
        CloseHandle(hReceiver);
        return NULL;
    }
    return hReceiver;
}

// A standby waits for the recordings declared, here or by the example
// receiver in a process of its own, until they end or their process dies,
// within PowerWaitLimit; past it, no request and exit 3. A table whose lock
// a hung process holds may hold a recording: it holds the standby as long.
// The other architecture's receiver (TICKWARD_OTHER_RECEIVER, which
// otherarch.sh sets) declares into the same table, read alike. A sleep
// while it waits (told by the clocks) ends the run without a request. Jobs
// on their way hold it as recordings do (the settle time after them cut to
// 1 s here), and so does a recording task due within PowerLeadTime.
TEST_F(DispatchTest, StandbyWaitsForDeclaredRecordingsWithinPowerWaitLimit)
{
    CLocalAppData appData(BinPath("journal recordings"));
    enum { none, here, receiver, hung, otherArch, sleeps, waitingJob, delivery, starting, dueTask };
    const struct
    {
        const char* pszLimit;
        int nDeclarer;
        BOOL bEnds;         // the recording ends (or its process is killed) after 500 ms
        int nExitCode;      // 0: the request was made
        const char* pszFacts;
    } cases[] = {
        { NULL, none, FALSE, 0, "| standby requested | exit 0" },
        { NULL, here, TRUE, 0, "recordings ended after 0 s, standby requested | exit 0" },
        { NULL, receiver, TRUE, 0, "recordings ended after 0 s, standby requested | exit 0" },
        { "1", here, FALSE, 3, "held by recording on device 1.7 (C:\\Rec\\film.ts, process " },
        { "0", here, FALSE, 0, "PowerWaitLimit 0: not waited, standby requested | exit 0" },
        { "text", none, FALSE, 0, "| PowerWaitLimit is no REG_DWORD: 21600 s taken, standby requested | exit 0" },
        { "2", hung, FALSE, 3, "waits for the locked table of recordings, held by the locked table of recordings after 2 s | exit 3" },
        { NULL, otherArch, TRUE, 0, "waits for recording on device 1.7 (C:\\Rec\\film.ts, process " },
        { "2", sleeps, FALSE, 4, "the machine slept 3600 s while this run waited: no request | exit 4" },
        { NULL, waitingJob, TRUE, 0, "waits for a job in mailbox slot 1 for a live receiving application, all taken, "
                                     "nothing declared after " },
        { NULL, delivery, TRUE, 0, "waits for a delivery in progress, all taken, nothing declared after " },
        { "2", starting, FALSE, 3, "held by the application Tickward started for counter 1.7 (process " },
        { "2", dueTask, FALSE, 3, "held by the recording task \"Tickward test\\due\" due at " },
    };
    const char TASKS_KEY[] = "SOFTWARE\\Tickward\\Tasks";
    const char* pszOtherReceiver = getenv("TICKWARD_OTHER_RECEIVER");
    for (const auto& c : cases)
    {
        if (c.nDeclarer == otherArch && pszOtherReceiver == NULL)
            continue;
        SCOPED_TRACE(c.pszFacts);
        SetPowerWaitLimit(c.pszLimit);
        CRecording recording;
        CMutexHolder holder(c.nDeclarer == hung ? "MUTEX_TickwardRecordings" : c.nDeclarer == delivery ? DELIVERY_MUTEX : NULL);
        std::unique_ptr<CHeartbeatRun> pHeartbeat(c.nDeclarer == waitingJob ? new CHeartbeatRun(1, 7) : NULL);
        HANDLE hReceiver = NULL;
        if (c.nDeclarer == waitingJob)
            WriteSlot(1, MailboxJob("010107"));
        if (c.nDeclarer == starting)
            CStartRecord(1, 7).Write(GetCurrentProcessId());
        if (c.nDeclarer == dueTask)
        {
            // Every day, five minutes from now: within the default quarter of an hour.
            SYSTEMTIME now, soon;
            GetLocalTime(&now);
            FILETIME file;
            SystemTimeToFileTime(&now, &file);
            ULARGE_INTEGER ticks = { { file.dwLowDateTime, file.dwHighDateTime } };
            ticks.QuadPart += 5 * 60 * 10000000ULL;
            file.dwLowDateTime = ticks.LowPart;
            file.dwHighDateTime = ticks.HighPart;
            FileTimeToSystemTime(&file, &soon);
            char szRecord[80];
            sprintf(szRecord, "recording;daily;2026-01-01T%02u:%02u:00;1.7;C:\\Rec\\due.ts", soon.wHour, soon.wMinute);
            SHSetValueA(HKEY_CURRENT_USER, TASKS_KEY, "Tickward test\\due", REG_SZ, szRecord, static_cast<DWORD>(strlen(szRecord) + 1));
        }
        ASSERT_TRUE((c.nDeclarer != here && c.nDeclarer != sleeps) || recording.Begin(1, 7, "C:\\Rec\\film.ts"));
        m_power.m_ullSleep = c.nDeclarer == sleeps ? 3600000 : 0;
        m_power.m_nClockReads = 0;
        if (c.nDeclarer == receiver || c.nDeclarer == otherArch)
        {
            hReceiver = StartRecordingReceiver(c.nDeclarer == receiver ? BinPath("receiver.exe") : pszOtherReceiver,
                                               appData);
            ASSERT_TRUE(hReceiver != NULL);
        }
        std::thread ender([&] {
            Sleep(c.nDeclarer == delivery ? 1500 : 500);    // past the first look's wait for the mutex
            if (c.bEnds && hReceiver != NULL)
                TerminateProcess(hReceiver, 1);
            else if (c.bEnds && c.nDeclarer == waitingJob)
                WriteSlot(1, "xxx");    // taken
            else if (c.bEnds && c.nDeclarer == delivery)
                holder.Release();
            else if (c.bEnds)
                recording.End();
        });
        g_calls.clear();
        const size_t nJournalBefore = ReadFileText(appData.JournalPath()).size();
        CDispatchApp app;
        app.SetPowerApi(&m_power);
        app.m_dwSettleTime = 1000;
        std::string strTail("-E;2");
        app.m_lpCmdLine = &strTail[0];
        app.InitInstance();
        const int nExitCode = app.ExitInstance();
        ender.join();
        EXPECT_EQ(c.nExitCode, nExitCode);
        EXPECT_EQ(c.nExitCode == 0 ? 1 : 0, std::count(g_calls.begin(), g_calls.end(), "SetSystemPowerState suspend=1 force=0"));
        EXPECT_NE(std::string::npos, ReadFileText(appData.JournalPath()).find(c.pszFacts, nJournalBefore));
        if (hReceiver != NULL)
            CloseHandle(hReceiver);
        CStartRecord::ForgetAll();
        SHDeleteKeyA(HKEY_CURRENT_USER, TASKS_KEY);
        DeleteMailbox();
    }
    SetPowerWaitLimit(NULL);
    DeleteMailbox();
}

TEST_F(DispatchTest, OtherTextsGoUnchangedToTimerDelivery)
{
    EXPECT_EQ(List({ "timer -e;3" }), Run("-e;3"));
    m_app.m_routes.clear();
    EXPECT_EQ(List({ "timer -E ;3" }), Run("-E ;3"));
    m_app.m_routes.clear();
    EXPECT_EQ(List({ "timer ;;;" }), Run(";;;"));
    m_app.m_routes.clear();
    EXPECT_EQ(List({ "timer -E3" }), Run("-E3"));
    m_app.m_routes.clear();
    // A soft hyphen has no sorting weight, but it is no "-E".
    EXPECT_EQ(List({ "timer \xAD-E;3" }), Run("\xAD-E;3"));
    m_app.m_routes.clear();
    EXPECT_EQ(List({ "timer -E\xAD;7" }), Run("-E\xAD;7"));
    m_app.m_routes.clear();

    // The whole text goes on, also beyond the 259 characters looked at.
    const std::string strLong = "\"C:\\tv.exe\";010102;" + std::string(1000, 'k');
    Dispatch(strLong);
    EXPECT_EQ(List({ ("timer " + strLong).c_str() }), m_app.m_routes);
    EXPECT_TRUE(g_calls.empty());
}

TEST_F(DispatchTest, PowerTokenIsFoundWithinTheFirst259Characters)
{
    Dispatch(std::string(256, ';') + "-E;3");     // the code lies past character 259
    EXPECT_EQ(List({}), m_app.m_routes);
    EXPECT_EQ(1, m_app.ExitInstance());
    Dispatch(std::string(255, ';') + "-E;3");     // just fits
    EXPECT_EQ(List({ "power 3" }), m_app.m_routes);
}

TEST_F(DispatchTest, FaultyPowerCommandsReportAndExitWithCodeOne)
{
    EXPECT_EQ(List({}), Run("-E"));
    EXPECT_TRUE(g_calls.empty());               // "Invalid Argument" is silent
    EXPECT_EQ(1, m_app.ExitInstance());

    for (const char* pszTail : { "-E;7", "-E;x", "-E;;;-1" })
    {
        g_calls.clear();
        CDispatchApp app;
        app.SetPowerApi(&m_power);
        std::string strTail(pszTail);
        app.m_lpCmdLine = &strTail[0];
        EXPECT_FALSE(app.InitInstance());
        EXPECT_EQ(List({ "output \nError: Tickward: ExecuteCommand Error.\t" }), g_calls) << pszTail;
        EXPECT_EQ(1, app.ExitInstance()) << pszTail;
    }

    m_app.DispatchCmdLine(NULL, 5);
    m_app.DispatchCmdLine("x", 0);
    EXPECT_TRUE(g_calls.size() == 1);           // "Invalid CmdLine" is silent too
}

TEST_F(DispatchTest, EmptyTailDoesNothing)
{
    EXPECT_EQ(List({}), Run(""));
    EXPECT_TRUE(g_calls.empty());
    EXPECT_EQ(0, m_app.ExitInstance());
}

TEST_F(DispatchTest, TheOlderFamilyHasNoPrivilegeAndNoHibernation)
{
    CRecordingPowerApi older(VER_PLATFORM_WIN32_WINDOWS);
    m_app.SetPowerApi(&older);
    m_app.DoStandby();
    m_app.DoShutdown();
    m_app.DoHibernate();
    EXPECT_EQ(List({ "output \n## STANDBY ##\t", "GetVersionEx size=148", "SetSystemPowerState suspend=1 force=0",
                     "output \n## SHUTDOWN ##\t", "GetVersionEx size=148", "ExitWindowsEx flags=1 reason=0",
                     "output \n## HIBERNATE ##\t", "GetVersionEx size=148", "SetSystemPowerState suspend=1 force=0" }),
              g_calls);
    EXPECT_FALSE(m_app.IsWindowsNT());
}

TEST(COrvaneApp, RealVersionCallReportsTheNtFamilyUnderWine)
{
    COrvaneApp app;
    EXPECT_TRUE(app.IsWindowsNT());
}

namespace
{
// The delivery mutex of Tickward's runs, as the test knows it.

// A message box that nobody closes until the test does.
HANDLE g_hBoxShown = NULL;
HANDLE g_hBoxClosed = NULL;
std::string g_strBoxText;

int WaitingMessageBox(LPCSTR pszText, UINT /*nType*/)
{
    g_strBoxText = pszText;
    SetEvent(g_hBoxShown);
    WaitForSingleObject(g_hBoxClosed, 60000);
    return IDOK;
}

// One delivery on a thread of its own, as one tickward.exe makes it.
struct SThreadRun
{
    std::string strJob;
    DWORD dwStartWindow;
    DWORD dwLockTimeout;
};

DWORD WINAPI DeliverOnThread(LPVOID pvRun)
{
    const SThreadRun& run = *static_cast<const SThreadRun*>(pvRun);
    COrvaneApp app;
    app.m_dwStartWindow = run.dwStartWindow;
    app.m_dwDeliveryLockTimeout = run.dwLockTimeout;
    app.StartCmdlineProcess(run.strJob.c_str(), static_cast<int>(run.strJob.size()));
    return static_cast<DWORD>(app.GetExitCode());
}

// Starts each run dwStagger ms after the one before and returns their exit codes.
std::vector<DWORD> DeliverOnThreads(std::vector<SThreadRun>& runs, DWORD dwStagger)
{
    std::vector<HANDLE> threads;
    for (SThreadRun& run : runs)
    {
        threads.push_back(CreateThread(NULL, 0, DeliverOnThread, &run, 0, NULL));
        Sleep(dwStagger);
    }
    std::vector<DWORD> exitCodes;
    for (HANDLE hThread : threads)
    {
        exitCodes.push_back(hThread != NULL ? ExitCodeAfterEnd(hThread) : 99);
        if (hThread != NULL)
            CloseHandle(hThread);
    }
    return exitCodes;
}

// A start record whose tick count the test moves.
class CTickedStartRecord : public CStartRecord
{
public:
    CTickedStartRecord() : CStartRecord(5, 9), m_ullNow(0) {}
    ULONGLONG m_ullNow;

protected:
    virtual ULONGLONG GetTicks() const { return m_ullNow; }
};
}

TEST(COrvaneApp, ProductMessageBoxHoldsNoDeliveryMutex)
{
    const struct
    {
        const char* pszProduct;
        const char* pszBox;
    } cases[] = {
        { "_XYZ", "CInstanceCheck::Init() Unknow Product!" },
        { "NAR2", "CInstanceCheck::Init() Hier fehlt noch was!" },
    };
    g_hBoxShown = CreateEventA(NULL, FALSE, FALSE, NULL);
    g_hBoxClosed = CreateEventA(NULL, TRUE, FALSE, NULL);
    const AFX_MESSAGEBOX_HOOK pfnOldHook = AfxSetMessageBoxHook(WaitingMessageBox);
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszProduct);
        ResetEvent(g_hBoxClosed);
        CDebugOutputRecorder output;
        SThreadRun run = { TimerJob("C:\\TV\\tvapp.exe", "010102", c.pszProduct), COrvaneApp::START_WINDOW,
                           COrvaneApp::DELIVERY_LOCK_TIMEOUT };
        HANDLE hThread = CreateThread(NULL, 0, DeliverOnThread, &run, 0, NULL);
        ASSERT_TRUE(hThread != NULL);
        const BOOL bShown = WaitForSingleObject(g_hBoxShown, 30000) == WAIT_OBJECT_0;
        // While the box is up, another delivery takes the mutex at once.
        HANDLE hMutex = CreateMutexA(NULL, FALSE, DELIVERY_MUTEX);
        ASSERT_TRUE(hMutex != NULL);
        const DWORD dwWait = WaitForSingleObject(hMutex, 0);
        if (dwWait == WAIT_OBJECT_0)
            ReleaseMutex(hMutex);
        CloseHandle(hMutex);
        SetEvent(g_hBoxClosed);
        EXPECT_EQ(1u, ExitCodeAfterEnd(hThread));
        CloseHandle(hThread);
        EXPECT_TRUE(bShown);
        EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), dwWait);
        EXPECT_EQ(c.pszBox, g_strBoxText);
        EXPECT_EQ(std::vector<std::string>(
                      1, "\nCSharedMemory::Delete () m_hMapping = NULL   SharedMemory not Create?"),
                  output.Texts());
    }
    AfxSetMessageBoxHook(pfnOldHook);
    CloseHandle(g_hBoxShown);
    CloseHandle(g_hBoxClosed);
}

// An application that shows no heartbeat within its start-up window gets
// the job on its command line all the same, as every dead one does.
TEST(COrvaneApp, ApplicationSilentThroughItsStartWindowGetsTheJobOnItsCommandLine)
{
    DeleteMailbox();
    const std::string strApp = TestFolder("window") + "\\tvapp.exe";
    ASSERT_TRUE(InstallProgram(BinPath("recorder.exe"), strApp));
    HANDLE hRecorderStop = CreateEventA(NULL, TRUE, FALSE, "TickwardRecorderStop");
    SetEnvironmentVariableA("TICKWARD_RECORDER_BEAT", "600000");   // alive, but no heartbeat
    for (const char* pszFile : { "C:\\Rec\\first.ts", "C:\\Rec\\second.ts" })
    {
        const std::string strJob = TimerJob(strApp, "010102", "_SEL", pszFile);
        COrvaneApp app;
        app.m_dwStartWindow = 2000;
        app.StartCmdlineProcess(strJob.c_str(), static_cast<int>(strJob.size()));
        EXPECT_EQ(0, app.GetExitCode()) << pszFile;
    }
    SetEnvironmentVariableA("TICKWARD_RECORDER_BEAT", NULL);
    EXPECT_EQ(2u, CountOf(WaitForFileText(strApp + ".log", "second.ts"), "\n"));
    SetEvent(hRecorderStop);
    CloseHandle(hRecorderStop);
    DeleteMailbox();
}

// After a wake-up the due runs all wait for one slowly starting copy, and
// its window ends for all of them at once: they start one more copy between
// them, which the others wait for, and the first copy's heartbeat serves all.
TEST(COrvaneApp, RunsWaitingAtTheWindowsEndStartOneCopyBetweenThem)
{
    DeleteMailbox();
    const std::string strApp = TestFolder("windowend") + "\\tvapp.exe";
    ASSERT_TRUE(InstallProgram(BinPath("recorder.exe"), strApp));
    HANDLE hRecorderStop = CreateEventA(NULL, TRUE, FALSE, "TickwardRecorderStop");
    SetEnvironmentVariableA("TICKWARD_RECORDER_BEAT", "5000");     // well past the window
    std::vector<SThreadRun> runs;
    for (const char* pszFile : { "C:\\Rec\\first.ts", "C:\\Rec\\second.ts", "C:\\Rec\\third.ts" })
        runs.push_back({ TimerJob(strApp, "010102", "_SEL", pszFile), 2500, COrvaneApp::DELIVERY_LOCK_TIMEOUT });
    EXPECT_EQ(std::vector<DWORD>(3, 0), DeliverOnThreads(runs, 0));
    SetEnvironmentVariableA("TICKWARD_RECORDER_BEAT", NULL);
    Sleep(1000);    // time for a started recorder to write its line
    EXPECT_EQ(2u, CountOf(ReadFileText(strApp + ".log"), "\n"));
    SetEvent(hRecorderStop);
    CloseHandle(hRecorderStop);
    DeleteMailbox();
}

// Runs that waited for the delivery mutex in vain (a run hangs holding it)
// go ahead together; none sets the table back under another's readings, so
// the live application is not taken for dead and started again.
TEST(COrvaneApp, RunsThatWaitedInVainForTheMutexLeaveTheTableAlone)
{
    DeleteMailbox();
    const std::string strApp = TestFolder("unserialised") + "\\tvapp.exe";
    ASSERT_TRUE(InstallProgram(BinPath("recorder.exe"), strApp));
    CHeartbeatRun heartbeat(1, 2);
    ASSERT_TRUE(heartbeat.m_bStarted);
    HANDLE hHung = CreateMutexA(NULL, TRUE, DELIVERY_MUTEX);
    ASSERT_TRUE(hHung != NULL);
    std::vector<SThreadRun> runs;
    for (const char* pszFile : { "C:\\Rec\\first.ts", "C:\\Rec\\second.ts" })
        runs.push_back({ TimerJob(strApp, "010102", "_SEL", pszFile), COrvaneApp::START_WINDOW, 200 });
    // The second clears the table (if it did) just before the first's second reading.
    EXPECT_EQ(std::vector<DWORD>(2, 0), DeliverOnThreads(runs, 590));
    ReleaseMutex(hHung);
    CloseHandle(hHung);
    Sleep(1000);    // time for a started recorder to write its line
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((strApp + ".log").c_str()));
    EXPECT_EQ(2u, ReadAllSlots().size());
    DeleteMailbox();
}

// The start-up window is measured on the tick count, which a clock set
// back or forward does not move.
TEST(CStartRecord, WindowRunsOnTheTickCountAlone)
{
    CTickedStartRecord record;
    record.m_ullNow = 1000000;
    ASSERT_TRUE(record.Write(GetCurrentProcessId()));
    record.m_ullNow += 59999;
    EXPECT_TRUE(record.IsStarting(60000));
    record.m_ullNow += 1;
    EXPECT_FALSE(record.IsStarting(60000));
    SHDeleteValueA(HKEY_CURRENT_USER, "SOFTWARE\\Tickward\\Starting", "5.9");
}
