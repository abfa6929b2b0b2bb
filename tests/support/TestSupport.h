// TestSupport.h - what many tests share: where the project's programs are,
// processes and files, and recorders that take the place of the debugger
// output and of message boxes inside a test process. Nothing here uses
// gtest, so that the benchmark links it too (tw_testsupport_core).
#ifndef TESTS_TESTSUPPORT_H
#define TESTS_TESTSUPPORT_H

#include <windows.h>

#include <string>
#include <vector>

// Full path of a program built beside the test executables.
std::string BinPath(const char* pszProgram);

// Quotes a path for a command line.
std::string Quoted(const std::string& strPath);

// The command line that runs the built tickward.exe with strTail after it.
std::string TickwardCommand(const std::string& strTail);

// Copies the program strProgram to strPath, into a folder made for it when
// missing, with no log (strPath + ".log") left from an earlier run; FALSE
// when it cannot be copied. The recorder (recorder.exe) stands in for a
// receiving application: started, it writes its command line into its log.
BOOL InstallProgram(const std::string& strProgram, const std::string& strPath);

// The lines of a text, each with what precedes its line feed (a carriage
// return included).
std::vector<std::string> Lines(const std::string& strText);
// Tickward's PowerWaitLimit as an operator sets it: NULL none, "text" a
// REG_SZ, else that many seconds.
void SetPowerWaitLimit(const char* pszLimit);
// How often strPart occurs in strText, overlapping occurrences included.
size_t CountOf(const std::string& strText, const std::string& strPart);

// A file's bytes past dwOffset (by default all of them); empty when it
// cannot be read.
std::string ReadFileText(const std::string& strPath, DWORD dwOffset = 0);

// Waits until a file written by another process holds strPart (by default:
// any complete line), for at most dwTimeout ms, and returns its text.
std::string WaitForFileText(const std::string& strPath, const std::string& strPart = "\n",
                            DWORD dwTimeout = 5000);

// Polls bDone() every dwPoll ms until it holds, for at most dwTimeout ms
// (a bound for a run that hangs, not a measurement); TRUE when it held.
template <class TDone>
BOOL WaitUntil(TDone bDone, DWORD dwTimeout, DWORD dwPoll = 20)
{
    const DWORD dwStart = GetTickCount();
    while (!bDone())
    {
        if (GetTickCount() - dwStart >= dwTimeout)
            return FALSE;
        Sleep(dwPoll);
    }
    return TRUE;
}

// Runs a console program to its end (at most dwTimeout ms, then it is
// killed) with its standard output and error both going into strOutput.
// Its exit code, or 0xDEADBEEF when it did not run to its end.
DWORD RunForOutput(const std::string& strCommandLine, std::string& strOutput, DWORD dwTimeout = 30000);

// Starts a command line without waiting for it; NULL when it cannot start.
// The caller closes the process handle.
HANDLE StartProcess(const std::string& strCommandLine);

// The seed of a test's random choices: the value of the environment
// variable pszVariable when set, so that a failed run can be repeated,
// otherwise a new one each time; printed either way.
unsigned int ChooseSeed(const char* pszVariable);

// A thread's exit code once it has ended; STILL_ACTIVE when it did not end
// within 10 s.
DWORD ExitCodeAfterEnd(HANDLE hThread);

// Asks a process to end by setting its named stop event, waits for it at most
// dwTimeout ms, then terminates it; closes the handle (which may be NULL).
void StopProcess(HANDLE hProcess, LPCSTR pszStopEvent, DWORD dwTimeout);

// While it lives, every text the system sends to the debugger output is kept
// here instead, in order.
class CDebugOutputRecorder
{
public:
    CDebugOutputRecorder();
    virtual ~CDebugOutputRecorder();

    std::vector<std::string> Texts() const;
    std::string All() const;
    void Clear();
};

// While it lives, every message box is recorded (text and style) and
// answered with IDOK instead of being shown.
class CMessageBoxRecorder
{
public:
    CMessageBoxRecorder();
    virtual ~CMessageBoxRecorder();

    std::vector<std::string> Texts() const;
    std::vector<UINT> Styles() const;
};

#endif // TESTS_TESTSUPPORT_H
