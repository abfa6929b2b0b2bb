// TestRuns.h - what tests share that checks with gtest's assertions as it
// goes (tw_testsupport): a run of the real tickward.exe under the debugger,
// and a folder of the running test's own.
#ifndef TESTS_TESTRUNS_H
#define TESTS_TESTRUNS_H

#include "tools/dbgrun/CDebuggeeRun.h"

#include <string>

// Runs tickward.exe with strTail after its name under the debugger, with
// every debugger-output text and the exit code kept; a run that does not
// end fails the calling test.
CDebuggeeRun RunTickward(const std::string& strTail);

// A fresh folder beside the test programs, named pszPrefix and the running
// test's name (with a blank between them, as paths of users have).
std::string TestFolder(const char* pszPrefix);

#endif // TESTS_TESTRUNS_H
