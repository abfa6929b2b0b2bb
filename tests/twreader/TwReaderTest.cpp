// twreader.dll through its C interface, in this process: what it exports,
// the results of calls a plain application never makes, and the command-
// line job. And (TwConsumer, run by the consumer test only) the plain-C
// application built against the installed SDK, twconsumer, started by the
// real tickward.exe.
#include "tests/support/MailboxSupport.h"
#include "tests/support/TestRuns.h"
#include "tests/support/TestSupport.h"
#include "twreader/twreader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace
{
// The names in the export directory of the loaded module.
std::vector<std::string> ExportedNames(HMODULE hModule)
{
    const BYTE* pBase = reinterpret_cast<const BYTE*>(hModule);
    const IMAGE_NT_HEADERS* pNt =
        reinterpret_cast<const IMAGE_NT_HEADERS*>(pBase + reinterpret_cast<const IMAGE_DOS_HEADER*>(pBase)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& entry = pNt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    const IMAGE_EXPORT_DIRECTORY* pExports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(pBase + entry.VirtualAddress);
    const DWORD* pdwNames = reinterpret_cast<const DWORD*>(pBase + pExports->AddressOfNames);
    std::vector<std::string> astrNames;
    for (DWORD i = 0; i < pExports->NumberOfNames; ++i)
        astrNames.push_back(reinterpret_cast<const char*>(pBase + pdwNames[i]));
    EXPECT_EQ(pExports->NumberOfFunctions, pExports->NumberOfNames);   // no export by ordinal only
    return astrNames;
}

struct SStopInCallback
{
    HTWDEVICE hDevice;
    TWRESULT nResult;
    HANDLE hCalled;
};

void CALLBACK StopOwnDevice(const TWJOB* /*pJob*/, void* pvContext)
{
    SStopInCallback* pStop = static_cast<SStopInCallback*>(pvContext);
    pStop->nResult = TwStopDevice(pStop->hDevice);
    SetEvent(pStop->hCalled);
}

void CALLBACK Ignore(const TWJOB*, void*)
{
}

// Tells the test it runs, then sends the job's file to the window in the
// context as its text.
struct SSendInCallback
{
    HWND hWnd;
    HANDLE hCalled;
};

void CALLBACK SendFileToWindow(const TWJOB* pJob, void* pvContext)
{
    SSendInCallback* pSend = static_cast<SSendInCallback*>(pvContext);
    SetEvent(pSend->hCalled);
    SendMessageA(pSend->hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(pJob->pszFile));
}

// A window of this thread's that only takes messages.
HWND CreateMessageWindow()
{
    return CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
}

void CALLBACK SignalEvent(const TWJOB*, void* pvEvent)
{
    SetEvent(static_cast<HANDLE>(pvEvent));
}

// The jobs a callback got, by file, one line each.
struct SJobsSeen
{
    std::string strFiles;
    HANDLE hJob;
};

void CALLBACK NoteFile(const TWJOB* pJob, void* pvSeen)
{
    SJobsSeen* pSeen = static_cast<SJobsSeen*>(pvSeen);
    pSeen->strFiles += std::string(pJob->pszFile) + "\n";
    SetEvent(pSeen->hJob);
}

// An empty job of the size a caller gives.
TWJOB SizedJob(DWORD cbSize = sizeof(TWJOB))
{
    TWJOB job;
    ZeroMemory(&job, sizeof(job));
    job.cbSize = cbSize;
    return job;
}

// Reads the process's command line, or another text, as an application may.
void ReadJob(const std::string& strCommandLine)
{
    TWJOB job = SizedJob();
    EXPECT_EQ(TW_OK, TwReadCommandLineJob(strCommandLine.c_str(), &job)) << strCommandLine;
    TwReleaseJob(&job);
}
}

TEST(TwReader, ExportsItsFunctionsUnderTheirPlainNamesAndNothingElse)
{
    const HMODULE hModule = GetModuleHandleA("twreader.dll");
    ASSERT_TRUE(hModule != NULL);
    std::vector<std::string> astrNames = ExportedNames(hModule);
    std::sort(astrNames.begin(), astrNames.end());
    const std::vector<std::string> astrExpected = { "TwBeginRecording", "TwEndRecording", "TwGetJob",
                                                     "TwGetVersion", "TwListTasks", "TwReadCommandLineJob",
                                                     "TwReleaseJob", "TwRemoveTask", "TwSchedulePower",
                                                     "TwScheduleRecording", "TwServeDevice",
                                                     "TwServeDeviceQueued", "TwStopDevice" };
    EXPECT_EQ(astrExpected, astrNames);
    for (const std::string& strName : astrExpected)
        EXPECT_TRUE(GetProcAddress(hModule, strName.c_str()) != NULL) << strName;
}

TEST(TwReader, StopInsideTheCallbackIsRefusedAndTheDeviceStopsFromOutside)
{
    DeleteMailbox();
    WriteSlot(1, MailboxJob("010104"));
    SStopInCallback stop = { NULL, TW_OK, CreateEventA(NULL, TRUE, FALSE, NULL) };
    ASSERT_EQ(TW_OK, TwServeDevice(1, 4, StopOwnDevice, &stop, &stop.hDevice));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(stop.hCalled, 10000));
    EXPECT_EQ(TW_E_INCALLBACK, stop.nResult);
    EXPECT_EQ(TW_OK, TwStopDevice(stop.hDevice));
    EXPECT_EQ(TW_E_INVALIDARG, TwStopDevice(stop.hDevice));
    CloseHandle(stop.hCalled);
    DeleteMailbox();
}

