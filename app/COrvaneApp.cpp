// COrvaneApp.cpp - entry into Tickward's own logic and the switch between
// power commands and timer commands.
#include "app/COrvaneApp.h"

#include <string.h>

#include "afx/afxmt.h"
#include "app/CDeliveryResult.h"
#include "app/CPowerApi.h"
#include "cmdline/CCmdLineParams.h"
#include "cmdline/ProductCode.h"
#include "cmdline/CTokenizer.h"
#include "cmdline/ParseCmdLine.h"
#include "cmdline/StrToInt32.h"
#include "instance/CInstanceCheck.h"
#include "instance/HeartbeatTable.h"
#include "log/Log.h"
#include "mailbox/CCmdLineProcess.h"
#include "mailbox/CMailboxWriter.h"

namespace
{
CPowerApi g_realPowerApi;

// Held by one Tickward run at a time, from before the heartbeat table is
// cleared until the mailbox lock is given back. Several recordings often start
// in the same minute; without it two runs can take the advisory "Lock" value
// together and write the same slot, and one run's clearing of the table can
// make a live application look dead to another run, which then starts it
// twice. Receiving applications never take it. Its name carries the table's,
// so that it guards exactly the runs that share that table.
const char DELIVERY_MUTEX_PREFIX[] = "MUTEX_TickwardDelivery_";

CString GetDeliveryMutexName()
{
    return CString(DELIVERY_MUTEX_PREFIX) + HeartbeatTable::NAME;
}
}

COrvaneApp::COrvaneApp()
    : CWinApp(NULL), m_nExitCode(exitDone), m_dwStartError(ERROR_SUCCESS), m_pPowerApi(&g_realPowerApi)
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
    m_record.Write(m_nExitCode);
    return m_nExitCode;
}

// Looks at the first two ";"-separated tokens only: "-E" and a number is a
// power command, everything else goes unchanged to timer command delivery.
void COrvaneApp::DispatchCmdLine(LPCSTR pszText, int nLength)
{
    if (pszText == NULL || nLength <= 0)
    {
        LogSilent("Tickward: Invalid CmdLine!");
        m_record.Note("unusable: no command text");
        SetExitCode(exitUnusable);
        return;
    }

    char szCopy[DISPATCH_BUFFER_SIZE];
    ZeroMemory(szCopy, sizeof(szCopy));
    lstrcpynA(szCopy, pszText, nLength < DISPATCH_BUFFER_SIZE ? nLength + 1 : DISPATCH_BUFFER_SIZE);

    CTokenizer tokens(szCopy, ';');
    const char* pszFirst = tokens.Next();
    // Byte for byte: a locale comparison ignores characters of no sorting
    // weight and would take "\xAD-E" (a soft hyphen first) for "-E".
    if (pszFirst == NULL || strcmp(pszFirst, "-E") != 0)
    {
        StartCmdlineProcess(pszText, nLength);
        return;
    }

    const char* pszCode = tokens.Next();
    if (pszCode == NULL)
    {
        m_record.SetAsked("power -E");
        m_record.Note("unusable: no power code");
        LogSilent("Tickward: Invalid Argument!");
        SetExitCode(exitUnusable);
        return;
    }
    ExecuteCommand(StrToInt32(pszCode, 10));
}

void COrvaneApp::ExecuteCommand(int nCode)
{
    CString strAsked;
    strAsked.Format("power -E;%d", nCode);
    m_record.SetAsked(strAsked);
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
        m_record.Note("unusable: unknown power code");
        SetExitCode(exitUnusable);
        break;
    }
}

