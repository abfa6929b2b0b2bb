// CChildProcess.cpp - a helper program run as another process.
#include "tests/instance/CChildProcess.h"

#include <vector>

#include "tests/support/TestSupport.h"

CChildProcess::CChildProcess()
    : m_dwExitCode(STILL_ACTIVE), m_hProcess(NULL)
{
}

CChildProcess::~CChildProcess()
{
    if (m_hProcess != NULL)
    {
        if (WaitForSingleObject(m_hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(m_hProcess, 99);
        CloseHandle(m_hProcess);
    }
}

BOOL CChildProcess::Start(const char* pszProgram, const std::string& strArguments)
{
    m_hProcess = StartProcess(Quoted(BinPath(pszProgram)) + " " + strArguments);
    return m_hProcess != NULL;
}

BOOL CChildProcess::Wait(DWORD dwTimeout)
{
    if (m_hProcess == NULL || WaitForSingleObject(m_hProcess, dwTimeout) != WAIT_OBJECT_0)
        return FALSE;
    return GetExitCodeProcess(m_hProcess, &m_dwExitCode);
}