TEST(TwReader, RefusesADeviceItServesAlreadyOrCannotServe)
{
    HTWDEVICE hDevice = NULL;
    HTWDEVICE hOther = NULL;
    ASSERT_EQ(TW_OK, TwServeDevice(1, 5, Ignore, NULL, &hDevice));
    EXPECT_EQ(TW_E_SERVED, TwServeDevice(1, 5, Ignore, NULL, &hOther));
    EXPECT_EQ(TW_E_INVALIDARG, TwServeDevice(1, 10, Ignore, NULL, &hOther));
    EXPECT_EQ(TW_E_INVALIDARG, TwServeDevice(256, 5, Ignore, NULL, &hOther));
    EXPECT_EQ(TW_E_INVALIDARG, TwServeDevice(1, 6, NULL, NULL, &hOther));
    // Another process's claim of 1/6, under the name every serving side makes.
    HANDLE hClaim = CreateMutexA(NULL, FALSE, "MUTEX_TickwardServing_1.6");
    EXPECT_EQ(TW_E_SERVEDELSEWHERE, TwServeDevice(1, 6, Ignore, NULL, &hOther));
    CloseHandle(hClaim);
    EXPECT_TRUE(hOther == NULL);
    EXPECT_EQ(TW_OK, TwStopDevice(hDevice));
}

// A job read while its device is served is only shown: the device's next
// reader takes a new job of the same text.
TEST(TwReader, JobReadWhileItsDeviceIsServedDropsNoLaterJob)
{
    DeleteMailbox();
    HANDLE hJob = CreateEventA(NULL, FALSE, FALSE, NULL);
    HTWDEVICE hDevice = NULL;
    ASSERT_EQ(TW_OK, TwServeDevice(1, 7, SignalEvent, hJob, &hDevice));
    TWJOB job = SizedJob();
    ASSERT_EQ(TW_OK, TwReadCommandLineJob(("tv.exe" + MailboxJob("010107")).c_str(), &job));
    TwReleaseJob(&job);
    EXPECT_EQ(TW_OK, TwStopDevice(hDevice));
    WriteSlot(1, MailboxJob("010107"));
    ASSERT_EQ(TW_OK, TwServeDevice(1, 7, SignalEvent, hJob, &hDevice));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hJob, 10000));
    EXPECT_EQ(TW_OK, TwStopDevice(hDevice));
    CloseHandle(hJob);
    DeleteMailbox();
}

