// CJobReader.h - the receiver's mailbox reader: the system's reader, whose
// pause after each job can be shortened for tests and soak runs.
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

protected:
    virtual void Pause(DWORD dwMilliseconds);
};

#endif // RECEIVER_CJOBREADER_H
