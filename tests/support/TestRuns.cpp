// TestRuns.cpp - tickward.exe runs and test folders, checked as they go.
#include "tests/support/TestRuns.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

CDebuggeeRun RunTickward(const std::string& strTail)
{
    CDebuggeeRun run;
    const std::string strCommand = TickwardCommand(strTail);
    EXPECT_TRUE(run.Run(strCommand)) << strCommand;
    return run;
}

std::string TestFolder(const char* pszPrefix)
{
    const std::string strFolder =
        BinPath(pszPrefix) + " " + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    CreateDirectoryA(strFolder.c_str(), NULL);
    return strFolder;
}