TEST(TwReader, ReadsTheJobAfterTheProgramNameUntilItIsReleased)
{
    const struct
    {
        const char* pszCommandLine;
        TWRESULT nResult;
    } aCases[] = {
        { "\"C:\\Program Files\\My TV\\tv.exe\"  010103;P: _SEL;D: 5;Key: news;File: \"C:\\Rec\\a b.ts\" ;FM: 1;"
          "TO: 2;SO: 3;EO: 4", TW_OK },
        { "tv.exe", TW_E_NOJOB },
        { "\"C:\\My TV\\tv.exe\"   ", TW_E_NOJOB },
        { "tv.exe 010103;P: _SEL;D: five", TW_E_BADJOB },
    };
    for (const auto& test : aCases)
    {
        SCOPED_TRACE(test.pszCommandLine);
        TWJOB job = SizedJob();
        ASSERT_EQ(test.nResult, TwReadCommandLineJob(test.pszCommandLine, &job));
        if (test.nResult != TW_OK)
        {
            EXPECT_TRUE(job.pszDevices == NULL && job.pvReserved == NULL);
            continue;
        }
        EXPECT_STREQ("010103", job.pszDevices);
        EXPECT_EQ(1, job.nDeviceType);
        EXPECT_EQ(3, job.nDeviceIndex);
        EXPECT_STREQ("news", job.pszKey);
        EXPECT_STREQ("C:\\Rec\\a b.ts", job.pszFile);
        EXPECT_EQ(4, job.nEO);
        EXPECT_EQ(TW_OK, TwReleaseJob(&job));
        EXPECT_TRUE(job.pszFile == NULL && job.pvReserved == NULL);
        EXPECT_EQ(TW_OK, TwReleaseJob(&job));
    }
    TWJOB unsized = SizedJob(sizeof(TWJOB) - 1);
    EXPECT_EQ(TW_E_INVALIDARG, TwReadCommandLineJob(aCases[0].pszCommandLine, &unsized));
}

// A callback that sends a message to the thread stopping its device gets
// its answer: the stop delivers it while it waits.
TEST(TwReader, StopAnswersACallbackThatSendsToTheStoppingThread)
{
    DeleteMailbox();
    WriteSlot(1, MailboxJob("010101", "C:\\Rec\\sent.ts"));
    SSendInCallback send = { CreateMessageWindow(), CreateEventA(NULL, TRUE, FALSE, NULL) };
    HTWDEVICE hDevice = NULL;
    ASSERT_EQ(TW_OK, TwServeDevice(1, 1, SendFileToWindow, &send, &hDevice));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(send.hCalled, 10000));
    EXPECT_EQ(TW_OK, TwStopDevice(hDevice));
    char szText[MAX_PATH] = "";
    GetWindowTextA(send.hWnd, szText, MAX_PATH);
    EXPECT_STREQ("C:\\Rec\\sent.ts", szText);
    DestroyWindow(send.hWnd);
    CloseHandle(send.hCalled);
    DeleteMailbox();
}

// Served without a callback, a device keeps each job until the application
// takes it, and tells it by event and message; the stop puts back the jobs
// it did not take.
TEST(TwReader, QueuedDeviceKeepsJobsUntilTakenAndItsStopPutsTheRestBack)
{
    DeleteMailbox();
    WriteSlot(1, MailboxJob("010109", "C:\\Rec\\taken.ts"));
    const HANDLE hReady = CreateEventA(NULL, FALSE, FALSE, NULL);
    const HWND hWnd = CreateMessageWindow();
    HTWDEVICE hDevice = NULL;
    ASSERT_EQ(TW_OK, TwServeDeviceQueued(1, 9, hReady, hWnd, WM_APP, &hDevice));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hReady, 10000));
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, hWnd, WM_APP, WM_APP, PM_REMOVE));
    EXPECT_EQ(reinterpret_cast<LPARAM>(hDevice), msg.lParam);
    TWJOB job = SizedJob();
    ASSERT_EQ(TW_OK, TwGetJob(hDevice, &job));
    EXPECT_STREQ("C:\\Rec\\taken.ts", job.pszFile);
    EXPECT_EQ(TW_OK, TwReleaseJob(&job));
    EXPECT_EQ(TW_E_NOJOB, TwGetJob(hDevice, &job));
    // Posted in the reader's pause after the first: the stop marks them, the
    // reader queues both, and both go back.
    WriteSlot(2, MailboxJob("010109", "C:\\Rec\\left.ts"));
    WriteSlot(3, MailboxJob("010109", "C:\\Rec\\left too.ts"));
    EXPECT_EQ(TW_OK, TwStopDevice(hDevice));
    const std::map<int, std::string> slots = ReadAllSlots();
    ASSERT_EQ(2u, slots.size());
    EXPECT_NE(std::string::npos, slots.begin()->second.find("File: \"C:\\Rec\\left.ts\""))
        << slots.begin()->second;
    EXPECT_NE(std::string::npos, slots.rbegin()->second.find("File: \"C:\\Rec\\left too.ts\""))
        << slots.rbegin()->second;
    DestroyWindow(hWnd);
    CloseHandle(hReady);
    DeleteMailbox();
}

