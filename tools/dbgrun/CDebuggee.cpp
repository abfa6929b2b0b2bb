// CDebuggee.cpp - capture of a debuggee's debugger output.
#include "tools/dbgrun/CDebuggee.h"

namespace
{
typedef BOOL (WINAPI *PFN_DEBUGACTIVEPROCESSSTOP)(DWORD dwProcessId);

// Detaches from a debuggee. Windows 98 and ME have no such call (a debuggee
// there goes when its debugger ends), so it is looked up at run time: an
// import of it would keep dbgrun from starting there at all.
void StopDebugging(DWORD dwProcessId)
{
    const PFN_DEBUGACTIVEPROCESSSTOP pfnStop = reinterpret_cast<PFN_DEBUGACTIVEPROCESSSTOP>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "DebugActiveProcessStop")));
    if (pfnStop != NULL)
        pfnStop(dwProcessId);
}
}

CDebuggee::CDebuggee()
    : m_dwExitCode(STILL_ACTIVE), m_dwProcessId(0)
{
}

CDebuggee::~CDebuggee()
{
}

BOOL CDebuggee::Run(LPCSTR pszCommandLine, DWORD dwTimeout)
{
    m_dwExitCode = STILL_ACTIVE;

    // CreateProcessA may write into the command line it is given.
    CString strCommandLine(pszCommandLine);
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof(process));
    const BOOL bStarted = CreateProcessA(NULL, strCommandLine.GetBuffer(0), NULL, NULL, FALSE,
                                         DEBUG_ONLY_THIS_PROCESS, NULL, NULL, &startup, &process);
    strCommandLine.ReleaseBuffer();
    if (!bStarted)
        return FALSE;
    m_dwProcessId = process.dwProcessId;

    const BOOL bEnded = FollowDebuggee(process.hProcess, dwTimeout);
    if (!bEnded)
    {
        TerminateProcess(process.hProcess, 255);
        StopDebugging(process.dwProcessId);
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return bEnded;
}

BOOL CDebuggee::FollowDebuggee(HANDLE hProcess, DWORD dwTimeout)
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
            ReadOutput(hProcess, event.u.DebugString);
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
void CDebuggee::ReadOutput(HANDLE hProcess, const OUTPUT_DEBUG_STRING_INFO& info)
{
    CString strText;
    const int nLength = info.nDebugStringLength;
    SIZE_T nRead = 0;
    if (nLength == 0
        || !ReadProcessMemory(hProcess, info.lpDebugStringData, strText.GetBuffer(nLength), nLength, &nRead))
        nRead = 0;
    strText.ReleaseBuffer(static_cast<int>(nRead));
    int nKept = static_cast<int>(nRead);
    if (nKept > 0 && static_cast<const char*>(strText)[nKept - 1] == '\0')
        --nKept;
    OnOutput(strText, nKept);
}

CString CDebuggee::Escape(const char* pchText, int nLength)
{
    CString strOut;
    for (int i = 0; i < nLength; ++i)
    {
        const unsigned char ch = static_cast<unsigned char>(pchText[i]);
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
                CString strHex;
                strHex.Format("\\x%02X", ch);
                strOut += strHex;
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
