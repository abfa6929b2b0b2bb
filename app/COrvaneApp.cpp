// COrvaneApp.cpp - entry into Tickward's own logic and the switch between
// power commands and timer commands.
#include "app/COrvaneApp.h"

#include <string.h>

#include "afx/afxmt.h"
#include "app/CDeliveryOutcome.h"
#include "app/CPowerApi.h"
#include "app/CRecordingWait.h"
#include "app/CStartRecord.h"
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
#include "mailbox/MailboxLayout.h"

namespace
{
CPowerApi g_realPowerApi;
}

COrvaneApp::COrvaneApp()
    : CWinApp(NULL),
      m_dwStartWindow(START_WINDOW),
      m_dwDeliveryLockTimeout(DELIVERY_LOCK_TIMEOUT),
      m_dwSettleTime(CRecordingWait::SETTLE_TIME),
      m_nExitCode(exitDone),
      m_dwStartError(ERROR_SUCCESS),
      m_dwStartedProcessId(0),
      m_pPowerApi(&g_realPowerApi)
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
    const BOOL bPowerAction = nCode >= 2 && nCode <= 4;
    if (bPowerAction && !AwaitRecordings())
        return;
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
// alive, unless it is still starting. The exit code says whether the job
// reached the application.
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

    CDeliveryOutcome outcome;
    DeliverSerialised(params, check, outcome);
    if (outcome.m_nLiveness == CDeliveryOutcome::livenessStarting)
        AwaitStart(params, check, outcome);
    const char* pszNote = NULL;
    SetExitCode(outcome.Decide(pszNote));
    if (pszNote != NULL)
        m_record.Note(pszNote);
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

// The liveness test, the post and a launch run under the delivery mutex. A
// run that waited for it in vain goes ahead unserialised rather than lose
// the job, but leaves the heartbeat table as it is: its clearing between
// another run's two readings would make a live application look dead, and
// a second copy would start. A product without a heartbeat table is refused
// before the mutex is taken: its refusal shows a message box, and
// unattended nobody closes it, so the run would hold the mutex until the
// scheduler ends it, and every run meanwhile would wait in vain.
void COrvaneApp::DeliverSerialised(CCmdLineParams& params, CInstanceCheck& check, CDeliveryOutcome& outcome)
{
    if (ProductCode::Classify(params.m_strProduct) != ProductCode::classSupported)
    {
        Deliver(params, check, outcome, FALSE);
        return;
    }
    CMutex delivery(FALSE, MailboxLayout::GetDeliveryMutexName());
    CSingleLock lock(&delivery);
    Deliver(params, check, outcome, lock.Lock(m_dwDeliveryLockTimeout));
}

// A dead application is started here, under the delivery mutex, and its
// start recorded: the next run then finds it starting instead of starting a
// second copy. One that is starting already is waited for later, outside.
void COrvaneApp::Deliver(CCmdLineParams& params, CInstanceCheck& check, CDeliveryOutcome& outcome,
                         BOOL bSerialised)
{
    if (!TestLiveness(params, check, outcome, bSerialised) || !PostToMailbox(params, outcome)
        || outcome.m_nLiveness == CDeliveryOutcome::livenessAlive)
        return;
    if (outcome.IsPosted() && StartRecordOf(params).IsStarting(m_dwStartWindow))
    {
        outcome.m_nLiveness = CDeliveryOutcome::livenessStarting;
        m_record.Note("starting");
        return;
    }
    Launch(params, outcome);
}

// The job waits in the mailbox of an application that is starting: its
// first heartbeat means its reader will take it. After a wake-up many runs
// wait for one copy, and its window ends for all of them at once: they
// decide one by one under the delivery mutex. The first starts a copy with
// its job on the command line, as for any dead application; that copy is
// starting for the others, who wait for it too. A run gives up when that
// second copy shows no heartbeat in its window either: the job waits in the
// mailbox, and more copies would only fight for the tuner.
void COrvaneApp::AwaitStart(CCmdLineParams& params, CInstanceCheck& check, CDeliveryOutcome& outcome)
{
    const CStartRecord start = StartRecordOf(params);
    DWORD dwCopy = start.GetStarting(m_dwStartWindow);
    for (int nCopies = 1; nCopies <= 2; ++nCopies)
    {
        if (dwCopy != 0 && AwaitHeartbeat(params, check, dwCopy))
        {
            outcome.m_nLiveness = CDeliveryOutcome::livenessStarted;
            return;
        }
        CMutex delivery(FALSE, MailboxLayout::GetDeliveryMutexName());
        CSingleLock lock(&delivery);
        lock.Lock(m_dwDeliveryLockTimeout);
        dwCopy = start.GetStarting(m_dwStartWindow);
        if (dwCopy == 0 && IsAlive(params, check))
        {
            outcome.m_nLiveness = CDeliveryOutcome::livenessStarted;
            return;
        }
        if (dwCopy == 0 && nCopies == 1)
        {
            m_record.Note("no heartbeat in time");
            Launch(params, outcome);
            return;
        }
    }
    m_record.Note("no heartbeat in time from two copies");
}

