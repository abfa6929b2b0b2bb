// CDebuggeeRun.h - runs a program as a debuggee and keeps every text it
// writes to the debugger output, byte for byte and in order, with its exit
// code. Used by the tests and by the demo to see what Tickward reported.
//
// The debugger API delivers events only to the thread that started the
// debuggee, so Run does all its work on the calling thread.
#ifndef TOOLS_CDEBUGGEERUN_H
#define TOOLS_CDEBUGGEERUN_H

#include <windows.h>

#include <string>
#include <vector>

class CDebuggeeRun
{
public:
    CDebuggeeRun();
    virtual ~CDebuggeeRun();

    // Starts pszCommandLine and follows it until it ends or dwTimeout ms have
    // passed (then it is killed and Run fails). TRUE when the process ran
    // to its end.
    BOOL Run(const std::string& strCommandLine, DWORD dwTimeout = 60000);

    // Every OutputDebugStringA text, without its terminating zero.
    std::vector<std::string> m_outputs;
    // All texts joined, for exact comparisons of a whole run.
    std::string GetAllOutput() const;
    DWORD m_dwExitCode;
    DWORD m_dwProcessId;

private:
    BOOL FollowDebuggee(HANDLE hProcess, DWORD dwTimeout);
    void KeepOutput(HANDLE hProcess, const OUTPUT_DEBUG_STRING_INFO& info);
};

// Writes a text with its control characters shown as C escapes.
std::string EscapeText(const std::string& strText);

#endif // TOOLS_CDEBUGGEERUN_H
