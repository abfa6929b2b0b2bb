// COrvaneApp.cpp - entry into Tickward's own logic and the switch between
// power commands and timer commands.
#include "app/COrvaneApp.h"

#include "app/CPowerApi.h"
#include "app/Log.h"
#include "cmdline/CTokenizer.h"
#include "cmdline/StrToInt32.h"

namespace
{
CPowerApi g_realPowerApi;
}

COrvaneApp::COrvaneApp()
    : CWinApp(NULL), m_nExitCode(exitDone), m_pPowerApi(&g_realPowerApi)
{
    ZeroMemory(m_szCmdLine, sizeof(m_szCmdLine));
}

COrvaneApp::~COrvaneApp()
{
}

BOOL COrvaneApp::InitInstance()
{
    if (m_lpCmdLine == NULL || *m_lpCmdLine == '\0')
        return FALSE;
    LogSilent("CMD: %s", m_lpCmdLine);
    DispatchCmdLine(m_lpCmdLine, lstrlenA(m_lpCmdLine));
    // No message loop: the framework ends the program with ExitInstance's code.
    return FALSE;
}

int COrvaneApp::ExitInstance()
{
    return m_nExitCode;
}

// Looks at the first two ";"-separated tokens only: "-E" and a number is a
// power command, everything else goes unchanged to timer command delivery.
void COrvaneApp::DispatchCmdLine(LPCSTR pszText, int nLength)
{
    if (pszText == NULL || nLength <= 0)
    {
        LogSilent("Tickward: Invalid CmdLine!");
        SetExitCode(exitUnusable);
        return;
    }

    char szCopy[DISPATCH_BUFFER_SIZE];
    ZeroMemory(szCopy, sizeof(szCopy));
    lstrcpynA(szCopy, pszText, nLength < DISPATCH_BUFFER_SIZE ? nLength + 1 : DISPATCH_BUFFER_SIZE);

    CTokenizer tokens(szCopy, ';');
    const char* pszFirst = tokens.Next();
    if (pszFirst == NULL || lstrcmpA(pszFirst, "-E") != 0)
    {
        StartCmdlineProcess(pszText, nLength);
        return;
    }

    const char* pszCode = tokens.Next();
    if (pszCode == NULL)
    {
        LogSilent("Tickward: Invalid Argument!");
        SetExitCode(exitUnusable);
        return;
    }
    ExecuteCommand(StrToInt32(pszCode, 10));
}

void COrvaneApp::ExecuteCommand(int nCode)
{
    switch (nCode)
    {
    case 2:
        DoStandby();
        break;
    case 3:
        DoShutdown();
        break;
    case 4:
        DoHibernate();
        break;
    default:
        LogError("Tickward: ExecuteCommand Error.");
        SetExitCode(exitUnusable);
        break;
    }
}

void COrvaneApp::StartCmdlineProcess(LPCSTR /*pszText*/, int /*nLength*/)
{
}

BOOL COrvaneApp::IsWindowsNT()
{
    OSVERSIONINFOA info;
    ZeroMemory(&info, sizeof(info));
    info.dwOSVersionInfoSize = sizeof(info);
    m_pPowerApi->GetVersionEx(&info);
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

// On the NT family a process must enable the shutdown privilege in its own
// token before it may suspend or shut down the machine. Failures are not
// reported: the request that follows simply has no effect then.
void COrvaneApp::EnableShutdownPrivilege()
{
    HANDLE hToken = NULL;
    m_pPowerApi->OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &hToken);

    TOKEN_PRIVILEGES privileges;
    ZeroMemory(&privileges, sizeof(privileges));
    m_pPowerApi->LookupPrivilegeValue(NULL, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid);
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    m_pPowerApi->AdjustTokenPrivileges(hToken, FALSE, &privileges, 0, NULL, NULL);
    m_pPowerApi->GetLastError();

    if (hToken != NULL)
        m_pPowerApi->CloseHandle(hToken);
}

void COrvaneApp::DoStandby()
{
    LogDebug("## STANDBY ##");
    if (IsWindowsNT())
        EnableShutdownPrivilege();
    m_pPowerApi->SetSystemPowerState(TRUE, FALSE);
}

void COrvaneApp::DoShutdown()
{
    LogDebug("## SHUTDOWN ##");
    if (IsWindowsNT())
    {
        EnableShutdownPrivilege();
        m_pPowerApi->ExitWindowsEx(EWX_SHUTDOWN | EWX_POWEROFF, 0);
    }
    else
    {
        m_pPowerApi->ExitWindowsEx(EWX_SHUTDOWN, 0);
    }
}

// The older family knows no hibernation request: it gets a standby instead.
void COrvaneApp::DoHibernate()
{
    LogDebug("## HIBERNATE ##");
    if (IsWindowsNT())
    {
        EnableShutdownPrivilege();
        m_pPowerApi->SetSystemPowerState(FALSE, FALSE);
    }
    else
    {
        m_pPowerApi->SetSystemPowerState(TRUE, FALSE);
    }
}

CPowerApi* COrvaneApp::SetPowerApi(CPowerApi* pPowerApi)
{
    CPowerApi* pOld = m_pPowerApi;
    m_pPowerApi = pPowerApi != NULL ? pPowerApi : &g_realPowerApi;
    return pOld;
}
