// CCmdLineProcess.cpp - the reading end of the registry command mailbox.
#include "mailbox/CCmdLineProcess.h"

#include "afx/AfxMessageBox.h"
#include "cmdline/CCmdLineParams.h"
#include "cmdline/ParseCmdLine.h"
#include "cmdline/ProductCode.h"
#include "instance/CDeviceClaim.h"
#include "instance/CHeartbeat.h"
#include "log/Log.h"
#include "mailbox/CMailboxWriter.h"
#include "mailbox/CRegistry.h"
#include "mailbox/MailboxLayout.h"
#include "thread/WaitAnswering.h"

PFN_REGISTRYCALLBACK g_RegistryCallback = NULL;

namespace
{
const WORD DEVICE_NONE = 0xFFFF;
// A stop from the destructor waits this long for the worker at a time.
const DWORD DESTROY_STOP_TIMEOUT = 200;
// A stop whose delivery wait used up its time still gives the worker this.
const DWORD MIN_WORKER_WAIT = 100;
}

CCmdLineProcess::CCmdLineProcess()
    : m_bBusy(FALSE),
      m_hRegKey(NULL),
      m_pRegistryChangeEvent(NULL),
      m_bStop(FALSE),
      m_wDeviceType(DEVICE_NONE),
      m_wDeviceIndex(DEVICE_NONE),
      m_pHeartbeat(NULL),
      m_pClaim(NULL),
      m_evStopAsked(FALSE, TRUE),
      m_evMarked(FALSE, TRUE),
      m_bHandOverAtStop(FALSE),
      m_bStopOnWorker(FALSE),
      m_bWorkerHeld(FALSE),
      m_bMarkFailed(FALSE)
{
}

CCmdLineProcess::~CCmdLineProcess()
{
    // The worker may be waiting on the event that goes now: it ends first.
    // One held up in the application's callback is never killed, and it
    // still uses this object: it is waited for.
    while (StopReader(DESTROY_STOP_TIMEOUT) == stopWorkerHeld)
        ;
    if (m_pRegistryChangeEvent != NULL)
    {
        delete m_pRegistryChangeEvent;
        m_pRegistryChangeEvent = NULL;
    }
    CloseRegistry();
}

BOOL CCmdLineProcess::GetRegistryKey(const CString& strProduct, CString& strKey)
{
    strKey.Empty();
    switch (ProductCode::Classify(strProduct))
    {
    case ProductCode::classSupported:
        strKey = MailboxLayout::KEY;
        return TRUE;
    case ProductCode::classWithoutMailbox:
        AfxMessageBox("CCmdLineProcess::GetRegistryKey() Hier fehlt noch was!", MB_OK);
        return FALSE;
    default:
        AfxMessageBox("CCmdLineProcess::GetRegistryKey() Unknow Product!", MB_OK);
        return FALSE;
    }
}

int CCmdLineProcess::StopReader(DWORD dwTimeout)
{
    const DWORD dwStart = ::GetTickCount();
    if (m_bWorkerHeld)
        return WaitForWorker(dwStart, dwTimeout);
    // Set before the state changes: a worker that sees itself stopping
    // must find the hand-over asked for.
    m_bHandOverAtStop = TRUE;
    m_bStop = TRUE;
    m_evStopAsked.SetEvent();
    if (m_pRegistryChangeEvent != NULL)
        ::SetEvent(m_pRegistryChangeEvent->m_hObject);
    switch (AskStop())
    {
    case askedWorker:
        m_bStopOnWorker = TRUE;
        return stopAsked;
    case askedOther:
        EndAndMark();
        m_evMarked.SetEvent();
        return WaitForWorker(dwStart, dwTimeout);
    default:
        // Nothing marked: a worker on its way out does not wait for marks.
        m_evMarked.SetEvent();
        return stopNotRunning;
    }
}

