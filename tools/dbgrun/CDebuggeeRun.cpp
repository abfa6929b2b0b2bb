// CDebuggeeRun.cpp - capture of a debuggee's debugger output.
#include "tools/dbgrun/CDebuggeeRun.h"

#include <stdio.h>

CDebuggeeRun::CDebuggeeRun()
    : m_dwExitCode(STILL_ACTIVE), m_dwProcessId(0)
{
}

CDebuggeeRun::~CDebuggeeRun()
{
}

BOOL CDebuggeeRun::Run(const std::string& strCommandLine, DWORD dwTimeout)
{
    m_outputs.clear();
    m_dwExitCode = STILL_ACTIVE;

    std::vector<char> commandLine(strCommandLine.begin(), strCommandLine.end());
    commandLine.push_back('\0');
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof(process));
    if (!CreateProcessA(NULL, &commandLine[0], NULL, NULL, FALSE, DEBUG_ONLY_THIS_PROCESS, NULL,
                        NULL, &startup, &process))
        return FALSE;
    m_dwProcessId = process.dwProcessId;

    const BOOL bEnded = FollowDebuggee(process.hProcess, dwTimeout);
    if (!bEnded)
    {
        TerminateProcess(process.hProcess, 255);
        DebugActiveProcessStop(process.dwProcessId);
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return bEnded;
}

BOOL CDebuggeeRun::FollowDebuggee(HANDLE hProcess, DWORD dwTimeout)
{
    const DWORD dwStart = GetTickCount();
    for (;;)
    {
        const DWORD dwElapsed = GetTickCount() - dwStart;
        if (dwTimeout != INFINITE && dwElapsed >= dwTimeout)
            return FALSE;
        DEBUG_EVENT event;
        if (!WaitForDebugEvent(&event, dwTimeout == INFINITE ? INFINITE : dwTimeout - dwElapsed))
            continue;

        DWORD dwContinue = DBG_CONTINUE;
        switch (event.dwDebugEventCode)
        {
        case CREATE_PROCESS_DEBUG_EVENT:
            if (event.u.CreateProcessInfo.hFile != NULL)
                CloseHandle(event.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            if (event.u.LoadDll.hFile != NULL)
                CloseHandle(event.u.LoadDll.hFile);
            break;
        case OUTPUT_DEBUG_STRING_EVENT:
            KeepOutput(hProcess, event.u.DebugString);
            break;
        case EXCEPTION_DEBUG_EVENT:
            // The loader's first breakpoint is ours; everything else is the
            // program's own business.
            if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
                dwContinue = DBG_EXCEPTION_NOT_HANDLED;
            break;
        case EXIT_PROCESS_DEBUG_EVENT:
            m_dwExitCode = event.u.ExitProcess.dwExitCode;
            ContinueDebugEvent(event.dwProcessId, event.dwThreadId, DBG_CONTINUE);
            return TRUE;
        default:
            break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, dwContinue);
    }
}

// The length includes the terminating zero; a Unicode text is not expected
// from the programs of this project and is kept as its raw bytes.
void CDebuggeeRun::KeepOutput(HANDLE hProcess, const OUTPUT_DEBUG_STRING_INFO& info)
{
    std::string strText(info.nDebugStringLength, '\0');
    SIZE_T nRead = 0;
    if (info.nDebugStringLength == 0 ||
        !ReadProcessMemory(hProcess, info.lpDebugStringData, &strText[0], strText.size(), &nRead))
        nRead = 0;
    strText.resize(nRead);
    if (!strText.empty() && strText[strText.size() - 1] == '\0')
        strText.resize(strText.size() - 1);
    m_outputs.push_back(strText);
}

std::string CDebuggeeRun::GetAllOutput() const
{
    std::string strAll;
    for (size_t i = 0; i < m_outputs.size(); ++i)
        strAll += m_outputs[i];
    return strAll;
}

std::string EscapeText(const std::string& strText)
{
    std::string strOut;
    for (size_t i = 0; i < strText.size(); ++i)
    {
        const unsigned char ch = static_cast<unsigned char>(strText[i]);
        switch (ch)
        {
        case '\n': strOut += "\\n"; break;
        case '\t': strOut += "\\t"; break;
        case '\r': strOut += "\\r"; break;
        case '\\': strOut += "\\\\"; break;
        case '"': strOut += "\\\""; break;
        default:
            if (ch < 32 || ch == 127)
            {
                char szHex[8];
                sprintf(szHex, "\\x%02X", ch);
                strOut += szHex;
            }
            else
            {
                strOut += static_cast<char>(ch);
            }
            break;
        }
    }
    return strOut;
}
