// CJobRecord.h - a job of the DLL's C interface: the parsed command and the
// plain structure that shows it to the application.
//
// Holds: CJobRecord. A job read from the command line is one of these,
// owned through the structure's pvReserved until TwReleaseJob; a job from
// the mailbox is shown straight from the reader's record.
#ifndef TWREADER_CJOBRECORD_H
#define TWREADER_CJOBRECORD_H

#include "cmdline/CCmdLineParams.h"
#include "twreader/twreader.h"

class CJobRecord
{
public:
    // Points job's fields at params' texts (valid as long as params is
    // unchanged); pvReserved is NULL. Trims params' device list.
    static void Show(CCmdLineParams& params, TWJOB& job);

    CCmdLineParams m_params;
};

#endif // TWREADER_CJOBRECORD_H
