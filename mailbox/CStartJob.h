// CStartJob.h - the job a receiving application was started with, whose
// mailbox copy its reader drops once.
//
// Holds: CStartJob.
//
// Tickward posts the job it starts an application with into the mailbox
// too, before the start, so the reader's first drain finds that copy. The
// job is remembered until that drain ends, and no longer: the same text
// posted later (tomorrow's recording of the same name) is a new job. Jobs
// are compared in mailbox form with the device list trimmed, so the same
// job reads the same whether it came on the command line (whose startup
// skipped the blank before the device list) or from a slot (which keeps it).
// The reader's worker and a thread stopping it may ask at once: each call
// holds the object's lock.
#ifndef MAILBOX_CSTARTJOB_H
#define MAILBOX_CSTARTJOB_H

#include "afx/CString.h"
#include "afx/afxmt.h"

class CCmdLineParams;

class CStartJob
{
public:
    CStartJob();
    CStartJob(const CStartJob& other);
    CStartJob& operator=(const CStartJob& other);

    void Remember(CCmdLineParams& params);
    // TRUE, once, for the remembered job: it is forgotten then.
    BOOL IsCopy(CCmdLineParams& params);
    // TRUE when a job is remembered and its first device is this one.
    BOOL IsFor(int nDeviceType, int nDeviceIndex) const;
    void Forget();

private:
    static CString GetText(CCmdLineParams& params);
    void ForgetLocked();

    mutable CCriticalSection m_cs;

    CString m_strJob;       // empty: none
    int m_nDeviceType;
    int m_nDeviceIndex;
};

#endif // MAILBOX_CSTARTJOB_H