// The entries of this process in the table of declared recordings, as
// "<type>.<index> <reason>": 160 bytes each, the process id first, the
// device at 24 and 28, the reason at 32.
std::vector<std::string> DeclaredHere()
{
    std::vector<std::string> astrDeclared;
    HANDLE hMapping = OpenFileMappingA(FILE_MAP_READ, FALSE, "FILE_TickwardRecordings");
    const BYTE* pTable = hMapping != NULL ? static_cast<const BYTE*>(MapViewOfFile(hMapping, FILE_MAP_READ, 0, 0, 0))
                                          : NULL;
    for (int i = 0; pTable != NULL && i < 32; ++i)
    {
        const BYTE* pEntry = pTable + i * 160;
        if (*reinterpret_cast<const DWORD*>(pEntry) == GetCurrentProcessId())
            astrDeclared.push_back(std::to_string(*reinterpret_cast<const LONG*>(pEntry + 24)) + "." +
                                   std::to_string(*reinterpret_cast<const LONG*>(pEntry + 28)) + " " +
                                   reinterpret_cast<const char*>(pEntry + 32));
    }
    if (pTable != NULL)
        UnmapViewOfFile(pTable);
    if (hMapping != NULL)
        CloseHandle(hMapping);
    return astrDeclared;
}

// A recording declared on a served device is in the table from its begin
// to its end; its handle goes with the end.
TEST(TwReader, RecordingIsDeclaredFromItsBeginToItsEnd)
{
    HTWDEVICE hDevice = NULL;
    HTWRECORDING hRecording = NULL;
    EXPECT_EQ(TW_E_INVALIDARG, TwBeginRecording(NULL, "x", &hRecording));
    ASSERT_EQ(TW_OK, TwServeDevice(1, 6, Ignore, NULL, &hDevice));
    ASSERT_EQ(TW_OK, TwBeginRecording(hDevice, "C:\\Rec\\dll.ts", &hRecording));
    EXPECT_EQ(std::vector<std::string>{ "1.6 C:\\Rec\\dll.ts" }, DeclaredHere());
    EXPECT_EQ(TW_OK, TwEndRecording(hRecording));
    EXPECT_EQ(std::vector<std::string>{}, DeclaredHere());
    EXPECT_EQ(TW_E_INVALIDARG, TwEndRecording(hRecording));
    EXPECT_EQ(TW_OK, TwStopDevice(hDevice));
}

// Started with a job, an application serves its device before or after it
// reads the command-line job, or reads another text too: the DLL learns the
// start job from the process's own command line, so its mailbox copy is
// dropped in every order, and the job behind it comes without a pause.
// Each order runs in a child: this program again, with the job as its
// command line, running the disabled test below.
TEST(TwReader, StartJobIsDroppedOnceInEveryOrder)
{
    char szSelf[MAX_PATH] = "";
    GetModuleFileNameA(NULL, szSelf, MAX_PATH);
    SetEnvironmentVariableA("GTEST_FILTER", "TwReaderChild.*");
    SetEnvironmentVariableA("GTEST_ALSO_RUN_DISABLED_TESTS", "1");
    const std::string strStartJob = MailboxJob("010108", "C:\\Rec\\start.ts");
    for (const char* pszOrder : { "serve read", "read serve", "read other serve" })
    {
        SCOPED_TRACE(pszOrder);
        DeleteMailbox();
        WriteSlot(1, strStartJob);
        WriteSlot(2, MailboxJob("010108", "C:\\Rec\\next.ts"));
        SetEnvironmentVariableA("TICKWARD_TWREADER_ORDER", pszOrder);
        std::string strOutput;
        EXPECT_EQ(0u, RunForOutput(Quoted(szSelf) + strStartJob, strOutput)) << strOutput;
    }
    SetEnvironmentVariableA("TICKWARD_TWREADER_ORDER", NULL);
    SetEnvironmentVariableA("GTEST_ALSO_RUN_DISABLED_TESTS", NULL);
    SetEnvironmentVariableA("GTEST_FILTER", NULL);
    DeleteMailbox();
}

