// CJobReader.h - the receiver's mailbox reader: the system's reader, whose
// pause after each job can be shortened for tests and soak runs, and which
// knows the job the receiver was started with until its first drain ends.
#ifndef RECEIVER_CJOBREADER_H
#define RECEIVER_CJOBREADER_H

#include "mailbox/CCmdLineProcess.h"
#include "mailbox/CStartJob.h"

class CJobReader : public CCmdLineProcess
{
public:
    CJobReader();
    virtual ~CJobReader();

    // The pause after each job handed over; COMMAND_PAUSE unless changed.
    DWORD m_dwCommandPause;

    // The job the receiver was started with; its mailbox copy is dropped
    // in the first drain (read and forgotten on the worker from the start).
    CStartJob m_startJob;

protected:
    virtual void Pause(DWORD dwMilliseconds);
    virtual void OnDrainEnd();
};

#endif // RECEIVER_CJOBREADER_H