int CCmdLineProcess::Run()
{
    for (;;)
    {
        if (!IsRunning() && m_bStop)
        {
            HandOverAtStop();
            LogTagged("Exit the RegistryChangeEvent Thread!!!");
            return 0;
        }
        if (!WaitForChange())
        {
            Pause(IDLE_PAUSE);
            continue;
        }
        if (m_pRegistryChangeEvent == NULL)
            continue;
        if (!IsRunning() || m_bStop)
        {
            HandOverAtStop();
            LogTagged("+ + + Close RegistryChangeEvent Thread! + + +");
            return 0;
        }
        CheckRegistryComanndos();
        Pause(REARM_PAUSE);
        SetRegistryNotifyOn();
        LogTagged("+ + + RegistryChangeEvent + + +");
    }
}

void CCmdLineProcess::CheckRegistryComanndos()
{
    if (m_bBusy || m_pRegistryChangeEvent == NULL)
    {
        LogSilent("CCmdLineProcess::CheckRegistryComanndos() Invalid Pointer");
        LogTagged("CCmdLineProcess::CheckRegistryComanndos() Invalid Pointer");
        return;
    }
    m_bBusy = TRUE;
    CString strCmdLine;
    BOOL bAllTaken = FALSE;     // the last scan found no job left for this device
    // Once a stop is asked, the jobs left go to its hand-over, which takes
    // them under the delivery mutex.
    while (!m_bHandOverAtStop)
    {
        if (!GetCommandLineA(strCmdLine))
        {
            bAllTaken = !m_bMarkFailed;
            break;
        }
        Keep(strCmdLine);
        if (m_marked.TakeNext(strCmdLine))
            HandOver(strCmdLine, TRUE);
    }
    DeleteAllRegistryKeys();
    // A job whose mark failed is still there and the re-arming finds it:
    // it is tried again no sooner than a job's pause from now.
    if (m_bMarkFailed)
    {
        m_bMarkFailed = FALSE;
        Pause(COMMAND_PAUSE);
    }
    // The event is not reset here: a drain run by another thread than the
    // worker may have fired the armed notification with its own marks, and
    // clearing that would leave the worker waiting on a notification that
    // can never fire again. The worker resets before it arms anew.
    m_bBusy = FALSE;
    if (bAllTaken)
    {
        m_startJob.Forget();
        OnDrainEnd();
    }
}

BOOL CCmdLineProcess::GetCommandLineA(CString& strCmdLine)
{
    CRegistry registry;
    // Taken or not after its wait, the scan goes on: a stale lock of a
    // crashed writer must not block the mailbox.
    registry.LockKey(m_strRegistryKey, TRUE);
    BOOL bTaken = FALSE;
    for (int nSlot = MailboxLayout::FIRST_SLOT; nSlot <= MailboxLayout::LAST_SLOT && !bTaken; ++nSlot)
    {
        const CString strSlot = MailboxLayout::GetSlotName(nSlot);
        if (registry.ReadString(m_strRegistryKey, strSlot, strCmdLine)
            && strCmdLine != MailboxLayout::CONSUMED_MARK && IsValidCmdLine(strCmdLine))
        {
            bTaken = MarkConsumed(registry, strSlot);
            if (!bTaken)
                NoteUnmarked(strSlot, strCmdLine);
        }
    }
    registry.UnlockKey(m_strRegistryKey, TRUE);
    if (!bTaken)
    {
        LogTagged("CCmdLineProcess::GetCommandLine() failed! Give no valid Cmdline back!");
        return FALSE;
    }
    return TRUE;
}

BOOL CCmdLineProcess::IsValidCmdLine(LPCSTR pszCmdLine)
{
    BOOL bParsed = FALSE;
    if (IsForThisDevice(pszCmdLine, bParsed))
        return TRUE;
    if (!bParsed)
        LogTagged("CCmdLineProcess::IsValidCmdLine() ParseCmdLine() failed!");
    LogTagged("CCmdLineProcess::IsValidCmdLine() No Valid Cmdline found! Other Hardware? Cmdline: %s",
              pszCmdLine != NULL ? pszCmdLine : "");
    return FALSE;
}

