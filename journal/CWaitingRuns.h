// CWaitingRuns.h - the power commands of Tickward that wait now, and what
// for: each waiting run keeps a record of itself while it waits, which
// twstatus shows.
//
// Holds: CWaitingRuns. The records lie under
// HKEY_CURRENT_USER\SOFTWARE\Tickward\Waiting, a REG_SZ value per run
// named after its process id, holding "<creation time, 16 hex digits>;
// <since, YYYY-MM-DD HH:MM:SS>;<what it waits for>". A record whose process has ended (a run ended by
// its task's time limit) counts for nothing, and the next run's end
// removes it.
#ifndef JOURNAL_CWAITINGRUNS_H
#define JOURNAL_CWAITINGRUNS_H

#include <windows.h>

#include "afx/CString.h"

class CWaitingRuns
{
public:
    // One waiting run, as read.
    struct SRun
    {
        DWORD dwProcessId;
        CString strSince;
        CString strWhat;
    };
    enum
    {
        MAX_RUNS = 32   // more than wait at once; the rest are not read
    };

    CWaitingRuns();
    // Takes this run's record away.
    virtual ~CWaitingRuns();

    // Records (or updates) this run: waiting since the first call, for strWhat.
    void Publish(const CString& strWhat);
    // The runs that wait now, oldest first as the registry gives them.
    static int ReadAll(SRun* aRuns, int nMax);

private:
    void RemoveEnded();

    CString m_strSince;
    CString m_strWhat;
    CString m_strCreated;

    CWaitingRuns(const CWaitingRuns&);
    CWaitingRuns& operator=(const CWaitingRuns&);
};

#endif // JOURNAL_CWAITINGRUNS_H
