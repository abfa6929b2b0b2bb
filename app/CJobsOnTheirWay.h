// CJobsOnTheirWay.h - the recording jobs a power command must not outrun,
// though no recording is declared for them yet: a delivery in progress, an
// application Tickward started that is within its start-up window, and a
// job waiting in the mailbox for a reader that is alive.
//
// Holds: CJobsOnTheirWay. A look waits for no lock longer than it is told:
// a lock it cannot get (the delivery mutex, the heartbeat table's) counts
// as a job on its way.
#ifndef APP_CJOBSONTHEIRWAY_H
#define APP_CJOBSONTHEIRWAY_H

#include <windows.h>

#include "afx/CString.h"
#include "mailbox/MailboxLayout.h"

class CJobsOnTheirWay
{
public:
    explicit CJobsOnTheirWay(DWORD dwStartWindow);
    virtual ~CJobsOnTheirWay();

    // Looks once: how many there are, the first of them in strFirst.
    int Look(CString& strFirst, DWORD dwLockWait);

private:
    // Under the delivery mutex: the applications starting, and the
    // counters of the jobs waiting in the mailbox.
    int LookAtStarts(CString& strFirst);
    int ReadWaitingJobs(int* anCounters, int* anSlots);
    // Of nJobs jobs, those whose counter grew over a sample pause.
    int CountAlive(const int* anCounters, const int* anSlots, int nJobs, DWORD dwLockWait, CString& strFirst);

    DWORD m_dwStartWindow;
};

#endif // APP_CJOBSONTHEIRWAY_H
