// twreader.cpp - the DLL's exported functions (twreader.h): the devices
// this process serves, and the job it was started with.
#include "twreader/twreader.h"

#include "afx/afxmt.h"
#include "afx/CString.h"
#include "afx/CWinApp.h"
#include "cmdline/ParseCmdLine.h"
#include "instance/HeartbeatTable.h"
#include "mailbox/CStartJob.h"
#include "recording/CRecording.h"
#include "twreader/CJobRecord.h"
#include "twreader/CServedDevice.h"

#include <new>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace
{
const int DEVICE_TYPE_LIMIT = 0xFF;     // a device list gives each type in two hex digits

// Guards the list and the start job. Never held while a reader is waited
// for, so a callback may serve another device.
CCriticalSection g_csDevices;
CServedDevice* g_pDevices = NULL;
// The job the process was started with, read from its own command line
// when the first device is served (whatever the application read before),
// until its device is served.
CStartJob g_startJob;
BOOL g_bStartJobRead = FALSE;
BOOL g_bPinned = FALSE;

// The recordings declared through the DLL; a handle points to one of these.
struct SDeclared
{
    CRecording recording;
    SDeclared* pNext;
};
CCriticalSection g_csRecordings;
SDeclared* g_pRecordings = NULL;

// Once a device is served, the DLL stays loaded for the life of the
// process: an application that unloads it without stopping its devices
// must not leave their threads running in unmapped code.
void PinModule()
{
    char szPath[MAX_PATH];
    if (g_bPinned || ::GetModuleFileNameA(reinterpret_cast<HMODULE>(&__ImageBase), szPath, MAX_PATH) == 0)
        return;
    g_bPinned = ::LoadLibraryA(szPath) != NULL;
}

CServedDevice* FindDevice(int nDeviceType, int nDeviceIndex)
{
    for (CServedDevice* p = g_pDevices; p != NULL; p = p->m_pNext)
        if (p->m_nDeviceType == nDeviceType && p->m_nDeviceIndex == nDeviceIndex)
            return p;
    return NULL;
}

// The link in the list that points to hDevice's device; NULL when none does.
CServedDevice** FindLink(HTWDEVICE hDevice)
{
    CServedDevice** pp = &g_pDevices;
    while (*pp != NULL && reinterpret_cast<HTWDEVICE>(*pp) != hDevice)
        pp = &(*pp)->m_pNext;
    return *pp != NULL ? pp : NULL;
}

// Under g_csDevices: the job after the program name on the process's own
// command line, once.
void ReadStartJob()
{
    if (g_bStartJobRead)
        return;
    g_bStartJobRead = TRUE;
    CString strLine(::GetCommandLineA());
    LPCSTR pszTail = AfxGetCmdTail(strLine.GetBuffer(0));
    CCmdLineParams params;
    if (*pszTail != '\0' && ParseCmdLine(pszTail, &params, FALSE, FALSE))
        g_startJob.Remember(params);
}

// Under g_csDevices; starting a device waits for nothing. pDevice, new,
// is the list's on success, deleted otherwise.
TWRESULT Serve(CServedDevice* pDevice, HTWDEVICE* phDevice)
{
    if (FindDevice(pDevice->m_nDeviceType, pDevice->m_nDeviceIndex) != NULL)
    {
        delete pDevice;
        return TW_E_SERVED;
    }
    ReadStartJob();
    const BOOL bStartJob = g_startJob.IsFor(pDevice->m_nDeviceType, pDevice->m_nDeviceIndex);
    const TWRESULT nResult = pDevice->Serve(bStartJob ? g_startJob : CStartJob());
    if (nResult != TW_OK)
    {
        delete pDevice;
        return nResult;
    }
    if (bStartJob)
        g_startJob.Forget();
    pDevice->m_pNext = g_pDevices;
    g_pDevices = pDevice;
    PinModule();
    *phDevice = reinterpret_cast<HTWDEVICE>(pDevice);
    return TW_OK;
}

BOOL IsValidDevice(int nDeviceType, int nDeviceIndex)
{
    return nDeviceType >= 0 && nDeviceType <= DEVICE_TYPE_LIMIT && HeartbeatTable::IsValidIndex(nDeviceIndex);
}

TWRESULT ServeLocked(CServedDevice* pDevice, HTWDEVICE* phDevice)
{
    if (pDevice == NULL)
        return TW_E_OUTOFMEMORY;
    CSingleLock lock(&g_csDevices, TRUE);
    return Serve(pDevice, phDevice);
}

// Under g_csDevices: takes the device of hDevice out of the list.
TWRESULT Detach(HTWDEVICE hDevice, CServedDevice*& pDevice)
{
    CServedDevice** ppLink = FindLink(hDevice);
    if (ppLink == NULL)
        return TW_E_INVALIDARG;
    pDevice = *ppLink;
    // The reader's thread would wait for itself.
    if (pDevice->IsOnReaderThread())
        return TW_E_INCALLBACK;
    *ppLink = pDevice->m_pNext;
    return TW_OK;
}

// Under g_csDevices: a device whose stop is pending goes back into the list.
void Attach(CServedDevice* pDevice)
{
    pDevice->m_pNext = g_pDevices;
    g_pDevices = pDevice;
}
}

DWORD WINAPI TwGetVersion(void)
{
    return (TICKWARD_VERSION_MAJOR << 16) | (TICKWARD_VERSION_MINOR << 8) | TICKWARD_VERSION_PATCH;
}

