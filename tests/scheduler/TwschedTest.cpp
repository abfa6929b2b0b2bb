// TwschedTest.cpp - twsched writes a task definition that carries a timer
// command exactly, refuses what it cannot schedule, and creates and removes
// tasks through schtasks (as far as Wine's schtasks goes: it keeps the
// settings of a task but not its trigger and action, and has no /query, so
// the registered task is looked at through the Task Scheduler interface).
#include "tests/scheduler/CTaskXmlReader.h"
#include "tests/support/TestSupport.h"
#include "tools/dbgrun/CDebuggeeRun.h"
#include "schedule/CTaskDefinition.h"

#include <gtest/gtest.h>
#include <taskschd.h>

namespace
{
const char TICKWARD_PATH[] = "C:\\Program Files\\Tickward\\tickward.exe";
// Every character that XML must escape, blanks and ";" among double quotes.
const char TIMER_COMMAND[] = "\"C:\\TV & Co\\receiver.exe\";010102;P: _SEL;D: 5;Key: <a'b>;"
                             "File: \"D:\\Rec\\Tom & Jerry's \"best\".ts\";FM: 1;TO: 1;SO: 0;EO: 0";
const char TIMER_COMMAND_ESCAPED[] =
    "<Arguments>&quot;C:\\TV &amp; Co\\receiver.exe&quot;;010102;P: _SEL;D: 5;Key: &lt;a&apos;b&gt;;"
    "File: &quot;D:\\Rec\\Tom &amp; Jerry&apos;s &quot;best&quot;.ts&quot;;FM: 1;TO: 1;SO: 0;EO: 0</Arguments>";
const char TASK_FOLDER[] = "Tickward test";
const char TASK_NAME[] = "twsched record";

DWORD RunTwsched(const std::string& strArguments)
{
    CDebuggeeRun run;
    if (!run.Run(Quoted(BinPath("twsched.exe")) + " " + strArguments))
        return 0xDEADBEEF;
    return run.m_dwExitCode;
}

// The file's UTF-16 text (after its byte-order mark) in the ANSI code page.
std::string Utf16FileText(const std::string& strData)
{
    if (strData.size() < 2 || strData.compare(0, 2, "\xFF\xFE") != 0)
        return std::string();
    const LPCWSTR pszText = reinterpret_cast<LPCWSTR>(strData.data() + 2);
    const int nChars = static_cast<int>((strData.size() - 2) / 2);
    const int nBytes = WideCharToMultiByte(CP_ACP, 0, pszText, nChars, NULL, 0, NULL, NULL);
    std::string strText(static_cast<size_t>(nBytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, pszText, nChars, &strText[0], nBytes, NULL, NULL);
    return strText;
}

std::string TempXmlPath(const char* pszName)
{
    char szFolder[MAX_PATH] = { 0 };
    GetTempPathA(MAX_PATH, szFolder);
    return std::string(szFolder) + pszName;
}

// The registered task as the Task Scheduler interface sees it, or NULL.
IRegisteredTask* FindTask(ITaskService* pService)
{
    ITaskFolder* pFolder = NULL;
    IRegisteredTask* pTask = NULL;
    BSTR bstrFolder = SysAllocString(L"\\Tickward test");
    BSTR bstrName = SysAllocString(L"twsched record");
    if (SUCCEEDED(pService->GetFolder(bstrFolder, &pFolder)))
    {
        if (FAILED(pFolder->GetTask(bstrName, &pTask)))
            pTask = NULL;
        pFolder->Release();
    }
    SysFreeString(bstrName);
    SysFreeString(bstrFolder);
    return pTask;
}

// A setting of a registered task, through its definition.
VARIANT_BOOL GetWakeToRun(IRegisteredTask* pTask)
{
    VARIANT_BOOL bWake = VARIANT_FALSE;
    ITaskDefinition* pDefinition = NULL;
    if (SUCCEEDED(pTask->get_Definition(&pDefinition)))
    {
        ITaskSettings* pSettings = NULL;
        if (SUCCEEDED(pDefinition->get_Settings(&pSettings)))
        {
            pSettings->get_WakeToRun(&bWake);
            pSettings->Release();
        }
        pDefinition->Release();
    }
    return bWake;
}

class CTaskService
{
public:
    CTaskService() : m_pService(NULL)
    {
        CoInitializeEx(NULL, COINIT_MULTITHREADED);
        VARIANT empty;
        VariantInit(&empty);
        if (SUCCEEDED(CoCreateInstance(CLSID_TaskScheduler, NULL, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                       reinterpret_cast<void**>(&m_pService)))
            && FAILED(m_pService->Connect(empty, empty, empty, empty)))
        {
            m_pService->Release();
            m_pService = NULL;
        }
    }
    virtual ~CTaskService()
    {
        if (m_pService != NULL)
            m_pService->Release();
        CoUninitialize();
    }
    ITaskService* m_pService;
};
}

TEST(Twsched, TaskDefinitionChecksDateTimeAndCommand)
{
    CTaskDefinition task;
    EXPECT_TRUE(task.SetStart("2028-02-29", "00:00"));
    EXPECT_EQ("2028-02-29T00:00:00", task.m_strStart);
    EXPECT_FALSE(task.SetStart("2027-02-29", "20:15"));
    EXPECT_FALSE(task.SetStart("2026-04-31", "20:15"));
    EXPECT_FALSE(task.SetStart("2099-12-24", "24:00"));
    EXPECT_FALSE(task.SetStart("2099-12-24", "8:15"));
    EXPECT_FALSE(task.SetStart("24.12.2026", "20:15"));
    EXPECT_EQ("2028-02-29T00:00:00", task.m_strStart) << "a refused start leaves the last good one";

    EXPECT_FALSE(task.SetAction("C:\\\"odd\\tickward.exe", "-E;2"));
    EXPECT_FALSE(task.SetAction("", "-E;2"));
    EXPECT_FALSE(task.SetAction(TICKWARD_PATH, "-E;2\r\n-E;3"));

    // Recurring starts: the next such time after now (a Wednesday, 20:15).
    SYSTEMTIME now = { 2026, 12, 3, 9, 20, 15, 0, 0 };
    EXPECT_TRUE(task.SetDaily("20:15", now));
    EXPECT_EQ("2026-12-10T20:15:00", task.m_strStart) << "not this very minute";
    EXPECT_TRUE(task.SetDaily("20:16", now));
    EXPECT_EQ("2026-12-09T20:16:00", task.m_strStart);
    EXPECT_TRUE(task.SetWeekly("Mon,Thu", "06:00", now));
    EXPECT_EQ("2026-12-10T06:00:00", task.m_strStart);
    EXPECT_TRUE(task.SetWeekly("Wed", "20:00", now));
    EXPECT_EQ("2026-12-16T20:00:00", task.m_strStart);
    EXPECT_TRUE(task.SetWeekly("Sat,Sun", "23:59", now));
    EXPECT_EQ("2026-12-12T23:59:00", task.m_strStart);
    for (const char* pszDays : { "Mon,", "Mon,Mon", "mon", "Mon;Thu", "" })
        EXPECT_FALSE(task.SetWeekly(pszDays, "06:00", now)) << pszDays;
    EXPECT_FALSE(task.IsStartPast(now)) << "a recurring task";
    ASSERT_TRUE(task.SetStart("2026-12-09", "20:14"));
    EXPECT_TRUE(task.IsStartPast(now));
    ASSERT_TRUE(task.SetStart("2026-12-09", "20:16"));
    EXPECT_FALSE(task.IsStartPast(now));

    EXPECT_TRUE(CTaskDefinition::IsPowerCommand("-E;3"));
    EXPECT_TRUE(CTaskDefinition::IsPowerCommand(";;-E;;2"));
    EXPECT_FALSE(CTaskDefinition::IsPowerCommand("-E ;3"));
    EXPECT_FALSE(CTaskDefinition::IsPowerCommand("-e;3"));
    EXPECT_FALSE(CTaskDefinition::IsPowerCommand(TIMER_COMMAND));
}

TEST(Twsched, WritesTheTimerCommandExactly)
{
    const std::string strFile = TempXmlPath("twsched write test.xml");
    DeleteFileA(strFile.c_str());
    ASSERT_EQ(0u, RunTwsched("write " + Quoted(strFile) + " 2099-12-24 20:15 " + Quoted(TICKWARD_PATH) + "  "
                             + TIMER_COMMAND));

    const std::string strText = Utf16FileText(ReadFileText(strFile));
    EXPECT_NE(std::string::npos, strText.find(TIMER_COMMAND_ESCAPED)) << strText;

    CTaskXmlReader task;
    ASSERT_TRUE(task.ReadFile(strFile));
    EXPECT_EQ(TIMER_COMMAND, task.Get("Task/Actions/Exec/Arguments"));
    EXPECT_EQ(Quoted(TICKWARD_PATH), task.Get("Task/Actions/Exec/Command"));
    EXPECT_EQ("2099-12-24T20:15:00", task.Get("Task/Triggers/TimeTrigger/StartBoundary"));

    // The same settings as the example recording job.
    CTaskXmlReader example;
    ASSERT_TRUE(example.ReadFile(BinPath("scheduler\\record.xml")));
    for (std::map<std::string, std::string>::const_iterator it = example.m_values.begin();
         it != example.m_values.end(); ++it)
    {
        if (it->first.compare(0, 14, "Task/Settings/") == 0 || it->first.compare(0, 16, "Task/Principals/") == 0)
        {
            EXPECT_EQ(it->second, task.Get(it->first)) << it->first;
        }
    }

    ASSERT_EQ(0u, RunTwsched("write " + Quoted(strFile) + " 2099-12-24 23:30 " + Quoted(TICKWARD_PATH) + " -E;3"));
    ASSERT_TRUE(task.ReadFile(strFile));
    EXPECT_EQ("-E;3", task.Get("Task/Actions/Exec/Arguments"));
    EXPECT_EQ("false", task.Get("Task/Settings/StartWhenAvailable"));
    EXPECT_EQ("PT7H", task.Get("Task/Settings/ExecutionTimeLimit"));   // above PowerWaitLimit's six hours

    // A nightly standby and a weekly series: calendar triggers.
    ASSERT_EQ(0u, RunTwsched("write " + Quoted(strFile) + " daily 23:30 " + Quoted(TICKWARD_PATH) + " -E;2"));
    ASSERT_TRUE(task.ReadFile(strFile));
    EXPECT_EQ("1", task.Get("Task/Triggers/CalendarTrigger/ScheduleByDay/DaysInterval"));
    EXPECT_EQ("<none>", task.Get("Task/Triggers/TimeTrigger/StartBoundary"));
    EXPECT_EQ("23:30:00", task.Get("Task/Triggers/CalendarTrigger/StartBoundary").substr(11));
    ASSERT_EQ(0u, RunTwsched("write " + Quoted(strFile) + " weekly Mon,Thu 20:15 " + Quoted(TICKWARD_PATH) + " " +
                             TIMER_COMMAND));
    ASSERT_TRUE(task.ReadFile(strFile));
    EXPECT_EQ("1", task.Get("Task/Triggers/CalendarTrigger/ScheduleByWeek/WeeksInterval"));
    EXPECT_EQ("", task.Get("Task/Triggers/CalendarTrigger/ScheduleByWeek/DaysOfWeek/Monday"));
    EXPECT_EQ("", task.Get("Task/Triggers/CalendarTrigger/ScheduleByWeek/DaysOfWeek/Thursday"));
    EXPECT_EQ("<none>", task.Get("Task/Triggers/CalendarTrigger/ScheduleByWeek/DaysOfWeek/Friday"));
    DeleteFileA(strFile.c_str());
}

TEST(Twsched, RefusesWhatItCannotSchedule)
{
    const std::string strFile = TempXmlPath("twsched refused.xml");
    DeleteFileA(strFile.c_str());
    const std::string strTickward = Quoted(TICKWARD_PATH);
    EXPECT_EQ(2u, RunTwsched(""));
    EXPECT_EQ(2u, RunTwsched("schedule x"));
    EXPECT_EQ(2u, RunTwsched("write " + Quoted(strFile) + " 2099-12-24 20:15 " + strTickward));
    EXPECT_EQ(2u, RunTwsched("write " + Quoted(strFile) + " 2099-12-32 20:15 " + strTickward + " -E;2"));
    EXPECT_EQ(2u, RunTwsched("add \"a\"b\" 2099-12-24 20:15 " + strTickward + " -E;2"));
    EXPECT_EQ(2u, RunTwsched("remove"));
    // What would fail only at night: what Tickward itself refuses, a start
    // that has passed, a Tickward that is not there.
    const std::string strWrite = "write " + Quoted(strFile) + " 2099-12-24 20:15 " + strTickward + " ";
    const std::string strTimer =
        "\"C:\\TV\\tvapp.exe\";010102;P: _SEL;D: 5;Key: ;File: \"C:\\r.ts\";FM: 1;TO: 1;SO: 0;EO: 0";
    const std::string refused[] = {
        "-E;7", "-E",
        std::string(strTimer).replace(strTimer.find("_SEL"), 4, "_XYZ"),
        std::string(strTimer).replace(strTimer.find("010102"), 6, "0101"),
        std::string(strTimer).replace(strTimer.find("010102"), 6, "01010A"),
        std::string(strTimer).replace(strTimer.find("r.ts"), 4, std::string(1000, 'r')) };
    for (const std::string& strCommand : refused)
        EXPECT_EQ(2u, RunTwsched(strWrite + strCommand)) << strCommand;
    EXPECT_EQ(0u, RunTwsched(strWrite + strTimer)) << "the same job, usable";
    DeleteFileA(strFile.c_str());
    EXPECT_EQ(2u, RunTwsched("write " + Quoted(strFile) + " 2020-12-24 20:15 " + strTickward + " -E;2")) << "past";
    EXPECT_EQ(2u, RunTwsched("write " + Quoted(strFile) + " weekly Mon,Xyz 20:15 " + strTickward + " -E;2"));
    EXPECT_EQ(2u, RunTwsched("add Missing 2099-12-24 20:15 " + strTickward + " -E;2")) << "no such Tickward here";
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(strFile.c_str())) << "nothing written";
    EXPECT_EQ(3u, RunTwsched("write \"C:\\no such folder\\x.xml\" 2099-12-24 20:15 " + strTickward + " -E;2"));
}

