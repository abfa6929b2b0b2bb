// CJobReader.h - the receiver's mailbox reader: the system's reader, whose
// pause after each job can be shortened for tests and soak runs, and which
// knows the mailbox copy of the job the receiver was started with.
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

    // Tickward posts the job it starts the receiver with into the mailbox
    // too, before the start: the first drain finds that copy. strJob (empty:
    // none) is remembered until then, and no longer, so that the same job
    // posted again later (tomorrow's recording of the same name) is handled.
    void RememberStartJob(const CString& strJob);
    // TRUE, once, for the mailbox copy of the start job in the first drain.
    BOOL IsStartJobCopy(const CString& strJob);

protected:
    virtual void Pause(DWORD dwMilliseconds);
    virtual void OnDrainEnd();

private:
    CString m_strStartJob;
};

#endif // RECEIVER_CJOBREADER_H
