// CWinThread.h - the framework's thread object and AfxBeginThread.
//
// Holds: CWinThread, AfxBeginThread, AFX_THREADPROC.
//
// A worker thread runs a controlling function; its result becomes the
// thread's exit code. The thread object deletes itself when the thread ends
// only while m_bAutoDelete is TRUE; otherwise its owner deletes it, which
// closes the thread handle.
#ifndef AFX_CWINTHREAD_H
#define AFX_CWINTHREAD_H

#include <windows.h>

typedef UINT (__cdecl *AFX_THREADPROC)(LPVOID pParam);

class CWinThread
{
public:
// Constructors
    CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam);
    virtual ~CWinThread();

    // Creates the thread; it starts at once unless dwCreateFlags holds
    // CREATE_SUSPENDED. m_hThread and m_nThreadID are set before it runs.
    BOOL CreateThread(DWORD dwCreateFlags = 0, UINT nStackSize = 0,
                      LPSECURITY_ATTRIBUTES lpSecurityAttrs = NULL);

// Attributes
    HANDLE m_hThread;
    DWORD m_nThreadID;
    BOOL m_bAutoDelete;
    LPVOID m_pThreadParams;
    AFX_THREADPROC m_pfnThreadProc;

    operator HANDLE() const { return m_hThread; }
    int GetThreadPriority();
    BOOL SetThreadPriority(int nPriority);

// Operations
    DWORD SuspendThread();
    DWORD ResumeThread();

// Implementation
    // Called on the thread itself when its function has returned.
    virtual void Delete();

private:
    CWinThread(const CWinThread&);
    CWinThread& operator=(const CWinThread&);
};

// Creates a thread object and its thread running pfnThreadProc(pParam).
// NULL when the thread could not be created.
CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam,
                           int nPriority = THREAD_PRIORITY_NORMAL, UINT nStackSize = 0,
                           DWORD dwCreateFlags = 0, LPSECURITY_ATTRIBUTES lpSecurityAttrs = NULL);

#endif // AFX_CWINTHREAD_H
