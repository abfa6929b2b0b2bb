// ScheduleTest.cpp - the record Tickward keeps of a task: what it holds,
// the next start it gives, and the Task Scheduler missing on old Windows.
#include "schedule/CScheduledTask.h"
#include "schedule/CTickwardTasks.h"

#include <gtest/gtest.h>

#include <stdio.h>

namespace
{
SYSTEMTIME At(WORD wYear, WORD wMonth, WORD wDay, WORD wHour, WORD wMinute)
{
    SYSTEMTIME time = { wYear, wMonth, 0, wDay, wHour, wMinute, 0, 0 };
    return time;
}

std::string NextStart(const CScheduledTask& task, const SYSTEMTIME& now)
{
    SYSTEMTIME next;
    if (!task.GetNextStart(now, next))
        return "none";
    char szNext[32];
    sprintf(szNext, "%04u-%02u-%02u %02u:%02u", next.wYear, next.wMonth, next.wDay, next.wHour, next.wMinute);
    return szNext;
}

// The Task Scheduler 2.0 class is not registered before Vista.
class CWindowsXpTasks : public CTickwardTasks
{
protected:
    virtual HRESULT CreateService(ITaskService** ppService)
    {
        *ppService = NULL;
        return REGDB_E_CLASSNOTREG;
    }
};
}

// 2026-12-10 is a Thursday; 2026-12-13 a Sunday.
TEST(ScheduledTask, NextStartFromTheRecord)
{
    const struct
    {
        const char* pszRecord;
        SYSTEMTIME now;
        const char* pszNext;
    } rows[] = {
        { "recording;once;2026-12-24T20:15:00;1.2;D:\\x.ts", At(2026, 12, 24, 20, 14), "2026-12-24 20:15" },
        { "recording;once;2026-12-24T20:15:00;1.2;D:\\x.ts", At(2026, 12, 24, 20, 15), "none" },
        { "standby;daily;2026-12-10T23:30:00;;", At(2026, 12, 10, 23, 45), "2026-12-11 23:30" },
        { "standby;daily;2026-12-10T23:30:00;;", At(2026, 12, 31, 23, 31), "2027-01-01 23:30" },
        { "standby;daily;2026-12-10T23:30:00;;", At(2026, 12, 9, 10, 0), "2026-12-10 23:30" },
        { "recording;weekly Mon,Thu;2026-12-10T00:05:00;1.2;x", At(2026, 12, 13, 23, 59), "2026-12-14 00:05" },
        { "recording;weekly Mon,Thu;2026-12-10T00:05:00;1.2;x", At(2026, 12, 10, 0, 5), "2026-12-14 00:05" },
        { "hibernate;weekly Sat,Sun;2026-12-12T20:15:00;;", At(2026, 12, 13, 21, 0), "2026-12-19 20:15" },
        { "", At(2026, 12, 10, 0, 0), "none" },
        { "recording;yearly;2026-12-10T00:05:00;1.2;x", At(2026, 12, 10, 0, 0), "none" },
    };
    for (const auto& row : rows)
    {
        CScheduledTask task;
        task.Parse("t", row.pszRecord);
        EXPECT_EQ(row.pszNext, NextStart(task, row.now)) << row.pszRecord;
    }
}

TEST(ScheduledTask, RecordHoldsKindTimesDeviceAndFile)
{
    CTaskDefinition definition;
    ASSERT_TRUE(definition.SetWeekly("Thu,Mon", "20:15", At(2026, 12, 10, 12, 0)));
    ASSERT_TRUE(definition.SetAction("C:\\Tickward\\tickward.exe",
                                     "\"C:\\TV\\tv.exe\";010307;P: _SEL;D: 5;Key: ;File: \"D:\\Rec\\a b.ts\";FM: 1;TO: 1;SO: 0;EO: 0"));
    CScheduledTask task;
    task.Describe("Tickward\\News", definition);
    EXPECT_EQ("recording;weekly Mon,Thu;2026-12-10T20:15:00;3.7;D:\\Rec\\a b.ts", std::string(task.Format()));

    CScheduledTask read;
    EXPECT_TRUE(read.Parse("Tickward\\News", "recording;daily;2026-12-10T20:15:00;3.7;D:\\a;b.ts"));
    EXPECT_EQ("D:\\a;b.ts", std::string(read.m_strFile)) << "the file is the rest of the record";
    EXPECT_EQ(7, read.m_nDeviceIndex);

    ASSERT_TRUE(definition.SetAction("C:\\Tickward\\tickward.exe", "-E;3"));
    task.Describe("Off", definition);
    EXPECT_EQ("shutdown;weekly Mon,Thu;2026-12-10T20:15:00;;", std::string(task.Format()));
    EXPECT_FALSE(read.Parse("Old", "")) << "an older Tickward kept only the name";
    EXPECT_EQ("unknown", std::string(read.GetKindText()));
}

TEST(ScheduledTask, WindowsWithoutXmlTasksIsToldApart)
{
    CWindowsXpTasks tasks;
    CTaskDefinition definition;
    ASSERT_EQ(CTaskDefinition::whenSet, definition.SetWhen("daily 23:30", At(2026, 12, 10, 12, 0)));
    char szSelf[MAX_PATH] = "";
    GetModuleFileNameA(NULL, szSelf, MAX_PATH);
    ASSERT_TRUE(definition.SetAction(szSelf, "-E;2"));
    EXPECT_EQ(CTickwardTasks::resultNoXmlTasks, tasks.Add("Tickward test\\xp", definition));
    EXPECT_EQ(CTickwardTasks::resultNoXmlTasks, tasks.Remove("Tickward test\\xp"));
}
