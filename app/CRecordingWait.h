// CRecordingWait.h - a power command's wait for the recordings that
// receiving applications have declared (recording/RecordingTable.h), and for
// the jobs that will become recordings: those on their way (CJobsOnTheirWay),
// with a settle time after the last is taken for its recording to be
// declared, and the recording tasks due soon (CDueRecordings).
//
// Holds: CRecordingWait. Nothing of these: the command acts at once. Some:
// it waits, on the end of each recording (the table's change event) and on
// the death of each declaring process, and looks again at least every
// RECHECK ms (every JOB_STEP ms while a job is on its way); the request
// comes right after the last one ends. The wait is bounded by
// PowerWaitLimit, seconds, a REG_DWORD under
// HKEY_CURRENT_USER\SOFTWARE\Tickward (DEFAULT_LIMIT when absent or malformed; 0: no wait). Past the
// bound with something still holding, no request is made: a recording is
// worth more than a standby. A table whose lock a hung process holds counts
// as a declared recording, a delivery mutex held as a delivery in progress:
// the wait for a lock goes in steps, within the same bound. A run that
// finds the machine slept or hibernated while it waited makes no request
// either: it was asked before the sleep, and the wake-up is likely a
// recording's. PowerLeadTime (seconds, DEFAULT_LEAD; 0: none) is how soon a
// scheduled recording must start to hold the command.
#ifndef APP_CRECORDINGWAIT_H
#define APP_CRECORDINGWAIT_H

#include <windows.h>

#include "afx/CString.h"
#include "app/CDueRecordings.h"
#include "app/CJobsOnTheirWay.h"
#include "journal/CWaitingRuns.h"
#include "recording/RecordingTable.h"

class CPowerApi;
class CRecordingTable;
class CRunRecord;

class CRecordingWait
{
public:
    enum
    {
        DEFAULT_LIMIT = 21600,  // s: six hours
        DEFAULT_LEAD = 900,     // s: a quarter of an hour
        SETTLE_TIME = 20000,    // ms an application has to declare the recording of a job it took
        RECHECK = 20000,        // ms between two looks at the table, at most
        JOB_STEP = 500,         // ms between two looks while a job is on its way
        LOCK_STEP = 1000,       // ms one look waits for the table's lock
        SLEEP_TOLERANCE = 5000  // ms the two clocks may drift apart in a run that never slept
    };
    enum Outcome
    {
        outcomeRequest,         // the request may be made now
        outcomeHeld,            // a recording was still declared at PowerWaitLimit
        outcomeSlept            // the machine slept while the run waited
    };

    CRecordingWait(CPowerApi* pPowerApi, DWORD dwStartWindow);
    virtual ~CRecordingWait();

    // What the run waited for, and what held the request, go into record.
    int Wait(CRunRecord& record);

    // A setting in seconds; bMalformed when the value is there but no
    // REG_DWORD.
    static DWORD ReadSetting(LPCSTR pszName, DWORD dwDefault, BOOL& bMalformed);
    // The first of nLive recordings, or the table when it was busy.
    static CString Describe(const RecordingTable::SEntry* aLive, int nLive);

// Attributes
    DWORD m_dwSettle;       // SETTLE_TIME; a test shortens it

private:
    // What one look found.
    struct SLook
    {
        RecordingTable::SEntry aLive[RecordingTable::CAPACITY];
        int nLive;
        int nJobs;
        CString strJob;
        int nDue;
        CString strDue;
        DWORD dwNextLook;
        BOOL bSettling;
    };
    void Look(CRecordingTable& table, SLook& look, DWORD dwLockStep, ULONGLONG ullElapsed, CRunRecord& record);
    static BOOL IsHolding(const SLook& look);
    static CString Describe(const SLook& look);
    // How long the machine slept since the wait began (its clocks, taken
    // in Wait); 0 where they are missing.
    ULONGLONG GetSlept() const;
    int Conclude(CRunRecord& record, const SLook& look, ULONGLONG ullElapsed, ULONGLONG ullSlept);
    static void WaitForChange(HANDLE hChanged, const RecordingTable::SEntry* aLive, int nLive, DWORD dwTimeout);

    CPowerApi* m_pPowerApi;
    CJobsOnTheirWay m_jobs;
    CDueRecordings m_due;
    CWaitingRuns m_waiting;     // what twstatus shows of this run while it waits
    ULONGLONG m_ullLastJob;     // ms into the wait (plus 1) a job was last seen on its way; 0: none since
                                // the last declaration
    BOOL m_bOnlyRecordings;
    BOOL m_bClocks;
    ULONGLONG m_ullWithSleep;
    ULONGLONG m_ullAwake;
};

#endif // APP_CRECORDINGWAIT_H
