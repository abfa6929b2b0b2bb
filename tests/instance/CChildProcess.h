// CChildProcess.h - starts one of the project's helper programs as another
// process and collects its exit code.
#ifndef TESTS_CCHILDPROCESS_H
#define TESTS_CCHILDPROCESS_H

#include <windows.h>

#include <string>

class CChildProcess
{
public:
    CChildProcess();
    virtual ~CChildProcess();   // a child still running is ended

    // Starts BinPath(pszProgram) with the given arguments.
    BOOL Start(const char* pszProgram, const std::string& strArguments);
    // TRUE when the child ended within dwTimeout ms; its exit code is kept.
    BOOL Wait(DWORD dwTimeout);

    DWORD m_dwExitCode;
    HANDLE m_hProcess;
};

#endif // TESTS_CCHILDPROCESS_H