TEST(TwReaderChild, DISABLED_ServesAndReadsInTheOrderItIsTold)
{
    char szOrder[64] = "";
    ASSERT_NE(0u, GetEnvironmentVariableA("TICKWARD_TWREADER_ORDER", szOrder, sizeof(szOrder)));
    SJobsSeen seen = { std::string(), CreateEventA(NULL, FALSE, FALSE, NULL) };
    HTWDEVICE hDevice = NULL;
    std::istringstream steps(szOrder);
    for (std::string strStep; steps >> strStep;)
    {
        if (strStep == "serve")
            ASSERT_EQ(TW_OK, TwServeDevice(1, 8, NoteFile, &seen, &hDevice));
        else if (strStep == "read")
            ReadJob(GetCommandLineA());
        else
            ReadJob("tv.exe" + MailboxJob("010108", "C:\\Rec\\other.ts"));
    }
    // The pause after a job is 10 s: a dropped copy must not cost one.
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(seen.hJob, 5000));
    EXPECT_EQ(TW_OK, TwStopDevice(hDevice));
    EXPECT_EQ("C:\\Rec\\next.ts\n", seen.strFiles);
    CloseHandle(seen.hJob);
}

// TICKWARD_TWCONSUMER names twconsumer.exe, with twreader.dll beside it.
// Started by Tickward with a job for its first tuner (type 1, index 2), it
// serves both tuners; Tickward delivers a job for the second (index 3)
// through the mailbox; then it is asked to stop. Its log shows each job
// once: the start job's mailbox copy is dropped.
TEST(TwConsumer, ServesTwoTunersAndTakesEachJobOnce)
{
    char szConsumer[MAX_PATH] = "";
    ASSERT_NE(0u, GetEnvironmentVariableA("TICKWARD_TWCONSUMER", szConsumer, MAX_PATH))
        << "run by tests/release/consumer.sh";
    const std::string strLog = std::string(szConsumer) + ".log";
    DeleteMailbox();
    DeleteFileA(strLog.c_str());
    const std::string strFields = ";P: _SEL;D: 5;Key: news;File: \"C:\\Rec\\at ten.ts\";FM: 1;TO: 2;SO: 3;EO: 4";
    EXPECT_EQ(0u, RunTickward(Quoted(szConsumer) + ";010102" + strFields).m_dwExitCode);
    WaitForFileText(strLog, "tuner 2: serving", 30000);
    EXPECT_EQ(0u, RunTickward(Quoted(szConsumer) + ";010103" + strFields).m_dwExitCode);
    WaitForFileText(strLog, "job from tuner 2", 30000);
    std::string strOutput;
    EXPECT_EQ(0u, RunForOutput(Quoted(szConsumer) + " --stop", strOutput));
    const std::string strFieldsShown = " P=\"_SEL\" D=5 Key=\"news\" File=\"C:\\Rec\\at ten.ts\" FM=1 TO=2 SO=3 EO=4\r\n";
    EXPECT_EQ(std::string("twreader " TICKWARD_VERSION "\r\n"
                          "job from the command line: devices=\"010102\" type=1 index=2") + strFieldsShown
                  + "tuner 1: serving device type 1, index 2: 0\r\n"
                    "tuner 2: serving device type 1, index 3: 0\r\n"
                    "job from tuner 2: devices=\"010103\" type=1 index=3" + strFieldsShown
                  + "tuner 1: stopped: 0\r\n"
                    "tuner 2: stopped: 0\r\n",
              WaitForFileText(strLog, "tuner 2: stopped: 0\r\n", 60000));
    DeleteMailbox();
}

