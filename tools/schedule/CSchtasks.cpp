// CSchtasks.cpp - schtasks.exe as a child process.
#include "tools/schedule/CSchtasks.h"

CSchtasks::CSchtasks()
{
}

CSchtasks::~CSchtasks()
{
}

// A name is passed in double quotes, so it cannot hold one itself.
BOOL CSchtasks::IsPlainName(const CString& strName)
{
    return !strName.IsEmpty() && strName.Find('"') < 0;
}

BOOL CSchtasks::Create(const CString& strName, const CString& strXmlPath, DWORD& dwExitCode)
{
    if (!IsPlainName(strName) || strXmlPath.Find('"') >= 0)
        return FALSE;
    return Run(CString("/create /xml \"") + strXmlPath + "\" /tn \"" + strName + "\"", dwExitCode);
}

BOOL CSchtasks::Delete(const CString& strName, DWORD& dwExitCode)
{
    if (!IsPlainName(strName))
        return FALSE;
    return Run(CString("/delete /tn \"") + strName + "\" /f", dwExitCode);
}

BOOL CSchtasks::Run(const CString& strArguments, DWORD& dwExitCode)
{
    // The one from the system folder by its full path: a bare "schtasks.exe"
    // would be looked for in the current folder first.
    char szSystem[MAX_PATH];
    const UINT nLength = GetSystemDirectoryA(szSystem, MAX_PATH);
    if (nLength == 0 || nLength >= MAX_PATH)
        return FALSE;
    // CreateProcessA may write into the command line it is given.
    CString strCommand = CString("\"") + szSystem + "\\schtasks.exe\" " + strArguments;

    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof(process));
    const BOOL bStarted = CreateProcessA(NULL, strCommand.GetBuffer(0), NULL, NULL, FALSE, 0, NULL, NULL,
                                         &startup, &process);
    strCommand.ReleaseBuffer();
    if (!bStarted)
        return FALSE;
    CloseHandle(process.hThread);
    const BOOL bEnded = WaitForSingleObject(process.hProcess, INFINITE) == WAIT_OBJECT_0
                        && GetExitCodeProcess(process.hProcess, &dwExitCode);
    CloseHandle(process.hProcess);
    return bEnded;
}
