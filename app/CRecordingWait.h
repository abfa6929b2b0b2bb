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
// for the lock goes in steps, within the same bound.
#ifndef APP_CRECORDINGWAIT_H
#define APP_CRECORDINGWAIT_H

#include <windows.h>

#include "afx/CString.h"
#include "recording/RecordingTable.h"

class CRunRecord;

class CRecordingWait
{
public:
    enum
    {
        DEFAULT_LIMIT = 21600,  // s: six hours
        RECHECK = 20000,        // ms between two looks at the table, at most
        LOCK_STEP = 1000        // ms one look waits for the table's lock
    };

    CRecordingWait();
    virtual ~CRecordingWait();

    // TRUE when the request may be made now; what it waited for, and what
    // held the request, go into record.
    BOOL Wait(CRunRecord& record);

    // The bound in seconds; bMalformed when the value is there but no
    // REG_DWORD.
    static DWORD ReadLimit(BOOL& bMalformed);
    // The first of nLive recordings, or the table when it was busy.
    static CString Describe(const RecordingTable::SEntry* aLive, int nLive);

private:
    static void WaitForChange(HANDLE hChanged, const RecordingTable::SEntry* aLive, int nLive, DWORD dwTimeout);
};

#endif // APP_CRECORDINGWAIT_H
