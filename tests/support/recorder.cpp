// recorder - stands in for a receiving application that Tickward starts:
// appends the command line it was started with, as one line, to a file named
// after its own executable ("<exe path>.log") and ends. A copy of it under
// another name records into its own file, so a test can tell which program
// the system started, and how often.
//
// With TICKWARD_RECORDER_BEAT=MS in its environment (Tickward passes its own
// on) it is an application that starts slowly: after MS milliseconds it
// keeps the heartbeat of its job's device growing, as a real one does once
// started, and it runs until the named event "TickwardRecorderStop" is set
// (at most a minute after its first heartbeat). With
// TICKWARD_RECORDER_THEN=COMMAND as well, it runs COMMAND followed by its
// own command tail after those MS milliseconds
// instead, a real receiving application, and ends with it: the storm's
// receiver, slow to start.
#include <windows.h>

#include <stdlib.h>

#include "afx/CString.h"
#include "afx/CWinApp.h"
#include "cmdline/CCmdLineParams.h"
#include "cmdline/ParseCmdLine.h"
#include "instance/CHeartbeat.h"
#include "instance/HeartbeatTable.h"

namespace
{
const DWORD LONGEST_RUN = 60000;

void Beat(HANDLE hStop, DWORD dwFor, LPCSTR pszJob)
{
    CCmdLineParams params;
    CHeartbeat heartbeat;
    if (ParseCmdLine(pszJob, &params, FALSE, TRUE)
        && heartbeat.Start(HeartbeatTable::GetCategory(params.GetDeviceType(0)), params.GetDeviceIndex(0)))
        WaitForSingleObject(hStop, dwFor);
    heartbeat.Stop();
}

void RunToItsEnd(LPCSTR pszCommand, LPCSTR pszJob)
{
    CString strCommandLine = CString(pszCommand) + " " + pszJob;
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    if (!CreateProcessA(NULL, strCommandLine.GetBuffer(strCommandLine.GetLength()), NULL, NULL, FALSE, 0, NULL,
                        NULL, &startup, &process))
        return;
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

void StartSlowly(DWORD dwDelay, LPCSTR pszJob)
{
    HANDLE hStop = CreateEventA(NULL, TRUE, FALSE, "TickwardRecorderStop");
    char szThen[2048] = { 0 };
    if (WaitForSingleObject(hStop, dwDelay) == WAIT_TIMEOUT)
    {
        if (GetEnvironmentVariableA("TICKWARD_RECORDER_THEN", szThen, sizeof(szThen)) > 0)
            RunToItsEnd(szThen, pszJob);
        else
            Beat(hStop, LONGEST_RUN, pszJob);
    }
    CloseHandle(hStop);
}
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char szLog[MAX_PATH + 8] = { 0 };
    GetModuleFileNameA(NULL, szLog, MAX_PATH);
    lstrcatA(szLog, ".log");
    HANDLE hFile = CreateFileA(szLog, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return 1;
    LPCSTR pszLine = GetCommandLineA();
    DWORD dwWritten = 0;
    WriteFile(hFile, pszLine, lstrlenA(pszLine), &dwWritten, NULL);
    WriteFile(hFile, "\n", 1, &dwWritten, NULL);
    CloseHandle(hFile);

    char szDelay[16] = { 0 };
    if (GetEnvironmentVariableA("TICKWARD_RECORDER_BEAT", szDelay, sizeof(szDelay)) > 0)
    {
        char szLine[2048];
        lstrcpynA(szLine, pszLine, sizeof(szLine));
        StartSlowly(strtoul(szDelay, NULL, 10), AfxGetCmdTail(szLine));
    }
    return 0;
}
