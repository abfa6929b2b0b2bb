// CRunJournal.cpp - the journal of Tickward's runs.
#include "journal/CRunJournal.h"

#include "afx/afxmt.h"
#include "log/Log.h"

namespace
{
const char FOLDER_NAME[] = "\\Tickward";
const char FILE_NAME[] = "\\journal.log";
const char ROTATED_NAME[] = "\\journal.1.log";
// Taken by every writer around the size check, the rotation and the write.
const char MUTEX_NAME[] = "TickwardJournal";

const int CSIDL_LOCAL_APPDATA_ID = 0x001c;
typedef HRESULT (WINAPI *PFN_SHGETFOLDERPATHA)(HWND hwnd, int nFolder, HANDLE hToken, DWORD dwFlags,
                                               LPSTR pszPath);

// Windows before Vista sets no LOCALAPPDATA variable; the shell knows the
// folder there. It is loaded only then: every run would pay for it.
BOOL GetShellLocalAppData(char* pszPath)
{
    HMODULE hShell = ::LoadLibraryA("shell32.dll");
    if (hShell == NULL)
        return FALSE;
    PFN_SHGETFOLDERPATHA pfnGetFolderPath = reinterpret_cast<PFN_SHGETFOLDERPATHA>(
        reinterpret_cast<void*>(::GetProcAddress(hShell, "SHGetFolderPathA")));
    const BOOL bFound = pfnGetFolderPath != NULL
                        && SUCCEEDED(pfnGetFolderPath(NULL, CSIDL_LOCAL_APPDATA_ID, NULL, 0, pszPath));
    ::FreeLibrary(hShell);
    return bFound;
}
}

CRunJournal::CRunJournal()
{
}

CRunJournal::~CRunJournal()
{
}

BOOL CRunJournal::GetFolder(CString& strFolder)
{
    char szBase[MAX_PATH];
    ZeroMemory(szBase, sizeof(szBase));
    const DWORD dwLength = ::GetEnvironmentVariableA("LOCALAPPDATA", szBase, MAX_PATH);
    if ((dwLength == 0 || dwLength >= MAX_PATH) && !GetShellLocalAppData(szBase))
        return FALSE;
    strFolder = CString(szBase) + FOLDER_NAME;
    return TRUE;
}

BOOL CRunJournal::GetPath(CString& strPath)
{
    if (!GetFolder(strPath))
        return FALSE;
    strPath += FILE_NAME;
    return TRUE;
}

BOOL CRunJournal::GetRotatedPath(CString& strPath)
{
    if (!GetFolder(strPath))
        return FALSE;
    strPath += ROTATED_NAME;
    return TRUE;
}

BOOL CRunJournal::Remove()
{
    CString strFolder;
    if (!GetFolder(strFolder))
        return TRUE;
    BOOL bRemoved = TRUE;
    const char* const apszNames[] = { FILE_NAME, ROTATED_NAME };
    for (size_t i = 0; i < sizeof(apszNames) / sizeof(apszNames[0]); ++i)
        bRemoved = (::DeleteFileA(strFolder + apszNames[i]) || ::GetLastError() == ERROR_FILE_NOT_FOUND) && bRemoved;
    ::RemoveDirectoryA(strFolder);
    return bRemoved;
}

BOOL CRunJournal::Append(const CString& strEntry)
{
    CString strFolder;
    if (!GetFolder(strFolder))
        return Report("%LOCALAPPDATA%", ERROR_PATH_NOT_FOUND);
    const CString strPath = strFolder + FILE_NAME;
    // An existing folder is fine; a file of that name fails the write below.
    if (!::CreateDirectoryA(strFolder, NULL) && ::GetLastError() != ERROR_ALREADY_EXISTS)
        return Report(strFolder, ::GetLastError());

    const CString strLine = FormatLine(strEntry);
    CMutex mutex(FALSE, MUTEX_NAME);
    // Without the mutex the line is still written whole, by one appending
    // write.
    const BOOL bHeld = mutex.Lock(LOCK_TIMEOUT);
    // Only the mutex's holder rotates: two writers that both renamed would
    // replace the older part with a journal of a few lines, and its history
    // would be gone. A full journal just grows a line longer meanwhile.
    if (bHeld && IsNtFamily())
        RotateIfFull(strPath, strFolder + ROTATED_NAME, strLine.GetLength());
    const DWORD dwError = WriteLine(strPath, strLine, GetShareMode());
    if (bHeld)
        mutex.Unlock();
    return dwError == ERROR_SUCCESS || Report(strPath, dwError);
}

