// recorder - stands in for a receiving application that Tickward starts:
// appends the command line it was started with, as one line, to a file named
// after its own executable ("<exe path>.log") and ends. A copy of it under
// another name records into its own file, so a test can tell which program
// the system started, and how often.
#include <windows.h>

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
    return 0;
}