BOOL CCmdLineProcess::IsForThisDevice(LPCSTR pszCmdLine, BOOL& bParsed) const
{
    CCmdLineParams params;
    bParsed = ParseCmdLine(pszCmdLine, &params, FALSE, TRUE);
    // Widened without sign: a malformed list (-1) and the unset 0xFFFF never
    // match.
    return bParsed && params.GetDeviceType(0) == static_cast<int>(m_wDeviceType)
           && params.GetDeviceIndex(0) == static_cast<int>(m_wDeviceIndex);
}

// Reads only, without the lock: setting "Lock" would fire the notification
// just armed, and the loop would go round for ever.
BOOL CCmdLineProcess::HasJobWaiting() const
{
    CRegistry registry;
    for (int nSlot = MailboxLayout::FIRST_SLOT; nSlot <= MailboxLayout::LAST_SLOT; ++nSlot)
    {
        CString strText;
        BOOL bParsed = FALSE;
        if (registry.ReadString(m_strRegistryKey, MailboxLayout::GetSlotName(nSlot), strText)
            && strText != MailboxLayout::CONSUMED_MARK && IsForThisDevice(strText, bParsed))
            return TRUE;
    }
    return FALSE;
}

void CCmdLineProcess::DeleteAllRegistryKeys()
{
    CRegistry registry;
    registry.LockKey(m_strRegistryKey, TRUE);
    for (int nSlot = MailboxLayout::FIRST_SLOT; nSlot <= MailboxLayout::LAST_SLOT; ++nSlot)
    {
        const CString strSlot = MailboxLayout::GetSlotName(nSlot);
        CString strText;
        if (registry.ReadString(m_strRegistryKey, strSlot, strText) && strText == MailboxLayout::CONSUMED_MARK)
        {
            LogTagged("CCmdLineProcess::DeleteAllRegistryKeys() Regkey: %s",
                      static_cast<LPCSTR>(m_strRegistryKey));
            registry.DeleteValue(m_strRegistryKey, strSlot);
        }
    }
    registry.UnlockKey(m_strRegistryKey, TRUE);
}

void CCmdLineProcess::SetRegistryNotifyOn()
{
    OpenRegistry();
    if (m_hRegKey == NULL)
    {
        LogSilent("CCmdLineProcess::SetRegistryNotifyOn() Error! Invalid Registryhandle");
        LogTagged("CCmdLineProcess::SetRegistryNotifyOn() Error! Invalid Registryhandle");
    }
    CSyncObject* pEvent = m_pRegistryChangeEvent;
    if (pEvent == NULL)
        return;
    // Reset before arming, so that a change after the arming always wakes
    // the loop. This clears what this round has already seen, the signal of
    // a refused drain, and the signal raised by closing the previous key
    // handle while it was still armed. Without a key there is nothing to
    // arm, but the signal is cleared all the same: left set, it would send
    // the loop round again at once, draining nothing, for ever.
    ::ResetEvent(pEvent->m_hObject);
    if (m_hRegKey != NULL)
        ArmNotification(m_hRegKey, pEvent->m_hObject);
    // The owner sets m_bStop before it signals; a signal cleared above (or
    // by the arming itself, which resets the event too) is given back, so
    // that the loop ends at once. A job posted after the drain's last scan
    // and before this arming fired no notification that anyone waits for:
    // without a signal it would wait for the next change of the mailbox,
    // perhaps for hours, while its recording time passes.
    if (m_bStop || HasJobWaiting())
        ::SetEvent(pEvent->m_hObject);
}