// TRUE when the heartbeat came while dwCopy was the device's starting
// application; FALSE when its window ended, it ended first, or the counter
// could not be read (then at once: a failed reading takes no sample pause).
BOOL COrvaneApp::AwaitHeartbeat(CCmdLineParams& params, CInstanceCheck& check, DWORD dwCopy)
{
    const CStartRecord start = StartRecordOf(params);
    const int nCategory = HeartbeatTable::GetCategory(params.GetDeviceType(0));
    while (start.GetStarting(m_dwStartWindow) == dwCopy)
    {
        int bAlive = 0;
        if (!check.CheckInstance(nCategory, params.GetDeviceIndex(0), bAlive))
            return FALSE;
        if (bAlive)
            return TRUE;
    }
    return FALSE;
}

BOOL COrvaneApp::IsAlive(CCmdLineParams& params, CInstanceCheck& check)
{
    int bAlive = 0;
    return check.CheckInstance(HeartbeatTable::GetCategory(params.GetDeviceType(0)), params.GetDeviceIndex(0),
                               bAlive)
           && bAlive;
}

BOOL COrvaneApp::TestLiveness(CCmdLineParams& params, CInstanceCheck& check, CDeliveryOutcome& outcome,
                               BOOL bClear)
{
    outcome.m_nLiveness = CDeliveryOutcome::livenessUnusable;
    if (!check.Init(params.m_strProduct, bClear))
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
    int bAlive = 0;
    if (!check.CheckInstance(HeartbeatTable::GetCategory(nType), nIndex, bAlive))
    {
        Trace("Tickward::StartCmdlineProcess() CheckInstance() failed!");
        // An index the table has no counter for is a wrong command; anything
        // else is a failed liveness test.
        const BOOL bKnownIndex = HeartbeatTable::IsValidIndex(nIndex);
        m_record.Note(bKnownIndex ? "liveness test failed" : "unusable: device index beyond the table");
        if (bKnownIndex)
            outcome.m_nLiveness = CDeliveryOutcome::livenessFailed;
        return FALSE;
    }
    outcome.m_nLiveness = bAlive ? CDeliveryOutcome::livenessAlive : CDeliveryOutcome::livenessDead;
    m_record.Note(bAlive ? "alive" : "not alive");
    return TRUE;
}

BOOL COrvaneApp::PostToMailbox(CCmdLineParams& params, CDeliveryOutcome& outcome)
{
    CString strKey;
    if (!CCmdLineProcess::GetRegistryKey(params.m_strProduct, strKey))
    {
        Trace("Tickward::StartCmdlineProcess() GetRegistryKey() fail!");
        m_record.Note("no mailbox key");
        outcome.m_nPost = CDeliveryOutcome::postNoKey;
        return FALSE;
    }
    BuildRegistryCmdLine(&params, outcome.m_strCmdLine);
    CMailboxWriter writer;
    writer.Post(strKey, outcome.m_strCmdLine);
    outcome.m_nPost = NotePost(writer);
    return TRUE;
}

void COrvaneApp::Launch(CCmdLineParams& params, CDeliveryOutcome& outcome)
{
    if (!StartApplication(params.m_strAppPath, outcome.m_strCmdLine))
    {
        outcome.m_nLaunch = CDeliveryOutcome::launchFailed;
        return;
    }
    outcome.m_nLaunch = CDeliveryOutcome::launchStarted;
    StartRecordOf(params).Write(m_dwStartedProcessId);
}

CStartRecord COrvaneApp::StartRecordOf(CCmdLineParams& params)
{
    return CStartRecord(HeartbeatTable::GetCategory(params.GetDeviceType(0)), params.GetDeviceIndex(0));
}

void COrvaneApp::NoteRefusedProduct(LPCSTR pszProduct)
{
    m_record.Note(ProductCode::Classify(pszProduct) == ProductCode::classWithoutMailbox
                      ? "unusable: product without a mailbox"
                      : "unusable: unknown product");
}

int COrvaneApp::NotePost(const CMailboxWriter& writer)
{
    switch (writer.m_nResult)
    {
    case CMailboxWriter::resultWritten:
        m_record.Note("slot " + writer.m_strSlot);
        return CDeliveryOutcome::postWritten;
    case CMailboxWriter::resultAlreadyWaiting:
        m_record.Note("already waiting in slot " + writer.m_strSlot);
        return CDeliveryOutcome::postWaiting;
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
    return CDeliveryOutcome::postNoSlot;
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

// Returns 0 when the process was created (m_dwStartedProcessId is its id),
// 1 when it was not; then m_dwStartError holds the Windows error.
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
    m_dwStartedProcessId = process.dwProcessId;
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

// A recording declared by a receiving application is not cut: the request
// waits for its end, and is not made when PowerWaitLimit runs out first, or
// when the machine slept meanwhile. The last look at the declarations comes
// right before the request.
BOOL COrvaneApp::AwaitRecordings()
{
    // The exit code of each outcome of the wait, by CRecordingWait::Outcome.
    static const int s_anExitCodes[] = { exitDone, exitRecording, exitSlept };
    CRecordingWait wait(m_pPowerApi, m_dwStartWindow);
    wait.m_dwSettle = m_dwSettleTime;
    const int nOutcome = wait.Wait(m_record);
    if (nOutcome == CRecordingWait::outcomeRequest)
        return TRUE;
    SetExitCode(s_anExitCodes[nOutcome]);
    return FALSE;
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