TEST(Twsched, CreatesAndRemovesATaskThroughSchtasks)
{
    const std::string strName = Quoted(std::string(TASK_FOLDER) + "\\" + TASK_NAME);
    CTaskService service;
    ASSERT_TRUE(service.m_pService != NULL);
    RunTwsched("remove " + strName);    // left over from an interrupted run

    ASSERT_EQ(0u, RunTwsched("add " + strName + " 2099-12-24 20:15 " + Quoted(BinPath("tickward.exe")) + " " +
                             TIMER_COMMAND));
    IRegisteredTask* pTask = FindTask(service.m_pService);
    ASSERT_TRUE(pTask != NULL) << "registered";
    EXPECT_EQ(VARIANT_TRUE, GetWakeToRun(pTask));
    pTask->Release();

    std::string strOutput;
    EXPECT_EQ(1u, RunForOutput(Quoted(BinPath("twsched.exe")) + " add " + strName + " 2099-12-24 20:16 " +
                               Quoted(BinPath("tickward.exe")) + " -E;2", strOutput))
        << "a second task of the same name";
    EXPECT_EQ("twsched: a task named \"Tickward test\\twsched record\" exists already: remove it first "
              "(twsched remove) or choose another name\r\n", strOutput);

    EXPECT_EQ(0u, RunTwsched("remove " + strName));
    pTask = FindTask(service.m_pService);
    EXPECT_TRUE(pTask == NULL) << "removed";
    if (pTask != NULL)
        pTask->Release();
    EXPECT_EQ(1u, RunTwsched("remove " + strName)) << "nothing left to remove";
}

