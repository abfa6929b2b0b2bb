// CWorkerThread.cpp - base of objects whose main loop runs on a worker thread.
#include "thread/CWorkerThread.h"

#include "log/Log.h"

namespace
{
const DWORD MIN_STOP_WAIT = 100;
const int AUX2_INITIAL = 0x7FFFFFFF;
}

CWorkerThread::CWorkerThread()
    : m_nState(stateIdle),
      m_pThread(NULL),
      m_nAux1(0),
      m_nAux2(AUX2_INITIAL),
      m_nAux3(0)
{
}

CWorkerThread::~CWorkerThread()
{
    // A worker still running here is stopped, at worst by termination, so
    // it never runs on with this object gone.
    if (IsRunning())
        Stop(200);
    m_nState = stateIdle;
    m_pThread = NULL;
}

int CWorkerThread::Run()
{
    return 1;
}

BOOL CWorkerThread::IsRunning() const
{
    // The worker polls this without the lock; read the state afresh each time.
    return *static_cast<const volatile int*>(&m_nState) == stateRunning;
}

DWORD CWorkerThread::GetStopWaitTime(DWORD dwTimeout)
{
    // Two thirds rounded down, computed without overflowing 32 bits.
    const DWORD dwWait = dwTimeout / 3 * 2 + dwTimeout % 3 * 2 / 3;
    return dwWait < MIN_STOP_WAIT ? MIN_STOP_WAIT : dwWait;
}

int CWorkerThread::AskStop()
{
    CSingleLock lock(&m_csLock, TRUE);
    if (m_nState != stateRunning)
        return askedNone;
    m_nState = stateStopping;
    // The worker may stop itself; it must not wait for its own end.
    return m_pThread != NULL && ::GetCurrentThreadId() == m_pThread->m_nThreadID ? askedWorker : askedOther;
}

BOOL CWorkerThread::Stop(DWORD dwTimeout)
{
    // The lock is not held during the wait, so the worker can take it while
    // it winds down.
    const int nAsked = AskStop();
    if (nAsked == askedNone)
        return FALSE;
    const DWORD dwStart = ::GetTickCount();
    if (nAsked == askedOther && m_pThread != NULL
        && ::WaitForSingleObject(m_pThread->m_hThread, GetStopWaitTime(dwTimeout)) == WAIT_TIMEOUT)
    {
        CSingleLock lock(&m_csLock, TRUE);
        if (m_pThread != NULL)
        {
            ::TerminateThread(m_pThread->m_hThread, TERMINATED_EXIT_CODE);
            m_nState = stateIdle;
            m_pThread = NULL;
            m_nAux2 = AUX2_INITIAL;
            m_nAux3 = 0;
        }
        return TRUE;
    }
    LogSilent("ThreadEndTime = %d [%d] !", static_cast<int>(::GetTickCount() - dwStart),
              static_cast<int>(dwTimeout));
    return TRUE;
}
