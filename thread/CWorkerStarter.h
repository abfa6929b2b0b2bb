// CWorkerStarter.h - starts a CWorkerThread's Run on a framework thread.
//
// Holds: CWorkerStarter.
//
// The receiving application starts its mailbox reader with this. The thread
// object is not deleted automatically: the worker's m_pThread may point to
// it, and Stop reads its handle. The starter keeps the thread object and
// deletes it in Release once the thread has ended. Declare the starter
// before the worker, so that the worker (whose destruction stops its
// thread) goes first.
//
// When Run returns by itself, the worker is set idle again (state 0, no
// thread); a worker being stopped keeps state 2 and its thread for Stop.
// Run's result is the thread's exit code.
#ifndef THREAD_CWORKERSTARTER_H
#define THREAD_CWORKERSTARTER_H

#include "afx/afxmt.h"
#include "afx/CWinThread.h"

class CWorkerThread;

class CWorkerStarter
{
public:
    CWorkerStarter();
    virtual ~CWorkerStarter();

    // Starts pWorker->Run on a new thread. The worker is recorded as
    // running (m_pThread, m_nState 1) before its thread runs. pWakeUp, when
    // given, is an event signalled once before the thread runs, so that a
    // worker that begins by waiting on it does its first round at once.
    // FALSE when the worker is not idle, this starter still holds a thread,
    // or no thread could be created.
    BOOL Start(CWorkerThread* pWorker, CSyncObject* pWakeUp = NULL);

    // Deletes the thread object once its thread has ended, waiting at most
    // dwTimeout ms for that. TRUE when no thread object is held any more;
    // FALSE, keeping it, while the thread still runs.
    BOOL Release(DWORD dwTimeout);

    CWinThread* m_pThread;

private:
    static UINT __cdecl ThreadProc(LPVOID pParam);

    CWorkerStarter(const CWorkerStarter&);
    CWorkerStarter& operator=(const CWorkerStarter&);
};

#endif // THREAD_CWORKERSTARTER_H