TWRESULT WINAPI TwServeDevice(int nDeviceType, int nDeviceIndex, TWJOBCALLBACK pfnCallback, void* pvContext,
                              HTWDEVICE* phDevice)
{
    if (phDevice == NULL)
        return TW_E_INVALIDARG;
    *phDevice = NULL;
    if (pfnCallback == NULL || !IsValidDevice(nDeviceType, nDeviceIndex))
        return TW_E_INVALIDARG;
    return ServeLocked(new (std::nothrow) CServedDevice(nDeviceType, nDeviceIndex, pfnCallback, pvContext),
                       phDevice);
}

TWRESULT WINAPI TwServeDeviceQueued(int nDeviceType, int nDeviceIndex, HANDLE hJobReady, HWND hWnd, UINT uMessage,
                                    HTWDEVICE* phDevice)
{
    if (phDevice == NULL)
        return TW_E_INVALIDARG;
    *phDevice = NULL;
    if (!IsValidDevice(nDeviceType, nDeviceIndex))
        return TW_E_INVALIDARG;
    CServedDevice* pDevice = new (std::nothrow) CServedDevice(nDeviceType, nDeviceIndex, NULL, NULL);
    if (pDevice != NULL)
        pDevice->Notify(hJobReady, hWnd, uMessage);
    return ServeLocked(pDevice, phDevice);
}

TWRESULT WINAPI TwGetJob(HTWDEVICE hDevice, TWJOB* pJob)
{
    if (!CJobRecord::IsFillable(pJob))
        return TW_E_INVALIDARG;
    CJobRecord::Empty(*pJob);
    CJobRecord* pRecord = NULL;
    {
        CSingleLock lock(&g_csDevices, TRUE);
        CServedDevice** ppLink = FindLink(hDevice);
        if (ppLink == NULL || !(*ppLink)->IsQueued())
            return TW_E_INVALIDARG;
        pRecord = (*ppLink)->TakeJob();
    }
    if (pRecord == NULL)
        return TW_E_NOJOB;
    CJobRecord::Show(pRecord->m_params, *pJob);
    pJob->pvReserved = pRecord;
    return TW_OK;
}

TWRESULT WINAPI TwStopDevice(HTWDEVICE hDevice)
{
    CServedDevice* pDevice = NULL;
    {
        CSingleLock lock(&g_csDevices, TRUE);
        const TWRESULT nDetached = Detach(hDevice, pDevice);
        if (nDetached != TW_OK)
            return nDetached;
    }
    const TWRESULT nResult = pDevice->Stop();
    // A reader still in its callback keeps its device, and the application
    // its handle, until a later stop finds it ended.
    CSingleLock lock(&g_csDevices, TRUE);
    if (nResult == TW_OK)
        delete pDevice;
    else
        Attach(pDevice);
    return nResult;
}

TWRESULT WINAPI TwReadCommandLineJob(const char* pszCommandLine, TWJOB* pJob)
{
    if (!CJobRecord::IsFillable(pJob))
        return TW_E_INVALIDARG;
    CJobRecord::Empty(*pJob);
    if (pszCommandLine == NULL)
        return TW_E_INVALIDARG;
    CString strLine(pszCommandLine);
    LPCSTR pszTail = AfxGetCmdTail(strLine.GetBuffer(0));
    if (*pszTail == '\0')
        return TW_E_NOJOB;
    CJobRecord* pRecord = new (std::nothrow) CJobRecord;
    if (pRecord == NULL)
        return TW_E_OUTOFMEMORY;
    if (!ParseCmdLine(pszTail, &pRecord->m_params, FALSE, FALSE))
    {
        delete pRecord;
        return TW_E_BADJOB;
    }
    CJobRecord::Show(pRecord->m_params, *pJob);
    pJob->pvReserved = pRecord;
    return TW_OK;
}

TWRESULT WINAPI TwReleaseJob(TWJOB* pJob)
{
    if (!CJobRecord::IsFillable(pJob))
        return TW_E_INVALIDARG;
    delete static_cast<CJobRecord*>(pJob->pvReserved);
    CJobRecord::Empty(*pJob);
    return TW_OK;
}

TWRESULT WINAPI TwBeginRecording(HTWDEVICE hDevice, const char* pszReason, HTWRECORDING* phRecording)
{
    if (phRecording == NULL)
        return TW_E_INVALIDARG;
    *phRecording = NULL;
    int nDeviceType = 0;
    int nDeviceIndex = 0;
    {
        CSingleLock lock(&g_csDevices, TRUE);
        CServedDevice** ppLink = FindLink(hDevice);
        if (ppLink == NULL)
            return TW_E_INVALIDARG;
        nDeviceType = (*ppLink)->m_nDeviceType;
        nDeviceIndex = (*ppLink)->m_nDeviceIndex;
    }
    SDeclared* pDeclared = new (std::nothrow) SDeclared;
    if (pDeclared == NULL)
        return TW_E_OUTOFMEMORY;
    if (!pDeclared->recording.Begin(nDeviceType, nDeviceIndex, pszReason))
    {
        delete pDeclared;
        return TW_E_RECORDINGS;
    }
    CSingleLock lock(&g_csRecordings, TRUE);
    pDeclared->pNext = g_pRecordings;
    g_pRecordings = pDeclared;
    *phRecording = reinterpret_cast<HTWRECORDING>(pDeclared);
    return TW_OK;
}

TWRESULT WINAPI TwEndRecording(HTWRECORDING hRecording)
{
    SDeclared* pDeclared = NULL;
    {
        CSingleLock lock(&g_csRecordings, TRUE);
        SDeclared** pp = &g_pRecordings;
        while (*pp != NULL && reinterpret_cast<HTWRECORDING>(*pp) != hRecording)
            pp = &(*pp)->pNext;
        if (*pp == NULL)
            return TW_E_INVALIDARG;
        pDeclared = *pp;
        *pp = pDeclared->pNext;
    }
    delete pDeclared;   // ends the recording
    return TW_OK;
}
