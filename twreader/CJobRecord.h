// CJobRecord.h - a job of the DLL's C interface: the parsed command and the
// plain structure that shows it to the application.
//
// Holds: CJobRecord. A job read from the command line or taken from a
// device's queue is one of these, owned through the structure's pvReserved
// until TwReleaseJob; a job given to a callback is shown straight from the
// reader's record.
#ifndef TWREADER_CJOBRECORD_H
#define TWREADER_CJOBRECORD_H

#include "cmdline/CCmdLineParams.h"
#include "twreader/twreader.h"

class CJobRecord
{
public:
    CJobRecord();

    // Points job's fields at params' texts (valid as long as params is
    // unchanged); pvReserved is NULL, cbSize the size filled. Trims params'
    // device list.
    static void Show(CCmdLineParams& params, TWJOB& job);
    // TRUE when a caller's job is large enough to be filled.
    static BOOL IsFillable(const TWJOB* pJob);
    // Empties job, but for its cbSize.
    static void Empty(TWJOB& job);

    CCmdLineParams m_params;
    CJobRecord* m_pNext;    // a device's queue
};

#endif // TWREADER_CJOBRECORD_H
