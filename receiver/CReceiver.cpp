// CReceiver.cpp - the example receiving application.
#include "receiver/CReceiver.h"

#include "cmdline/ParseCmdLine.h"
#include "cmdline/ProductCode.h"
#include "instance/HeartbeatTable.h"
#include "receiver/ReceiverStop.h"
#include "recording/CRecording.h"

#include <stdio.h>

namespace
{
// The stop's bound, its wait for the runs that test the heartbeat included.
const DWORD READER_STOP_TIMEOUT = 60000;
}

CReceiver* CReceiver::s_pReceiver = NULL;

CReceiver::CReceiver(int nDeviceType, int nDeviceIndex, DWORD dwJobPause, LPCSTR pszLog)
    : m_dwRecord(0), m_nDeviceType(nDeviceType), m_nDeviceIndex(nDeviceIndex),
      m_evStop(FALSE, TRUE, ReceiverStop::GetEventName(nDeviceType, nDeviceIndex))
{
    m_reader.m_dwCommandPause = dwJobPause;
    m_strLogPath = pszLog != NULL ? CString(pszLog) : GetDefaultLogPath(nDeviceType, nDeviceIndex);
}

CString CReceiver::GetDefaultLogPath(int nDeviceType, int nDeviceIndex)
{
    typedef HRESULT(WINAPI * PFN_SHGETFOLDERPATHA)(HWND, int, HANDLE, DWORD, LPSTR);
    const int CSIDL_LOCAL_APPDATA_ID = 0x001c;
    char szFolder[MAX_PATH] = { 0 };
    // Windows before Vista has no LOCALAPPDATA variable; its shell knows the folder.
    HMODULE hShell = LoadLibraryA("shell32.dll");
    PFN_SHGETFOLDERPATHA pfnGetFolderPath = hShell == NULL ? NULL : reinterpret_cast<PFN_SHGETFOLDERPATHA>(
        reinterpret_cast<void*>(GetProcAddress(hShell, "SHGetFolderPathA")));
    const DWORD dwLength = GetEnvironmentVariableA("LOCALAPPDATA", szFolder, MAX_PATH);
    const BOOL bFound = (dwLength > 0 && dwLength < MAX_PATH)
                        || (pfnGetFolderPath != NULL
                            && SUCCEEDED(pfnGetFolderPath(NULL, CSIDL_LOCAL_APPDATA_ID, NULL, 0, szFolder)));
    if (hShell != NULL)
        FreeLibrary(hShell);
    CString strPath;
    if (bFound)
    {
        strPath = CString(szFolder) + "\\Tickward";
        CreateDirectoryA(strPath, NULL);
        CString strName;
        strName.Format("\\receiver-%d-%d.log", nDeviceType, nDeviceIndex);
        return strPath + strName;
    }
    GetModuleFileNameA(NULL, szFolder, MAX_PATH - 1);
    return CString(szFolder) + ".log";
}

CReceiver::~CReceiver()
{
    StopReader();
}

BOOL CReceiver::SignalStop(int nDeviceType, int nDeviceIndex)
{
    HANDLE hEvent = OpenEventA(EVENT_MODIFY_STATE, FALSE, ReceiverStop::GetEventName(nDeviceType, nDeviceIndex));
    if (hEvent == NULL)
        return FALSE;
    const BOOL bSet = SetEvent(hEvent);
    CloseHandle(hEvent);
    return bSet;
}

void CReceiver::RequestStop()
{
    m_evStop.SetEvent();
}

int CReceiver::Run(LPCSTR pszJob)
{
    if (m_evStop.m_hObject == NULL)
        return exitFailed;
    // Before anything of the device is touched: its stop event is shared.
    if (!m_claim.Take(m_nDeviceType, m_nDeviceIndex))
    {
        CString strServed;
        strServed.Format("receiver: device type %d, index %d is served by another process", m_nDeviceType,
                         m_nDeviceIndex);
        Print(strServed);
        return exitServed;
    }
    if (!m_heartbeat.Start(HeartbeatTable::GetCategory(m_nDeviceType), m_nDeviceIndex))
    {
        Print("receiver: cannot open the heartbeat table");
        return exitFailed;
    }
    CString strStarted;
    strStarted.Format("receiver: serving device type %d, index %d", m_nDeviceType, m_nDeviceIndex);
    Print(strStarted);

    HandleCommandLineJob(pszJob);
    if (!StartReader())
    {
        Print("receiver: cannot start the mailbox reader");
        m_heartbeat.Stop();
        return exitFailed;
    }
    // Any stop since this receiver made its event counts, one asked during
    // the start too. It is taken here, so that the next receiver, which may
    // open this event while this process ends, does not see it.
    m_evStop.Lock(INFINITE);
    m_evStop.ResetEvent();
    StopReader();   // ends the heartbeat and gives the claim up too
    Print("receiver: stopped");
    return exitStopped;
}

// A job handed over on the command line is the mailbox text itself; the
// same job also waits in the mailbox, so the reader's first drain drops it.
void CReceiver::HandleCommandLineJob(LPCSTR pszJob)
{
    if (pszJob == NULL || *pszJob == '\0')
        return;
    CCmdLineParams params;
    if (!ParseCmdLine(pszJob, &params, FALSE, FALSE))
    {
        Print(CString("receiver: cannot read the job on the command line: ") + pszJob);
        return;
    }
    m_reader.m_startJob.Remember(params);
    HandleJob(params, "command line");
}

