// CHeartbeat.cpp - a receiving application's heartbeat.
#include "instance/CHeartbeat.h"

#include "instance/HeartbeatTable.h"

namespace
{
const DWORD BEAT_INTERVAL = 100;
}

CHeartbeat::CHeartbeat()
    : m_evStop(FALSE, TRUE), m_hThread(NULL), m_nOffset(-1)
{
}

CHeartbeat::~CHeartbeat()
{
    Stop();
}

BOOL CHeartbeat::Start(int nCategory, int nIndex)
{
    const int nOffset = HeartbeatTable::GetCounterOffset(nCategory, nIndex);
    if (m_hThread != NULL || nOffset < 0)
        return FALSE;
    if (!m_SharedMemory.Create(HeartbeatTable::SIZE, HeartbeatTable::NAME))
        return FALSE;
    m_nOffset = nOffset;
    m_evStop.ResetEvent();
    m_hThread = ::CreateThread(NULL, 0, ThreadProc, this, 0, NULL);
    return m_hThread != NULL;
}

void CHeartbeat::Stop()
{
    if (m_hThread == NULL)
        return;
    m_evStop.SetEvent();
    ::WaitForSingleObject(m_hThread, INFINITE);
    ::CloseHandle(m_hThread);
    m_hThread = NULL;
}

DWORD WINAPI CHeartbeat::ThreadProc(LPVOID pParam)
{
    CHeartbeat* pThis = static_cast<CHeartbeat*>(pParam);
    do
    {
        pThis->Beat();
    } while (::WaitForSingleObject(pThis->m_evStop, BEAT_INTERVAL) == WAIT_TIMEOUT);
    return 0;
}

// Raises the counter where it stands: Tickward sets the whole table back to
// 0 at each run, and the counter must grow from there.
void CHeartbeat::Beat()
{
    if (!m_SharedMemory.Lock())
        return;
    DWORD* pdwCounter = reinterpret_cast<DWORD*>(static_cast<BYTE*>(m_SharedMemory.m_pView) + m_nOffset);
    ++*pdwCounter;
    m_SharedMemory.Unlock();
}
