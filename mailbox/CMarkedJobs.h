// CMarkedJobs.h - the jobs a mailbox reader has marked and not yet handed
// to its application.
//
// Holds: CMarkedJobs. Once a slot reads "xxx", the reader's memory is the
// job's only copy. The worker hands these over one by one; a stop whose
// bound runs out while the worker is held up (in a callback that does not
// return) takes those left and puts them back into the mailbox, and from
// then on the worker gets none. The jobs and that end are one value under
// one lock, so each job goes one way only.
#ifndef MAILBOX_CMARKEDJOBS_H
#define MAILBOX_CMARKEDJOBS_H

#include "afx/CString.h"
#include "afx/afxmt.h"
#include "mailbox/MailboxLayout.h"

class CMarkedJobs
{
public:
    // A drain's job besides the twenty a stop may mark: another reader may
    // have deleted the drain's mark, and its slot hold a new job.
    static const int CAPACITY = MailboxLayout::SLOT_COUNT + 1;

    CMarkedJobs();

    // FALSE once the jobs are being put back, or when full: the caller puts
    // strJob back itself.
    BOOL Add(const CString& strJob);
    // The oldest job, taken off; FALSE when none is left or they go back.
    BOOL TakeNext(CString& strJob);
    // Ends the hand-over: the jobs left move into astrJobs (CAPACITY of
    // them), their number is returned, and every later Add is refused.
    int TakeForPutBack(CString* astrJobs);

private:
    CCriticalSection m_cs;
    CString m_astrJobs[CAPACITY];
    int m_nJobs;
    BOOL m_bPutBack;

    CMarkedJobs(const CMarkedJobs&);
    CMarkedJobs& operator=(const CMarkedJobs&);
};

#endif // MAILBOX_CMARKEDJOBS_H
