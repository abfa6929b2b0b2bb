// CWorkerThread.h - base of objects whose main loop runs on a worker thread.
//
// Holds: CWorkerThread.
//
// The object keeps the worker's run state (0 idle, 1 running, 2 stopping)
// and the framework thread that executes Run. It does not start the thread:
// CWorkerStarter does that. Stop asks the worker to end and waits a bounded
// time for its thread; a thread that does not end in time is terminated.
// A derived worker that must never be terminated asks with AskStop and
// waits by its own rules.
// A derived Run learns of the request only through IsRunning turning FALSE.
#ifndef THREAD_CWORKERTHREAD_H
#define THREAD_CWORKERTHREAD_H

#include "afx/afxmt.h"
#include "afx/CWinThread.h"

class CWorkerThread
{
public:
    enum
    {
        stateIdle = 0,
        stateRunning = 1,
        stateStopping = 2
    };

    // Whom AskStop asked.
    enum
    {
        askedNone = 0,      // the worker was not running
        askedWorker = 1,    // called on the worker itself
        askedOther = 2      // called on another thread
    };

    // Exit code of a worker thread that did not end within Stop's wait.
    static const DWORD TERMINATED_EXIT_CODE = static_cast<DWORD>(-42);

// Constructors
    CWorkerThread();
    virtual ~CWorkerThread();

// Overridables
    // The thread body; the base does nothing.
    virtual int Run();

// Operations
    BOOL IsRunning() const;
    // FALSE when the worker was not running; TRUE otherwise, whether its
    // thread ended by itself, was terminated, or was not waited for.
    BOOL Stop(DWORD dwTimeout);

    // How long Stop waits for the thread: two thirds of the time-out, at
    // least 100 ms. Exact for every 32-bit time-out.
    static DWORD GetStopWaitTime(DWORD dwTimeout);

    // Stop's first part: marks a running worker stopping, without waiting.
    int AskStop();

// Attributes
    CCriticalSection m_csLock;  // guards m_nState and m_pThread inside Stop and for the starter
    int m_nState;
    CWinThread* m_pThread;      // not owned
    int m_nAux1;
    int m_nAux2;
    int m_nAux3;

private:
    CWorkerThread(const CWorkerThread&);
    CWorkerThread& operator=(const CWorkerThread&);
};

#endif // THREAD_CWORKERTHREAD_H
