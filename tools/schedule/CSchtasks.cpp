// CSchtasks.cpp - schtasks.exe as a child process.
#include "tools/schedule/CSchtasks.h"

#include <vector>

CSchtasks::CSchtasks()
{
}

CSchtasks::~CSchtasks()
{
}

// A name is passed in double quotes, so it cannot hold one itself.
BOOL CSchtasks::IsPlainName(const std::string& strName)
{
    return !strName.empty() && strName.find('"') == std::string::npos;
}

BOOL CSchtasks::Create(const std::string& strName, const std::string& strXmlPath, DWORD& dwExitCode)
{
    if (!IsPlainName(strName) || strXmlPath.find('"') != std::string::npos)
        return FALSE;
    return Run("/create /xml \"" + strXmlPath + "\" /tn \"" + strName + "\"", dwExitCode);
}

BOOL CSchtasks::Delete(const std::string& strName, DWORD& dwExitCode)
{
    if (!IsPlainName(strName))
        return FALSE;
    return Run("/delete /tn \"" + strName + "\" /f", dwExitCode);
}

BOOL CSchtasks::Run(const std::string& strArguments, DWORD& dwExitCode)
{
    // The one from the system folder by its full path: a bare "schtasks.exe"
    // would be looked for in the current folder first.
    char szSystem[MAX_PATH];
    const UINT nLength = GetSystemDirectoryA(szSystem, MAX_PATH);
    if (nLength == 0 || nLength >= MAX_PATH)
        return FALSE;
    const std::string strCommand = "\"" + std::string(szSystem) + "\\schtasks.exe\" " + strArguments;
    std::vector<char> buffer(strCommand.begin(), strCommand.end());
    buffer.push_back('\0');

    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof(process));
    if (!CreateProcessA(NULL, &buffer[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return FALSE;
    CloseHandle(process.hThread);
    const BOOL bEnded = WaitForSingleObject(process.hProcess, INFINITE) == WAIT_OBJECT_0
                        && GetExitCodeProcess(process.hProcess, &dwExitCode);
    CloseHandle(process.hProcess);
    return bEnded;
}
