// CJobReader.h - the receiver's mailbox reader: the system's reader, whose
// pause after each job can be shortened for tests and soak runs, and which
// tells the receiver when it drops the mailbox copy of its start job.
#ifndef RECEIVER_CJOBREADER_H
#define RECEIVER_CJOBREADER_H

#include "mailbox/CCmdLineProcess.h"

class CJobReader : public CCmdLineProcess
{
public:
    CJobReader();
    virtual ~CJobReader();

    // The pause after each job handed over; COMMAND_PAUSE unless changed.
    DWORD m_dwCommandPause;
    // Called on the worker for the dropped copy; NULL: only logged.
    PFN_REGISTRYCALLBACK m_pfnStartJobCopy;

protected:
    virtual void Pause(DWORD dwMilliseconds);
    virtual void OnStartJobCopy(CCmdLineParams* pParams);
};

#endif // RECEIVER_CJOBREADER_H
