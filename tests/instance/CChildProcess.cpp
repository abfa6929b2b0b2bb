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
    std::string strCommand = Quoted(BinPath(pszProgram)) + " " + strArguments;
    std::vector<char> commandLine(strCommand.begin(), strCommand.end());
    commandLine.push_back('\0');
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof(process));
    if (!CreateProcessA(NULL, commandLine.data(), NULL, NULL, FALSE, 0, NULL, NULL,
                        &startup, &process))
        return FALSE;
    CloseHandle(process.hThread);
    m_hProcess = process.hProcess;
    return TRUE;
}

BOOL CChildProcess::Wait(DWORD dwTimeout)
{
    if (m_hProcess == NULL || WaitForSingleObject(m_hProcess, dwTimeout) != WAIT_OBJECT_0)
        return FALSE;
    return GetExitCodeProcess(m_hProcess, &m_dwExitCode);
}
