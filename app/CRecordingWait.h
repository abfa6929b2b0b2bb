// CRecordingWait.h - a power command's wait for the recordings that
// receiving applications have declared (recording/RecordingTable.h).
//
// Holds: CRecordingWait. None declared: the command acts at once. Some: it waits, on the end of each (the table's change event)
// and on the death of each declaring process, and looks again at least
// every RECHECK ms; the request comes right after the last one ends. The
// wait is bounded by PowerWaitLimit, seconds, a REG_DWORD under
// HKEY_CURRENT_USER\SOFTWARE\Tickward (DEFAULT_LIMIT when absent or
// malformed; 0: no wait). Past the bound with a recording still declared,
// no request is made: a recording is worth more than a standby. A table
// whose lock a hung process holds counts as a declared recording: the wait
// for the lock goes in steps, within the same bound. A run that finds the
// machine slept or hibernated while it waited makes no request either: it
// was asked before the sleep, and the wake-up is likely a recording's.
#ifndef APP_CRECORDINGWAIT_H
#define APP_CRECORDINGWAIT_H

#include <windows.h>

#include "afx/CString.h"
#include "recording/RecordingTable.h"

class CPowerApi;
class CRunRecord;

class CRecordingWait
{
public:
    enum
    {
        DEFAULT_LIMIT = 21600,  // s: six hours
        RECHECK = 20000,        // ms between two looks at the table, at most
        LOCK_STEP = 1000,       // ms one look waits for the table's lock
        SLEEP_TOLERANCE = 5000  // ms the two clocks may drift apart in a run that never slept
    };
    enum Outcome
    {
        outcomeRequest,         // the request may be made now
        outcomeHeld,            // a recording was still declared at PowerWaitLimit
        outcomeSlept            // the machine slept while the run waited
    };

    explicit CRecordingWait(CPowerApi* pPowerApi);
    virtual ~CRecordingWait();

    // What the run waited for, and what held the request, go into record.
    int Wait(CRunRecord& record);

    // The bound in seconds; bMalformed when the value is there but no
    // REG_DWORD.
    static DWORD ReadLimit(BOOL& bMalformed);
    // The first of nLive recordings, or the table when it was busy.
    static CString Describe(const RecordingTable::SEntry* aLive, int nLive);

private:
    // How long the machine slept since the wait began (its clocks, taken
    // in Wait); 0 where they are missing.
    ULONGLONG GetSlept() const;
    int Conclude(CRunRecord& record, const RecordingTable::SEntry* aNow, int nNow, ULONGLONG ullElapsed,
                 ULONGLONG ullSlept);
    static void WaitForChange(HANDLE hChanged, const RecordingTable::SEntry* aLive, int nLive, DWORD dwTimeout);

    CPowerApi* m_pPowerApi;
    BOOL m_bClocks;
    ULONGLONG m_ullWithSleep;
    ULONGLONG m_ullAwake;
};

#endif // APP_CRECORDINGWAIT_H
