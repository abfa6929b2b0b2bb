// CJobQueue.h - the jobs of a device served without a callback, waiting for
// the application to take them on a thread of its own.
//
// Holds: CJobQueue. The reader adds each job on its thread and tells the
// application through an event and a window message; the application takes
// them in order; what is left when the device stops, its reader puts back.
#ifndef TWREADER_CJOBQUEUE_H
#define TWREADER_CJOBQUEUE_H

#include "afx/afxmt.h"
#include "twreader/CJobRecord.h"

class CJobQueue
{
public:
    CJobQueue();
    virtual ~CJobQueue();

    // Where the application hears of a job: both may be NULL.
    void Notify(HANDLE hJobReady, HWND hWnd, UINT uMessage, LPARAM lParam);
    // A copy of params joins the queue; FALSE when memory runs out.
    BOOL Add(const CCmdLineParams& params);
    // The oldest job, the caller's from now on; NULL when none waits.
    CJobRecord* Take();

private:
    void PostToWindow();

    CCriticalSection m_cs;
    CJobRecord* m_pFirst;
    CJobRecord* m_pLast;
    HANDLE m_hJobReady;
    HWND m_hWnd;
    UINT m_uMessage;
    LPARAM m_lParam;

    CJobQueue(const CJobQueue&);
    CJobQueue& operator=(const CJobQueue&);
};

#endif // TWREADER_CJOBQUEUE_H