BOOL CCmdLineProcess::OpenRegistry()
{
    // One handle at a time: each re-arming replaces the previous one.
    CloseRegistry();
    HKEY hKey = NULL;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, m_strRegistryKey, 0, KEY_ALL_ACCESS, &hKey) == ERROR_SUCCESS)
    {
        m_hRegKey = hKey;
        return TRUE;
    }
    hKey = NULL;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, m_strRegistryKey, 0, NULL, REG_OPTION_NON_VOLATILE,
                          KEY_ALL_ACCESS, NULL, &hKey, NULL) != ERROR_SUCCESS)
    {
        m_hRegKey = NULL;
        LogSilent("CCmdLineProcess::OpenRegistry() Error in RegOpenKeyEx.");
        LogTagged("CCmdLineProcess::OpenRegistry() Error in RegOpenKeyEx.");
        return FALSE;
    }
    m_hRegKey = hKey;
    LogTagged("CCmdLineProcess::OpenRegistry New Registrykey was created: %s",
              static_cast<LPCSTR>(m_strRegistryKey));
    return TRUE;
}

void CCmdLineProcess::Pause(DWORD dwMilliseconds)
{
    ::WaitForSingleObject(m_evStopAsked.m_hObject, dwMilliseconds);
}

BOOL CCmdLineProcess::MarkConsumed(CRegistry& registry, LPCSTR pszSlot)
{
    return registry.WriteString(m_strRegistryKey, pszSlot, MailboxLayout::CONSUMED_MARK);
}

void CCmdLineProcess::OnCommand(CCmdLineParams* pParams)
{
    if (g_RegistryCallback != NULL)
    {
        LogTagged("CCmdLineProcess::CheckRegistryComanndos() Send a new Event to MainFrame");
        g_RegistryCallback(pParams);
    }
    else
    {
        LogTagged("CCmdLineProcess::CheckRegistryComanndos() g_RegistryCallback = NULL");
    }
}

void CCmdLineProcess::OnStartJobCopy(CCmdLineParams* /*pParams*/)
{
    LogTagged("CCmdLineProcess: the mailbox copy of the start job is dropped");
}

void CCmdLineProcess::OnDrainEnd()
{
}

// An unmarked job would be handed over again at every pause, for ever: it
// stays where it is, and is reported once, however often it is tried.
void CCmdLineProcess::NoteUnmarked(LPCSTR pszSlot, const CString& strCmdLine)
{
    m_bMarkFailed = TRUE;
    if (strCmdLine == m_strUnmarked)
        return;
    m_strUnmarked = strCmdLine;
    LogTagged("CCmdLineProcess::GetCommandLine() Slot %s could not be marked, left for later: %s", pszSlot,
              static_cast<LPCSTR>(strCmdLine));
}

LONG CCmdLineProcess::ArmNotification(HKEY hKey, HANDLE hEvent)
{
    return ::RegNotifyChangeKeyValue(hKey, FALSE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET,
                                     hEvent, TRUE);
}

BOOL CCmdLineProcess::WaitForChange()
{
    CSyncObject* pEvent = m_pRegistryChangeEvent;
    return pEvent != NULL && ::WaitForSingleObject(pEvent->m_hObject, INFINITE) == WAIT_OBJECT_0;
}

void CCmdLineProcess::HandOver(const CString& strCmdLine, BOOL bPause)
{
    CCmdLineParams params;
    const BOOL bParsed = ParseCmdLine(strCmdLine, &params, FALSE, FALSE);
    if (!bParsed)
    {
        // Already marked: deleted with the others at the end of the drain.
        LogSilent("CCmdLineProcess::CheckRegistryComanndos() Error in ParseCmdLine(%s)",
                  static_cast<LPCSTR>(strCmdLine));
        LogTagged("CCmdLineProcess::CheckRegistryComanndos() Error in ParseCmdLine(%s)",
                  static_cast<LPCSTR>(strCmdLine));
        return;
    }
    if (m_startJob.IsCopy(params))
    {
        OnStartJobCopy(&params);
        return;
    }
    OnCommand(&params);
    if (bPause)
        Pause(COMMAND_PAUSE);
}

// The last act of a reader asked to stop by StopReader: the jobs marked at
// the stop are handed over, unless the stop has put them back meanwhile.
void CCmdLineProcess::HandOverAtStop()
{
    if (!m_bHandOverAtStop)
        return;
    if (m_bStopOnWorker)
        EndAndMark();
    else
        ::WaitForSingleObject(m_evMarked.m_hObject, INFINITE);
    CString strCmdLine;
    while (m_marked.TakeNext(strCmdLine))
        HandOver(strCmdLine, FALSE);
    DeleteAllRegistryKeys();
}

