// CServedDevice.cpp - one device served through the DLL.
#include "twreader/CServedDevice.h"

#include "instance/HeartbeatTable.h"
#include "mailbox/MailboxLayout.h"

namespace
{
// The stop's bound, its wait for the runs that test the heartbeat included.
const DWORD READER_STOP_TIMEOUT = 60000;
// An ended reader's thread object is freed at once.
const DWORD RELEASE_WAIT = 1000;
}

CServedDevice::CServedDevice(int nDeviceType, int nDeviceIndex, TWJOBCALLBACK pfnCallback, void* pvContext)
    : m_nDeviceType(nDeviceType), m_nDeviceIndex(nDeviceIndex), m_pNext(NULL), m_reader(pfnCallback, pvContext)
{
}

CServedDevice::~CServedDevice()
{
}

TWRESULT CServedDevice::Serve(const CStartJob& startJob)
{
    if (!m_claim.Take(m_nDeviceType, m_nDeviceIndex))
        return TW_E_SERVEDELSEWHERE;
    if (!m_heartbeat.Start(HeartbeatTable::GetCategory(m_nDeviceType), m_nDeviceIndex))
        return TW_E_HEARTBEAT;
    CEvent* pEvent = new CEvent(FALSE, TRUE);
    if (pEvent->m_hObject == NULL)
    {
        delete pEvent;
        m_heartbeat.Stop();
        return TW_E_READER;
    }
    m_reader.m_pRegistryChangeEvent = pEvent;   // the reader owns it from here on
    m_reader.m_strRegistryKey = MailboxLayout::KEY;
    m_reader.m_wDeviceType = static_cast<WORD>(m_nDeviceType);
    m_reader.m_wDeviceIndex = static_cast<WORD>(m_nDeviceIndex);
    m_reader.m_pHeartbeat = &m_heartbeat;
    m_reader.m_pClaim = &m_claim;
    m_reader.m_startJob = startJob;
    if (!m_starter.Start(&m_reader, pEvent))
    {
        m_heartbeat.Stop();
        return TW_E_READER;
    }
    return TW_OK;
}

TWRESULT CServedDevice::Stop()
{
    if (m_reader.StopReader(READER_STOP_TIMEOUT) == CCmdLineProcess::stopWorkerHeld
        || !m_starter.Release(RELEASE_WAIT))
        return TW_E_STOPPENDING;
    // The reader has ended: the jobs the application did not take are the
    // next reader's.
    m_reader.PutBackQueued();
    return TW_OK;
}

BOOL CServedDevice::IsOnReaderThread() const
{
    return m_starter.m_pThread != NULL && m_starter.m_pThread->m_nThreadID == ::GetCurrentThreadId();
}

void CServedDevice::Notify(HANDLE hJobReady, HWND hWnd, UINT uMessage)
{
    m_reader.m_queue.Notify(hJobReady, hWnd, uMessage, reinterpret_cast<LPARAM>(this));
}

CJobRecord* CServedDevice::TakeJob()
{
    return m_reader.m_queue.Take();
}

BOOL CServedDevice::IsQueued() const
{
    return m_reader.IsQueued();
}
