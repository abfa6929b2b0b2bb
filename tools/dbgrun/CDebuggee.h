// CDebuggee.h - runs a program as a debuggee and hands every text it writes
// to the debugger output, byte for byte and in order, to OnOutput; keeps its
// exit code. The part of debugger-output capture that dbgrun.exe ships with:
// framework types only. CDebuggeeRun keeps the texts for the tests.
//
// The debugger API delivers events only to the thread that started the
// debuggee, so Run does all its work on the calling thread.
#ifndef TOOLS_DBGRUN_CDEBUGGEE_H
#define TOOLS_DBGRUN_CDEBUGGEE_H

#include <windows.h>

#include "afx/CString.h"

class CDebuggee
{
public:
    CDebuggee();
    virtual ~CDebuggee();

    // Starts pszCommandLine and follows it until it ends or dwTimeout ms have
    // passed (then it is killed and Run fails). TRUE when the process ran
    // to its end.
    BOOL Run(LPCSTR pszCommandLine, DWORD dwTimeout = 60000);

    // A text with its control characters shown as C escapes.
    static CString Escape(const char* pchText, int nLength);

    DWORD m_dwExitCode;
    DWORD m_dwProcessId;

protected:
    // One OutputDebugStringA text, without its terminating zero.
    virtual void OnOutput(const char* pchText, int nLength) = 0;

private:
    BOOL FollowDebuggee(HANDLE hProcess, DWORD dwTimeout);
    void ReadOutput(HANDLE hProcess, const OUTPUT_DEBUG_STRING_INFO& info);
};

#endif // TOOLS_DBGRUN_CDEBUGGEE_H
