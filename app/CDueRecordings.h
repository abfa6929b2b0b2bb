// CDueRecordings.h - the recording tasks Tickward scheduled that start soon
// (schedule/CScheduledTask.h keeps them). A power command is held by a task
// that starts within PowerLeadTime, and after its start until its job is on
// its way, but no longer than GRACE after it: a task that has not run by
// then is not waited for, and the journal says so. Tasks made by other
// means are not seen.
#ifndef APP_CDUERECORDINGS_H
#define APP_CDUERECORDINGS_H

#include <windows.h>

#include "afx/CString.h"

class CRunRecord;

class CDueRecordings
{
public:
    enum
    {
        GRACE = 120000,     // ms after its start that a task may take to run
        MAX_STARTED = 16    // started tasks followed at once; more are not waited for
    };

    explicit CDueRecordings(DWORD dwLead);
    virtual ~CDueRecordings();

    // Looks once at the schedule. bOnItsWay: a job is on its way, or a
    // recording declared, now. Returns how many hold the command, the first
    // in strFirst; dwNextLook is lowered to when a task's hold changes.
    int Look(BOOL bOnItsWay, CString& strFirst, DWORD& dwNextLook, CRunRecord& record);

private:
    // A task whose start has passed during this run.
    struct SStarted
    {
        CString strName;
        ULONGLONG ullStart;
        BOOL bRan;
        BOOL bNoted;
    };
    SStarted* FindStarted(const CString& strName, ULONGLONG ullStart);

    ULONGLONG m_ullLead;    // 100 ns
    SStarted m_aStarted[MAX_STARTED];
    int m_nStarted;
};

#endif // APP_CDUERECORDINGS_H