// The first half of a stop. While the delivery mutex is held no run is
// between its liveness test and its post: every job a run posted for this
// application is in the mailbox now, and every run after the heartbeat's
// end finds the application dead and starts a new copy, whose jobs this
// reader must leave alone. So the heartbeat ends and this device's last
// jobs are marked under the mutex. The claim goes with the heartbeat: that
// new copy must be able to serve the device.
void CCmdLineProcess::EndAndMark()
{
    CMutex delivery(FALSE, MailboxLayout::GetDeliveryMutexName());
    const DWORD dwWait =
        delivery.m_hObject != NULL ? WaitAnswering(delivery.m_hObject, STOP_DELIVERY_WAIT) : WAIT_FAILED;
    if (m_pHeartbeat != NULL)
        m_pHeartbeat->Stop();
    if (m_pClaim != NULL)
        m_pClaim->Release();
    CString strCmdLine;
    // Bounded: without the mutex, runs may post while the jobs are marked.
    for (int i = 0; i < CMarkedJobs::CAPACITY && GetCommandLineA(strCmdLine); ++i)
        Keep(strCmdLine);
    if (dwWait == WAIT_OBJECT_0 || dwWait == WAIT_ABANDONED)
        delivery.Unlock();
}

// A job just marked joins the ones to hand over, or goes back at once when
// a stop is putting them back.
void CCmdLineProcess::Keep(const CString& strCmdLine)
{
    if (!m_marked.Add(strCmdLine))
        PutBack(strCmdLine);
}

// A job the application was never given goes back into the mailbox, where
// the device's next reader takes it. The start job's copy does not: the
// application has its job from the command line.
void CCmdLineProcess::PutBack(const CString& strCmdLine)
{
    CCmdLineParams params;
    if (!ParseCmdLine(strCmdLine, &params, FALSE, FALSE) || m_startJob.IsCopy(params))
        return;
    CMailboxWriter writer;
    if (writer.Post(m_strRegistryKey, strCmdLine))
        LogTagged("CCmdLineProcess: job put back for the next reader: %s", static_cast<LPCSTR>(strCmdLine));
    else
        LogTagged("CCmdLineProcess: job could not be put back, it is lost: %s", static_cast<LPCSTR>(strCmdLine));
}

// The second half of a stop on another thread than the worker.
int CCmdLineProcess::WaitForWorker(DWORD dwStart, DWORD dwTimeout)
{
    HANDLE hThread = NULL;
    m_csLock.Lock();
    if (m_pThread != NULL)
        hThread = m_pThread->m_hThread;
    m_csLock.Unlock();
    const DWORD dwElapsed = ::GetTickCount() - dwStart;
    const DWORD dwLeft = dwElapsed + MIN_WORKER_WAIT < dwTimeout ? dwTimeout - dwElapsed : MIN_WORKER_WAIT;
    m_bWorkerHeld = hThread != NULL && WaitAnswering(hThread, dwLeft) == WAIT_TIMEOUT;
    if (!m_bWorkerHeld)
    {
        LogSilent("ThreadEndTime = %d [%d] !", static_cast<int>(::GetTickCount() - dwStart),
                  static_cast<int>(dwTimeout));
        return stopEnded;
    }
    CString astrJobs[CMarkedJobs::CAPACITY];
    const int nJobs = m_marked.TakeForPutBack(astrJobs);
    for (int i = 0; i < nJobs; ++i)
        PutBack(astrJobs[i]);
    return stopWorkerHeld;
}

void CCmdLineProcess::CloseRegistry()
{
    // Closing a handle with an armed notification signals the event; the
    // re-arming resets it afterwards.
    if (m_hRegKey != NULL)
    {
        ::RegCloseKey(m_hRegKey);
        m_hRegKey = NULL;
    }
}