// Delivers a timer command: tests whether the receiving application of its
// device is alive, posts the job into the mailbox the application watches,
// and starts the application with the job on its command line when it is not
// alive. The exit code says whether the job reached the application.
void COrvaneApp::StartCmdlineProcess(LPCSTR pszText, int nLength)
{
    SetExitCode(exitUnusable);
    if (pszText == NULL || nLength <= 0)
        return;

    // The text itself may hold the key: the journal gets its length only.
    CString strAsked;
    strAsked.Format("timer command of %d characters", nLength);
    m_record.SetAsked(strAsked);
    CInstanceCheck check;
    if (!StoreCmdLine(pszText, nLength))
    {
        m_record.Note("unusable: too long");
        return;
    }
    CCmdLineParams params;
    if (!ParseCmdLine(m_szCmdLine, &params, TRUE, FALSE))
    {
        Trace("Tickward::StartCmdlineProcess() ParseCmdLine() failed!");
        m_record.Note("unusable: does not parse");
        return;
    }
    m_record.SetAsked("timer " + params.Describe());

    CDeliveryResult result;
    if (!PostSerialised(params, check, result))
    {
        SetExitCode(result.m_nExitCode);
        return;
    }
    if (result.m_bAlive)
    {
        m_record.Note("not started");
        SetExitCode(result.m_bPosted ? exitDone : exitNotDelivered);
        return;
    }
    // No reader takes a job from the mailbox of a dead application: only
    // an application started with it has it.
    SetExitCode(StartApplication(params.m_strAppPath, result.m_strCmdLine) ? exitDone : exitNotDelivered);
}

// Keeps the received command in m_szCmdLine, always terminated. A command
// cut to fit could parse with a wrong value (a shorter file name, a smaller
// number), so one that does not fit is refused whole.
BOOL COrvaneApp::StoreCmdLine(LPCSTR pszText, int nLength)
{
    ZeroMemory(m_szCmdLine, sizeof(m_szCmdLine));
    if (nLength >= CMDLINE_BUFFER_SIZE)
    {
        LogDebug("Tickward::StartCmdlineProcess() CmdLine too long!");
        return FALSE;
    }
    lstrcpynA(m_szCmdLine, pszText, nLength + 1);
    return m_szCmdLine[0] != '\0';
}

// The liveness test and the post run under the delivery mutex. A run that
// waited for it in vain goes ahead unserialised rather than lose the job.
// A product without a heartbeat table is refused before the mutex is taken:
// its refusal shows a message box, and unattended nobody closes it, so the
// run would hold the mutex until the scheduler ends it, and every run
// meanwhile would wait and then go ahead unserialised.
BOOL COrvaneApp::PostSerialised(CCmdLineParams& params, CInstanceCheck& check, CDeliveryResult& result)
{
    if (ProductCode::Classify(params.m_strProduct) != ProductCode::classSupported)
        return PostTimerCommand(params, check, result);
    CMutex delivery(FALSE, GetDeliveryMutexName());
    const BOOL bSerialised = delivery.Lock(DELIVERY_LOCK_TIMEOUT);
    const BOOL bTried = PostTimerCommand(params, check, result);
    if (bSerialised)
        delivery.Unlock();
    return bTried;
}

// Tests whether the application is alive and posts the job into its
// mailbox. TRUE when the mailbox was tried (result.m_bPosted says whether
// the job is in it); FALSE, with the run's exit code in the result, when the
// delivery ends before: nothing posted then, and nothing to start.
BOOL COrvaneApp::PostTimerCommand(CCmdLineParams& params, CInstanceCheck& check, CDeliveryResult& result)
{
    return TestLiveness(params, check, result) && PostToMailbox(params, result);
}

BOOL COrvaneApp::TestLiveness(CCmdLineParams& params, CInstanceCheck& check, CDeliveryResult& result)
{
    result.m_nExitCode = exitUnusable;
    if (!check.Init(params.m_strProduct))
    {
        Trace("Tickward::StartCmdlineProcess() InstanceCheck Init() failed!");
        NoteRefusedProduct(params.m_strProduct);
        return FALSE;
    }
    const int nIndex = params.GetDeviceIndex(0);
    const int nType = params.GetDeviceType(0);
    if (nIndex < 0 || nType < 0)
    {
        Trace("Tickward::StartCmdlineProcess() Invalid Device Type+Index");
        m_record.Note("unusable: invalid device");
        return FALSE;
    }
    if (!check.CheckInstance(HeartbeatTable::GetCategory(nType), nIndex, result.m_bAlive))
    {
        Trace("Tickward::StartCmdlineProcess() CheckInstance() failed!");
        // An index the table has no counter for is a wrong command; anything
        // else is a failed liveness test.
        const BOOL bKnownIndex = HeartbeatTable::IsValidIndex(nIndex);
        m_record.Note(bKnownIndex ? "liveness test failed" : "unusable: device index beyond the table");
        if (bKnownIndex)
            result.m_nExitCode = exitNotDelivered;
        return FALSE;
    }
    m_record.Note(result.m_bAlive ? "alive" : "not alive");
    return TRUE;
}

