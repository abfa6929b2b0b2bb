// TestSupport.cpp - shared test helpers.
#include "tests/support/TestSupport.h"

#include "afx/AfxMessageBox.h"
#include "log/Log.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <sstream>

namespace
{
CRITICAL_SECTION* RecorderLock()
{
    static CRITICAL_SECTION cs;
    static LONG nInit = 0;
    if (InterlockedCompareExchange(&nInit, 1, 0) == 0)
        InitializeCriticalSection(&cs);
    return &cs;
}

std::vector<std::string> g_debugTexts;
std::vector<std::string> g_boxTexts;
std::vector<UINT> g_boxStyles;
PFNDEBUGOUTPUT g_pfnPreviousSink = NULL;
AFX_MESSAGEBOX_HOOK g_pfnPreviousHook = NULL;

// Threads of the code under test may write while the test reads.
void WINAPI RecordDebugText(LPCSTR pszText)
{
    EnterCriticalSection(RecorderLock());
    g_debugTexts.push_back(pszText != NULL ? pszText : "");
    LeaveCriticalSection(RecorderLock());
}

int RecordMessageBox(LPCSTR pszText, UINT nType)
{
    EnterCriticalSection(RecorderLock());
    g_boxTexts.push_back(pszText != NULL ? pszText : "");
    g_boxStyles.push_back(nType);
    LeaveCriticalSection(RecorderLock());
    return IDOK;
}
}

std::string BinPath(const char* pszProgram)
{
    char szPath[MAX_PATH] = { 0 };
    GetModuleFileNameA(NULL, szPath, MAX_PATH - 1);
    std::string strPath(szPath);
    const size_t nSlash = strPath.find_last_of("\\/");
    return strPath.substr(0, nSlash + 1) + pszProgram;
}

std::string Quoted(const std::string& strPath)
{
    return "\"" + strPath + "\"";
}

std::string TickwardCommand(const std::string& strTail)
{
    return Quoted(BinPath("tickward.exe")) + (strTail.empty() ? "" : " " + strTail);
}

BOOL InstallProgram(const std::string& strProgram, const std::string& strPath)
{
    const std::string strFolder = strPath.substr(0, strPath.find_last_of('\\'));
    CreateDirectoryA(strFolder.c_str(), NULL);
    DeleteFileA((strPath + ".log").c_str());
    return CopyFileA(strProgram.c_str(), strPath.c_str(), FALSE);
}

std::vector<std::string> Lines(const std::string& strText)
{
    std::vector<std::string> lines;
    std::istringstream stream(strText);
    std::string strLine;
    while (std::getline(stream, strLine))
        lines.push_back(strLine);
    return lines;
}

void SetPowerWaitLimit(const char* pszLimit)
{
    HKEY hKey = NULL;
    RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Tickward", 0, NULL, 0, KEY_SET_VALUE, NULL, &hKey, NULL);
    if (pszLimit == NULL)
        RegDeleteValueA(hKey, "PowerWaitLimit");
    else if (strcmp(pszLimit, "text") == 0)
        RegSetValueExA(hKey, "PowerWaitLimit", 0, REG_SZ, reinterpret_cast<const BYTE*>("60"), 3);
    else
    {
        const DWORD dwLimit = strtoul(pszLimit, NULL, 10);
        RegSetValueExA(hKey, "PowerWaitLimit", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwLimit), 4);
    }
    RegCloseKey(hKey);
}

size_t CountOf(const std::string& strText, const std::string& strPart)
{
    size_t nCount = 0;
    for (size_t nPos = strText.find(strPart); nPos != std::string::npos; nPos = strText.find(strPart, nPos + 1))
        ++nCount;
    return nCount;
}

std::string ReadFileText(const std::string& strPath, DWORD dwOffset)
{
    std::string strText;
    HANDLE hFile = CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                               OPEN_EXISTING, 0, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return strText;
    if (SetFilePointer(hFile, static_cast<LONG>(dwOffset), NULL, FILE_BEGIN) == dwOffset)
    {
        char szBuffer[4096];
        DWORD dwRead = 0;
        while (ReadFile(hFile, szBuffer, sizeof(szBuffer), &dwRead, NULL) && dwRead > 0)
            strText.append(szBuffer, dwRead);
    }
    CloseHandle(hFile);
    return strText;
}

std::string WaitForFileText(const std::string& strPath, const std::string& strPart, DWORD dwTimeout)
{
    const DWORD dwStart = GetTickCount();
    std::string strText = ReadFileText(strPath);
    while (strText.find(strPart) == std::string::npos && GetTickCount() - dwStart < dwTimeout)
    {
        Sleep(50);
        strText = ReadFileText(strPath);
    }
    return strText;
}