DWORD CRunJournal::GetShareMode() const
{
    // FILE_SHARE_DELETE lets the next writer rotate the journal while a
    // reader has it open.
    return FILE_SHARE_READ | FILE_SHARE_WRITE | (IsNtFamily() ? FILE_SHARE_DELETE : 0);
}

BOOL CRunJournal::IsNtFamily() const
{
    OSVERSIONINFOA info;
    ZeroMemory(&info, sizeof(info));
    info.dwOSVersionInfoSize = sizeof(info);
    return ::GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

DWORD CRunJournal::WriteLine(const CString& strPath, const CString& strLine, DWORD dwShareMode)
{
    HANDLE hFile = ::CreateFileA(strPath, FILE_APPEND_DATA, dwShareMode, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                 NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return ::GetLastError();
    DWORD dwWritten = 0;
    DWORD dwError = ERROR_SUCCESS;
    if (!::WriteFile(hFile, static_cast<LPCSTR>(strLine), strLine.GetLength(), &dwWritten, NULL))
        dwError = ::GetLastError();
    else if (dwWritten != static_cast<DWORD>(strLine.GetLength()))
        dwError = ERROR_DISK_FULL;
    ::CloseHandle(hFile);
    return dwError;
}

// A failed rotation is no reason to lose the line: it then goes on the end
// of the full journal, and the next run tries again.
void CRunJournal::RotateIfFull(const CString& strPath, const CString& strRotated, int nNextLength)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    ZeroMemory(&data, sizeof(data));
    if (!::GetFileAttributesExA(strPath, GetFileExInfoStandard, &data))
        return;
    if (data.nFileSizeHigh == 0 && data.nFileSizeLow + static_cast<DWORD>(nNextLength) <= MAX_SIZE)
        return;
    ::MoveFileExA(strPath, strRotated, MOVEFILE_REPLACE_EXISTING);
}

CString CRunJournal::FormatLine(const CString& strEntry)
{
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    CString strLine;
    strLine.Format("%04u-%02u-%02u %02u:%02u:%02u.%03u pid %lu %s\r\n", now.wYear, now.wMonth, now.wDay,
                   now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, ::GetCurrentProcessId(),
                   static_cast<LPCSTR>(strEntry));
    return strLine;
}

BOOL CRunJournal::Report(const CString& strPath, DWORD dwError)
{
    LogDebug("Tickward: journal not written: %s (error %lu)", static_cast<LPCSTR>(strPath), dwError);
    return FALSE;
}

// A command may put anything into a file name or a device list: a line
// break would split the run's line, and a "|" could forge a field such as
// " | exit 0". Such bytes, and the escape character itself, become "%" and
// two hexadecimal digits; everything else, backslashes of paths included,
// stays as it is.
CString CRunJournal::Escape(const CString& strField)
{
    CString strEscaped;
    for (int i = 0; i < strField.GetLength(); ++i)
    {
        const unsigned char ch = static_cast<unsigned char>(strField[i]);
        if (ch < 0x20 || ch == 0x7F || ch == '|' || ch == '%')
        {
            CString strCode;
            strCode.Format("%%%02X", ch);
            strEscaped += strCode;
        }
        else
        {
            strEscaped += static_cast<char>(ch);
        }
    }
    return strEscaped;
}