BOOL COrvaneApp::PostToMailbox(CCmdLineParams& params, CDeliveryResult& result)
{
    CString strKey;
    if (!CCmdLineProcess::GetRegistryKey(params.m_strProduct, strKey))
    {
        Trace("Tickward::StartCmdlineProcess() GetRegistryKey() fail!");
        m_record.Note("no mailbox key");
        result.m_nExitCode = exitNotDelivered;
        return FALSE;
    }
    BuildRegistryCmdLine(&params, result.m_strCmdLine);
    CMailboxWriter writer;
    result.m_bPosted = writer.Post(strKey, result.m_strCmdLine);
    NotePost(writer);
    return TRUE;
}

void COrvaneApp::NoteRefusedProduct(LPCSTR pszProduct)
{
    m_record.Note(ProductCode::Classify(pszProduct) == ProductCode::classWithoutMailbox
                      ? "unusable: product without a mailbox"
                      : "unusable: unknown product");
}

void COrvaneApp::NotePost(const CMailboxWriter& writer)
{
    switch (writer.m_nResult)
    {
    case CMailboxWriter::resultWritten:
        m_record.Note("slot " + writer.m_strSlot);
        break;
    case CMailboxWriter::resultTooLong:
        m_record.Note("no slot: too long for the mailbox");
        break;
    case CMailboxWriter::resultFull:
        m_record.Note("no slot: mailbox full");
        break;
    default:
        m_record.Note("no slot: write failed");
        break;
    }
}

// The path is quoted: unquoted, a path with blanks lets the system try a
// shorter program name first ("E:\TV.exe" for "E:\TV App\tvapp.exe") and the
// started application would cut its command tail inside the path.
// A double quote inside the path would end the quoted program name early
// ("E:\TV App\tv"app.exe" runs "E:\TV App\tv.exe"); no file name holds one,
// so such a path is not started at all.
BOOL COrvaneApp::StartApplication(const CString& strAppPath, const CString& strCmdLine)
{
    CString strFailure = "start failed: a double quote in the path";
    if (strAppPath.Find('"') < 0)
    {
        CString strLaunch;
        strLaunch.Format("\"%s\" %s", static_cast<LPCSTR>(strAppPath), static_cast<LPCSTR>(strCmdLine));
        if (RunProgram(strLaunch) == 0)
        {
            m_record.Note("started");
            return TRUE;
        }
        strFailure.Format("start failed (error %lu)", m_dwStartError);
    }
    LogDebug("Tickward::StartCmdlineProcess() Could't start %s", static_cast<LPCSTR>(strAppPath));
    m_record.Note(strFailure);
    return FALSE;
}

// Returns 0 when the process was created, 1 when it was not; then
// m_dwStartError holds the Windows error.
int COrvaneApp::RunProgram(LPCSTR pszCommandLine)
{
    // CreateProcessA may write into its command line, so it gets a private
    // copy sized to the command.
    CString strBuffer(pszCommandLine);
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof(process));
    if (!CreateProcessA(NULL, strBuffer.GetBuffer(strBuffer.GetLength()), NULL, NULL, FALSE, 0, NULL,
                        NULL, &startup, &process))
    {
        m_dwStartError = ::GetLastError();
        return 1;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
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
    WriteRequestToJournal("standby requested");
    if (IsWindowsNT())
        EnableShutdownPrivilege();
    m_pPowerApi->SetSystemPowerState(TRUE, FALSE);
}

void COrvaneApp::DoShutdown()
{
    LogDebug("## SHUTDOWN ##");
    WriteRequestToJournal("shutdown requested");
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
    WriteRequestToJournal("hibernate requested");
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

// The machine may be gone once the request is made: its line goes first.
void COrvaneApp::WriteRequestToJournal(LPCSTR pszRequest)
{
    m_record.Note(pszRequest);
    m_record.Write(m_nExitCode);
}

CPowerApi* COrvaneApp::SetPowerApi(CPowerApi* pPowerApi)
{
    CPowerApi* pOld = m_pPowerApi;
    m_pPowerApi = pPowerApi != NULL ? pPowerApi : &g_realPowerApi;
    return pOld;
}
