// End-to-end tests: the real tickward.exe, started as a process, with its
// debugger output captured exactly.
#include "tests/support/TestRuns.h"

#include <gtest/gtest.h>

TEST(TickwardExe, EmptyCommandLineWritesNothingAndSucceeds)
{
    CDebuggeeRun run = RunTickward("");
    EXPECT_TRUE(run.m_outputs.empty());
    EXPECT_EQ(0u, run.m_dwExitCode);

    run = RunTickward(" \t ");
    EXPECT_TRUE(run.m_outputs.empty());
    EXPECT_EQ(0u, run.m_dwExitCode);
}

TEST(TickwardExe, PowerCommandWithoutCodeIsSilentAndUnusable)
{
    CDebuggeeRun run = RunTickward("-E");
    EXPECT_TRUE(run.m_outputs.empty());
    EXPECT_EQ(1u, run.m_dwExitCode);
}

TEST(TickwardExe, UnknownPowerCodesReportAnError)
{
    for (const char* pszTail : { "-E;7", "-E;x" })
    {
        CDebuggeeRun run = RunTickward(pszTail);
        ASSERT_EQ(1u, run.m_outputs.size()) << pszTail;
        EXPECT_EQ("\nError: Tickward: ExecuteCommand Error.\t", run.m_outputs[0]);
        EXPECT_EQ(1u, run.m_dwExitCode);
    }
}