// list shows a task with its next start; one removed by hand in the Task
// Scheduler is shown so once, and taken off the list.
TEST(Twsched, ListShowsEachTaskAndFindsOneRemovedByHand)
{
    const std::string strName = Quoted(std::string(TASK_FOLDER) + "\\" + TASK_NAME);
    const std::string strList = Quoted(BinPath("twsched.exe")) + " list";
    CTaskService service;
    ASSERT_TRUE(service.m_pService != NULL);
    RunTwsched("remove " + strName);
    ASSERT_EQ(0u, RunTwsched("add " + strName + " weekly Sat 20:15 " + Quoted(BinPath("tickward.exe")) +
                             " \"C:\\TV\\tv.exe\";010102;P: _SEL;D: 5;Key: ;File: \"D:\\Rec\\News.ts\";FM: 1;TO: 1;SO: 0;EO: 0"));
    const std::string strLine = "\"Tickward test\\twsched record\": recording, next start ";
    std::string strOutput;
    EXPECT_EQ(0u, RunForOutput(strList, strOutput));
    const size_t nLine = strOutput.find(strLine);
    ASSERT_NE(std::string::npos, nLine) << strOutput;
    const size_t nTime = nLine + strLine.size() + 10;
    EXPECT_EQ(" 20:15 (weekly Sat), wakes the machine, device 1.2, file D:\\Rec\\News.ts",
              strOutput.substr(nTime, strOutput.find("\r\n", nTime) - nTime));

    IRegisteredTask* pTask = FindTask(service.m_pService);
    ASSERT_TRUE(pTask != NULL);
    pTask->Release();
    ITaskFolder* pFolder = NULL;
    BSTR bstrFolder = SysAllocString(L"\\Tickward test");
    BSTR bstrName = SysAllocString(L"twsched record");
    ASSERT_TRUE(SUCCEEDED(service.m_pService->GetFolder(bstrFolder, &pFolder)));
    EXPECT_TRUE(SUCCEEDED(pFolder->DeleteTask(bstrName, 0))) << "removed by hand";
    pFolder->Release();
    SysFreeString(bstrName);
    SysFreeString(bstrFolder);
    EXPECT_EQ(0u, RunForOutput(strList, strOutput));
    EXPECT_NE(std::string::npos, strOutput.find("(weekly Sat), removed in the Task Scheduler, device 1.2, file D:\\Rec\\News.ts: taken off the list")) << strOutput;
    EXPECT_EQ(0u, RunForOutput(strList, strOutput));
    EXPECT_EQ(std::string::npos, strOutput.find(strLine)) << strOutput;
}
