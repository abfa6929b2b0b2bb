// CWorkerStarter.cpp - starts a CWorkerThread's Run on a framework thread.
#include "thread/CWorkerStarter.h"

#include "thread/CWorkerThread.h"

namespace
{
// A stopped or terminated thread ends promptly; a thread still running
// after this is not ours to free.
const DWORD RELEASE_WAIT = 1000;
}

CWorkerStarter::CWorkerStarter()
    : m_pThread(NULL)
{
}

CWorkerStarter::~CWorkerStarter()
{
    Release(RELEASE_WAIT);
}

BOOL CWorkerStarter::Start(CWorkerThread* pWorker, CSyncObject* pWakeUp)
{
    if (pWorker == NULL || m_pThread != NULL || pWorker->m_nState != CWorkerThread::stateIdle)
        return FALSE;
    CWinThread* pThread = AfxBeginThread(ThreadProc, pWorker, THREAD_PRIORITY_NORMAL, 0,
                                         CREATE_SUSPENDED);
    if (pThread == NULL)
        return FALSE;
    pThread->m_bAutoDelete = FALSE;

    pWorker->m_csLock.Lock();
    pWorker->m_pThread = pThread;
    pWorker->m_nState = CWorkerThread::stateRunning;
    pWorker->m_csLock.Unlock();

    if (pWakeUp != NULL && pWakeUp->m_hObject != NULL)
        ::SetEvent(pWakeUp->m_hObject);
    m_pThread = pThread;
    pThread->ResumeThread();
    return TRUE;
}

BOOL CWorkerStarter::Release(DWORD dwTimeout)
{
    if (m_pThread == NULL)
        return TRUE;
    if (::WaitForSingleObject(m_pThread->m_hThread, dwTimeout) == WAIT_TIMEOUT)
        return FALSE;
    delete m_pThread;
    m_pThread = NULL;
    return TRUE;
}

UINT __cdecl CWorkerStarter::ThreadProc(LPVOID pParam)
{
    CWorkerThread* pWorker = static_cast<CWorkerThread*>(pParam);
    const int nResult = pWorker->Run();
    // Ended by itself: idle again. Being stopped: Stop decides.
    pWorker->m_csLock.Lock();
    if (pWorker->m_nState == CWorkerThread::stateRunning)
    {
        pWorker->m_nState = CWorkerThread::stateIdle;
        pWorker->m_pThread = NULL;
    }
    pWorker->m_csLock.Unlock();
    return static_cast<UINT>(nResult);
}
