// ExampleTasksTest.cpp - the example task definitions in scheduler/ are
// well-formed, in the form schtasks reads, and hold the settings an
// unattended Tickward job needs.
#include "tests/scheduler/CTaskXmlReader.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <stdio.h>

namespace
{
std::string ExamplePath(const char* pszName)
{
    return BinPath((std::string("scheduler\\") + pszName).c_str());
}

// The first bytes of the file as they are on disk.
std::string FileStart(const std::string& strPath, size_t nBytes)
{
    std::string strStart(nBytes, '\0');
    FILE* pFile = fopen(strPath.c_str(), "rb");
    if (pFile == NULL)
        return std::string();
    strStart.resize(fread(&strStart[0], 1, nBytes, pFile));
    fclose(pFile);
    return strStart;
}
}

// Checks what every task needs, and hands back the reader for the rest.
void ExpectUnattendedTask(const char* pszName, const char* pszStartLate, CTaskXmlReader& task,
                          const char* pszTrigger = "TimeTrigger")
{
    SCOPED_TRACE(pszName);
    const std::string strPath = ExamplePath(pszName);
    EXPECT_EQ(std::string("\xFF\xFE<\0", 4), FileStart(strPath, 4)) << "UTF-16 with a byte-order mark";
    ASSERT_TRUE(task.ReadFile(strPath)) << "well-formed XML";

    EXPECT_EQ("1.2", task.Get("Task@version"));
    EXPECT_EQ("http://schemas.microsoft.com/windows/2004/02/mit/task", task.Get("Task@xmlns"));
    EXPECT_NE("<none>", task.Get(std::string("Task/Triggers/") + pszTrigger + "/StartBoundary"));
    EXPECT_EQ("InteractiveToken", task.Get("Task/Principals/Principal/LogonType"));
    EXPECT_EQ("<none>", task.Get("Task/Principals/Principal/UserId")) << "belongs to whoever creates it";
    EXPECT_EQ("true", task.Get("Task/Settings/WakeToRun"));
    EXPECT_EQ(pszStartLate, task.Get("Task/Settings/StartWhenAvailable"));
    EXPECT_EQ("false", task.Get("Task/Settings/DisallowStartIfOnBatteries"));
    EXPECT_EQ("false", task.Get("Task/Settings/StopIfGoingOnBatteries"));
    EXPECT_EQ("Parallel", task.Get("Task/Settings/MultipleInstancesPolicy"));
    // A power command may wait hours for a declared recording.
    EXPECT_EQ(strcmp(pszStartLate, "false") == 0 ? "PT7H" : "PT5M", task.Get("Task/Settings/ExecutionTimeLimit"));
    EXPECT_EQ("4", task.Get("Task/Settings/Priority"));
    EXPECT_EQ("\"C:\\Program Files\\Tickward\\tickward.exe\"", task.Get("Task/Actions/Exec/Command"));
}

TEST(ExampleTasks, HoldTheSettingsOfAnUnattendedJob)
{
    CTaskXmlReader record;
    ExpectUnattendedTask("record.xml", "true", record);
    EXPECT_EQ("\"C:\\Program Files\\Tickward\\receiver.exe\";010102;P: _SEL;D: 5;Key: news;"
              "File: \"D:\\Recordings\\news.ts\";FM: 1;TO: 1;SO: 0;EO: 0",
              record.Get("Task/Actions/Exec/Arguments"));

    // A missed power command is not run late: it would act on a machine
    // that someone has just started to use.
    CTaskXmlReader standby, shutdown, hibernate;
    ExpectUnattendedTask("standby.xml", "false", standby);
    EXPECT_EQ("-E;2", standby.Get("Task/Actions/Exec/Arguments"));
    ExpectUnattendedTask("shutdown.xml", "false", shutdown);
    EXPECT_EQ("-E;3", shutdown.Get("Task/Actions/Exec/Arguments"));
    ExpectUnattendedTask("hibernate.xml", "false", hibernate);
    EXPECT_EQ("-E;4", hibernate.Get("Task/Actions/Exec/Arguments"));

    // Recurring: a nightly standby, a weekly series.
    CTaskXmlReader nightly, series;
    ExpectUnattendedTask("nightly-standby.xml", "false", nightly, "CalendarTrigger");
    EXPECT_EQ("1", nightly.Get("Task/Triggers/CalendarTrigger/ScheduleByDay/DaysInterval"));
    ExpectUnattendedTask("weekly-series.xml", "true", series, "CalendarTrigger");
    EXPECT_EQ("", series.Get("Task/Triggers/CalendarTrigger/ScheduleByWeek/DaysOfWeek/Thursday"));
    EXPECT_EQ(record.Get("Task/Actions/Exec/Arguments"), series.Get("Task/Actions/Exec/Arguments"));
}

TEST(ExampleTasks, ReaderRefusesMalformedXml)
{
    CTaskXmlReader reader;
    EXPECT_TRUE(reader.ReadText(L"<Task><Settings/></Task>"));
    EXPECT_FALSE(reader.ReadText(L"<Task><Settings></Task>"));
    EXPECT_FALSE(reader.ReadText(L"<Task><Settings>"));
}