// Through the real Task Scheduler: what would fail at night is refused with
// its own code and makes nothing; a task is listed with its next start,
// device and file, until it is removed.
TEST(TwReader, SchedulesListsAndRemovesATask)
{
    const char NAME[] = "Tickward test\\dll recording";
    const char JOB[] = "\"C:\\TV\\tv.exe\";010102;P: _SEL;D: 5;Key: ;File: \"D:\\Rec\\news.ts\";FM: 1;TO: 1;SO: 0;EO: 0";
    const std::string strTickward = BinPath("tickward.exe");
    const char* pszTickward = strTickward.c_str();
    TwRemoveTask(NAME);
    const struct
    {
        const char* pszWhen;
        const char* pszTickward;
        const char* pszJob;
        TWRESULT nResult;
    } refused[] = {
        { "2099-12-24 20:15", pszTickward, "\"C:\\TV\\tv.exe\";0101", TW_E_BADJOB },
        { "2099-12-24 20:15", pszTickward, "-E;2", TW_E_BADJOB },
        { "2020-12-24 20:15", pszTickward, JOB, TW_E_PAST },
        { "2099-12-24  20:15", pszTickward, JOB, TW_E_BADWHEN },
        { "weekly Mon,Xyz 20:15", pszTickward, JOB, TW_E_BADWHEN },
        { "2099-12-24 20:15", "C:\\no such folder\\tickward.exe", JOB, TW_E_NOTICKWARD },
    };
    for (const auto& row : refused)
        EXPECT_EQ(row.nResult, TwScheduleRecording(NAME, row.pszWhen, row.pszTickward, row.pszJob)) << row.pszWhen;
    EXPECT_EQ(TW_E_INVALIDARG, TwSchedulePower(NAME, "daily 23:30", pszTickward, 5));
    EXPECT_EQ(TW_E_NOTASK, TwRemoveTask(NAME)) << "nothing was made";

    ASSERT_EQ(TW_OK, TwScheduleRecording(NAME, "2099-12-24 20:15", pszTickward, JOB));
    EXPECT_EQ(TW_E_TASKEXISTS, TwSchedulePower(NAME, "daily 23:30", pszTickward, 2));
    DWORD nTasks = 0;
    ASSERT_EQ(TW_OK, TwListTasks(NULL, 0, &nTasks));
    std::vector<TWTASK> aTasks(nTasks);
    ASSERT_LT(0u, nTasks);
    aTasks[0].cbSize = sizeof(TWTASK);
    ASSERT_EQ(TW_OK, TwListTasks(&aTasks[0], nTasks, &nTasks));
    const TWTASK* pTask = NULL;
    for (const TWTASK& task : aTasks)
        pTask = std::string(task.szName) == NAME ? &task : pTask;
    ASSERT_TRUE(pTask != NULL);
    EXPECT_EQ(TW_TASK_RECORDING, pTask->nKind);
    const SYSTEMTIME& next = pTask->stNextStart;
    EXPECT_EQ("2099-12-24 20:15 once", std::to_string(next.wYear) + "-" + std::to_string(next.wMonth) + "-" +
                                           std::to_string(next.wDay) + " " + std::to_string(next.wHour) + ":" +
                                           std::to_string(next.wMinute) + " " + pTask->szRepeat);
    EXPECT_EQ("1.2 D:\\Rec\\news.ts", std::to_string(pTask->nDeviceType) + "." + std::to_string(pTask->nDeviceIndex) +
                                        " " + pTask->szFile);
    EXPECT_TRUE(pTask->bChecked && pTask->bEnabled && pTask->bWakes);

    EXPECT_EQ(TW_OK, TwRemoveTask(NAME));
    EXPECT_EQ(TW_E_NOTASK, TwRemoveTask(NAME));
    DWORD nLeft = 0;
    EXPECT_EQ(TW_OK, TwListTasks(NULL, 0, &nLeft));
    EXPECT_EQ(nTasks - 1, nLeft);
}
