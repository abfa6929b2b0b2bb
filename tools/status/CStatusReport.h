// CStatusReport.h - the machine's state as Tickward's operator sees it.
//
// Holds: CStatusReport. Prints which receiving applications are alive now
// (by their heartbeat counters, read twice one sample pause apart), the
// recordings they have declared, the power commands that wait and what
// for, the tasks Tickward scheduled that start within a day, the mailbox of every product that has one, and the end of
// the run journal.
// It only reads: it creates no table and no mailbox, clears no counter and
// never writes the mailbox or the journal.
#ifndef TOOLS_STATUS_CSTATUSREPORT_H
#define TOOLS_STATUS_CSTATUSREPORT_H

#include <windows.h>

#include "afx/CString.h"

class CStatusReport
{
public:
    enum
    {
        JOURNAL_LINES = 20,         // lines of the journal shown
        JOURNAL_TAIL = 64 * 1024,   // bytes read from the journal's end, plenty for them
        TABLE_LOCK_TIMEOUT = 5000,  // ms waited for the heartbeat table's mutex; its users hold it
                                    // for single readings only
        SCHEDULE_HOURS = 24         // tasks shown that start within this
    };

    CStatusReport();
    virtual ~CStatusReport();

    // Each prints its part. FALSE when the state could not be read; a line
    // of m_strError then says what failed, its Windows error text and what
    // to try.
    BOOL PrintHeartbeats();
    BOOL PrintRecordings();
    BOOL PrintWaitingRuns();
    BOOL PrintSchedule();
    BOOL PrintMailboxes();
    BOOL PrintJournal();

    CString m_strError;

protected:
    // The pause between the two readings of the table; a seam for tests.
    virtual void Pause(DWORD dwMilliseconds);

private:
    BOOL PrintMailbox(LPCSTR pszProduct, LPCSTR pszKey);
    static CString DescribeSlot(HKEY hKey, LPCSTR pszSlot);
    static CString DescribeLock(HKEY hKey);
    static CString DescribeDeviceTypes(int nCategory);
    BOOL Fail(LPCSTR pszWhat, DWORD dwError, LPCSTR pszTry);
    BOOL FailBusy();
    BOOL Note(const CString& strError);

    CStatusReport(const CStatusReport&);
    CStatusReport& operator=(const CStatusReport&);
};

#endif // TOOLS_STATUS_CSTATUSREPORT_H