DWORD RunForOutput(const std::string& strCommandLine, std::string& strOutput, DWORD dwTimeout)
{
    char szFolder[MAX_PATH] = { 0 };
    char szPath[MAX_PATH] = { 0 };
    GetTempPathA(MAX_PATH, szFolder);
    GetTempFileNameA(szFolder, "out", 0, szPath);
    SECURITY_ATTRIBUTES inherit = { sizeof(inherit), NULL, TRUE };
    HANDLE hOutput = CreateFileA(szPath, GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, NULL);
    std::vector<char> commandLine(strCommandLine.begin(), strCommandLine.end());
    commandLine.push_back('\0');
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = hOutput;
    startup.hStdError = hOutput;
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof(process));
    DWORD dwExitCode = 0xDEADBEEF;
    if (hOutput != INVALID_HANDLE_VALUE
        && CreateProcessA(NULL, &commandLine[0], NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process))
    {
        if (WaitForSingleObject(process.hProcess, dwTimeout) == WAIT_OBJECT_0)
            GetExitCodeProcess(process.hProcess, &dwExitCode);
        else
            TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    if (hOutput != INVALID_HANDLE_VALUE)
        CloseHandle(hOutput);
    strOutput = ReadFileText(szPath);
    DeleteFileA(szPath);
    return dwExitCode;
}

HANDLE StartProcess(const std::string& strCommandLine)
{
    std::vector<char> commandLine(strCommandLine.begin(), strCommandLine.end());
    commandLine.push_back('\0');
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof(process));
    if (!CreateProcessA(NULL, &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return NULL;
    CloseHandle(process.hThread);
    return process.hProcess;
}

unsigned int ChooseSeed(const char* pszVariable)
{
    const char* pszSeed = getenv(pszVariable);
    const unsigned int nSeed = pszSeed != NULL && *pszSeed != '\0'
                                   ? static_cast<unsigned int>(strtoul(pszSeed, NULL, 10))
                                   : static_cast<unsigned int>(GetTickCount() ^ GetCurrentProcessId());
    printf("random choices from seed %u (%s=%u repeats them)\n", nSeed, pszVariable, nSeed);
    fflush(stdout);
    return nSeed;
}

DWORD ExitCodeAfterEnd(HANDLE hThread)
{
    DWORD dwExitCode = 0;
    if (WaitForSingleObject(hThread, 10000) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    GetExitCodeThread(hThread, &dwExitCode);
    return dwExitCode;
}

void StopProcess(HANDLE hProcess, LPCSTR pszStopEvent, DWORD dwTimeout)
{
    HANDLE hStop = OpenEventA(EVENT_MODIFY_STATE, FALSE, pszStopEvent);
    if (hStop != NULL)
    {
        SetEvent(hStop);
        CloseHandle(hStop);
    }
    if (hProcess == NULL)
        return;
    if (WaitForSingleObject(hProcess, dwTimeout) != WAIT_OBJECT_0)
        TerminateProcess(hProcess, 1);
    CloseHandle(hProcess);
}

CDebugOutputRecorder::CDebugOutputRecorder()
{
    Clear();
    g_pfnPreviousSink = SetDebugOutput(RecordDebugText);
}

CDebugOutputRecorder::~CDebugOutputRecorder()
{
    SetDebugOutput(g_pfnPreviousSink);
}

std::vector<std::string> CDebugOutputRecorder::Texts() const
{
    EnterCriticalSection(RecorderLock());
    std::vector<std::string> texts = g_debugTexts;
    LeaveCriticalSection(RecorderLock());
    return texts;
}

std::string CDebugOutputRecorder::All() const
{
    std::string strAll;
    const std::vector<std::string> texts = Texts();
    for (size_t i = 0; i < texts.size(); ++i)
        strAll += texts[i];
    return strAll;
}

void CDebugOutputRecorder::Clear()
{
    EnterCriticalSection(RecorderLock());
    g_debugTexts.clear();
    LeaveCriticalSection(RecorderLock());
}

CMessageBoxRecorder::CMessageBoxRecorder()
{
    EnterCriticalSection(RecorderLock());
    g_boxTexts.clear();
    g_boxStyles.clear();
    LeaveCriticalSection(RecorderLock());
    g_pfnPreviousHook = AfxSetMessageBoxHook(RecordMessageBox);
}

CMessageBoxRecorder::~CMessageBoxRecorder()
{
    AfxSetMessageBoxHook(g_pfnPreviousHook);
}

std::vector<std::string> CMessageBoxRecorder::Texts() const
{
    EnterCriticalSection(RecorderLock());
    std::vector<std::string> texts = g_boxTexts;
    LeaveCriticalSection(RecorderLock());
    return texts;
}

std::vector<UINT> CMessageBoxRecorder::Styles() const
{
    EnterCriticalSection(RecorderLock());
    std::vector<UINT> styles = g_boxStyles;
    LeaveCriticalSection(RecorderLock());
    return styles;
}
