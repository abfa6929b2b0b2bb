// CWinThread.cpp - the framework's thread object.
#include "afx/CWinThread.h"

#include <new>
#include <process.h>

namespace
{
// The thread is always created suspended, so the object is complete
// (handle and identifier recorded) before its function runs.
unsigned __stdcall ThreadEntry(void* pParam)
{
    CWinThread* pThread = static_cast<CWinThread*>(pParam);
    const UINT nResult = pThread->m_pfnThreadProc(pThread->m_pThreadParams);
    pThread->Delete();
    return nResult;
}
}

CWinThread::CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam)
    : m_hThread(NULL),
      m_nThreadID(0),
      m_bAutoDelete(TRUE),
      m_pThreadParams(pParam),
      m_pfnThreadProc(pfnThreadProc)
{
}

CWinThread::~CWinThread()
{
    if (m_hThread != NULL)
    {
        ::CloseHandle(m_hThread);
        m_hThread = NULL;
    }
}

BOOL CWinThread::CreateThread(DWORD dwCreateFlags, UINT nStackSize,
                              LPSECURITY_ATTRIBUTES lpSecurityAttrs)
{
    if (m_hThread != NULL || m_pfnThreadProc == NULL)
        return FALSE;
    unsigned nThreadID = 0;
    const uintptr_t hThread = ::_beginthreadex(lpSecurityAttrs, nStackSize, ThreadEntry, this,
                                               dwCreateFlags | CREATE_SUSPENDED, &nThreadID);
    if (hThread == 0)
        return FALSE;
    m_hThread = reinterpret_cast<HANDLE>(hThread);
    m_nThreadID = nThreadID;
    if ((dwCreateFlags & CREATE_SUSPENDED) == 0)
        ResumeThread();
    return TRUE;
}

int CWinThread::GetThreadPriority()
{
    return ::GetThreadPriority(m_hThread);
}

BOOL CWinThread::SetThreadPriority(int nPriority)
{
    return ::SetThreadPriority(m_hThread, nPriority);
}

DWORD CWinThread::SuspendThread()
{
    return ::SuspendThread(m_hThread);
}

DWORD CWinThread::ResumeThread()
{
    return ::ResumeThread(m_hThread);
}

void CWinThread::Delete()
{
    if (m_bAutoDelete)
        delete this;
}

CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority,
                           UINT nStackSize, DWORD dwCreateFlags,
                           LPSECURITY_ATTRIBUTES lpSecurityAttrs)
{
    CWinThread* pThread = new (std::nothrow) CWinThread(pfnThreadProc, pParam);
    if (pThread == NULL)
        return NULL;
    // Suspended first, so the priority is set before the function runs.
    if (!pThread->CreateThread(dwCreateFlags | CREATE_SUSPENDED, nStackSize, lpSecurityAttrs))
    {
        delete pThread;
        return NULL;
    }
    pThread->SetThreadPriority(nPriority);
    if ((dwCreateFlags & CREATE_SUSPENDED) == 0)
        pThread->ResumeThread();
    return pThread;
}
