// CHeartbeat.cpp - the receiving application's heartbeat.
#include "receiver/CHeartbeat.h"

namespace
{
const char TABLE_NAME[] = "1474027C-7CB4-436a-9158-89850D76B319";
const DWORD TABLE_SIZE = 240;
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

int CHeartbeat::GetCategory(int nDeviceType)
{
    return (nDeviceType >= 1 && nDeviceType <= 3) ? nDeviceType : 0;
}

BOOL CHeartbeat::Start(int nCategory, int nIndex)
{
    if (m_hThread != NULL || nCategory < 0 || nCategory > 5 || nIndex < 0 || nIndex > 9)
        return FALSE;
    if (!m_SharedMemory.Create(TABLE_SIZE, TABLE_NAME))
        return FALSE;
    m_nOffset = nCategory * 40 + nIndex * 4;
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