// Runs on the reader's worker thread.
void CReceiver::OnMailboxJob(CCmdLineParams* pParams)
{
    CReceiver* pThis = s_pReceiver;
    if (pThis != NULL && pParams != NULL)
        pThis->HandleJob(*pParams, "mailbox");
}

// Runs on the reader's worker thread.
void CReceiver::OnStartJobCopy(CCmdLineParams* /*pParams*/)
{
    CReceiver* pThis = s_pReceiver;
    if (pThis != NULL)
        pThis->Print("receiver: job from mailbox was handled already (command line)");
}

void CReceiver::HandleJob(CCmdLineParams& params, LPCSTR pszSource)
{
    params.GetDeviceCount();    // prints the device list trimmed, as the accessors read it
    CString strLine;
    strLine.Format("job from %s: devices=\"%s\" type=%d index=%d P=\"%s\" D=%d Key=\"%s\" File=\"%s\" "
                   "FM=%d TO=%d SO=%d EO=%d",
                   pszSource, static_cast<LPCSTR>(params.m_strDevices), params.GetDeviceType(0),
                   params.GetDeviceIndex(0), static_cast<LPCSTR>(params.m_strProduct), params.m_nD,
                   static_cast<LPCSTR>(params.m_strKey), static_cast<LPCSTR>(params.m_strFile), params.m_nFM,
                   params.m_nTO, params.m_nSO, params.m_nEO);
    Print(strLine);
    if (m_dwRecord > 0)
        Record(params.m_strFile);
}

namespace
{
// The recording thread may outlive the receiver object: it has copies.
struct SRecordRequest
{
    CString strLogPath;
    CString strFile;
    int nDeviceType;
    int nDeviceIndex;
    DWORD dwRecord;
};
}

void CReceiver::Record(const CString& strFile)
{
    SRecordRequest* pRequest = new SRecordRequest;
    pRequest->strLogPath = m_strLogPath;
    pRequest->strFile = strFile;
    pRequest->nDeviceType = m_nDeviceType;
    pRequest->nDeviceIndex = m_nDeviceIndex;
    pRequest->dwRecord = m_dwRecord;
    HANDLE hThread = CreateThread(NULL, 0, RecordThread, pRequest, 0, NULL);
    if (hThread == NULL)
    {
        delete pRequest;
        Print("receiver: cannot record " + strFile);
        return;
    }
    CloseHandle(hThread);
}

// The recording ends with its time, or with the process.
DWORD WINAPI CReceiver::RecordThread(LPVOID pParam)
{
    SRecordRequest* pRequest = static_cast<SRecordRequest*>(pParam);
    CRecording recording;
    CString strLine;
    if (recording.Begin(pRequest->nDeviceType, pRequest->nDeviceIndex, pRequest->strFile))
    {
        strLine.Format("receiver: recording %s for %lu ms", static_cast<LPCSTR>(pRequest->strFile), pRequest->dwRecord);
        PrintTo(pRequest->strLogPath, strLine);
        Sleep(pRequest->dwRecord);
        recording.End();
        PrintTo(pRequest->strLogPath, "receiver: recording ended: " + pRequest->strFile);
    }
    else
    {
        PrintTo(pRequest->strLogPath, "receiver: cannot declare the recording of " + pRequest->strFile);
    }
    delete pRequest;
    return 0;
}

void CReceiver::Print(const CString& strLine)
{
    PrintTo(m_strLogPath, strLine);
}

void CReceiver::PrintTo(const CString& strLogPath, const CString& strLine)
{
    printf("%s\n", static_cast<LPCSTR>(strLine));
    fflush(stdout);
    HANDLE hFile = CreateFileA(strLogPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return;
    DWORD dwWritten = 0;
    WriteFile(hFile, static_cast<LPCSTR>(strLine), strLine.GetLength(), &dwWritten, NULL);
    WriteFile(hFile, "\r\n", 2, &dwWritten, NULL);
    CloseHandle(hFile);
}

// Configures the reader for this device and starts it on its worker thread.
// The starter signals the event once, so the first round takes what already
// waits in the mailbox and arms the change notification on the worker.
BOOL CReceiver::StartReader()
{
    CString strKey;
    if (!CCmdLineProcess::GetRegistryKey(ProductCode::SUPPORTED, strKey))
        return FALSE;
    CEvent* pEvent = new CEvent(FALSE, TRUE);
    if (pEvent->m_hObject == NULL)
    {
        delete pEvent;
        return FALSE;
    }
    m_reader.m_pRegistryChangeEvent = pEvent;   // the reader owns it from here on
    m_reader.m_strRegistryKey = strKey;
    m_reader.m_wDeviceType = static_cast<WORD>(m_nDeviceType);
    m_reader.m_wDeviceIndex = static_cast<WORD>(m_nDeviceIndex);
    m_reader.m_pHeartbeat = &m_heartbeat;
    m_reader.m_pClaim = &m_claim;
    m_reader.m_pfnStartJobCopy = OnStartJobCopy;
    s_pReceiver = this;
    g_RegistryCallback = OnMailboxJob;
    return m_starter.Start(&m_reader, pEvent);
}

void CReceiver::StopReader()
{
    if (m_starter.m_pThread == NULL)
        return;
    m_reader.StopReader(READER_STOP_TIMEOUT);
    m_starter.Release(READER_STOP_TIMEOUT);
    g_RegistryCallback = NULL;
    s_pReceiver = NULL;
}
