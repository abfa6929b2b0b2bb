// CDebuggeeRun.h - runs a program as a debuggee and keeps every text it
// writes to the debugger output, byte for byte and in order, with its exit
// code. Used by the tests to see what Tickward reported.
#ifndef TOOLS_CDEBUGGEERUN_H
#define TOOLS_CDEBUGGEERUN_H

#include "tools/dbgrun/CDebuggee.h"

#include <string>
#include <vector>

class CDebuggeeRun : public CDebuggee
{
public:
    CDebuggeeRun();
    virtual ~CDebuggeeRun();

    // As CDebuggee::Run, with the texts of this run in m_outputs.
    BOOL Run(const std::string& strCommandLine, DWORD dwTimeout = 60000);

    // Every OutputDebugStringA text, without its terminating zero.
    std::vector<std::string> m_outputs;
    // All texts joined, for exact comparisons of a whole run.
    std::string GetAllOutput() const;

protected:
    virtual void OnOutput(const char* pchText, int nLength);
};

// Writes a text with its control characters shown as C escapes.
std::string EscapeText(const std::string& strText);

#endif // TOOLS_CDEBUGGEERUN_H
