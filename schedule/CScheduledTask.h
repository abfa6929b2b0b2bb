// CScheduledTask.h - what Tickward keeps of a task it scheduled, so that the
// task's next start is known without asking the Task Scheduler: its kind,
// its times and, for a recording, the device and the file.
//
// The records lie under HKEY_CURRENT_USER\SOFTWARE\Tickward\Tasks, a REG_SZ
// value per task named as the task (folder included), holding
// "<kind>;<repeat>;<first start>;<device>;<file>", for example
// "recording;weekly Mon,Thu;2026-12-14T20:15:00;1.2;D:\Rec\news.ts" or
// "standby;daily;2026-12-10T23:30:00;;". A value left empty comes from an
// older Tickward, which kept only the names: such a task's kind and times
// are unknown.
#ifndef SCHEDULE_CSCHEDULEDTASK_H
#define SCHEDULE_CSCHEDULEDTASK_H

#include <windows.h>

#include "afx/CString.h"
#include "schedule/CTaskDefinition.h"

class CScheduledTask
{
public:
    enum Kind
    {
        kindUnknown,
        kindRecording,
        kindPower
    };
    // What the Task Scheduler told of the task when the list was read.
    enum State
    {
        stateUnchecked,     // not asked
        stateRegistered,
        stateGone           // removed by hand: taken off the list
    };
    enum
    {
        MAX_TASKS = 256     // more than anyone schedules; the rest are not read
    };

    CScheduledTask();
    virtual ~CScheduledTask();

// Operations
    // The record of a task about to be registered under strName.
    void Describe(const CString& strName, const CTaskDefinition& task);
    CString Format() const;
    // FALSE for a text that is no record; the task is then of kindUnknown.
    BOOL Parse(const CString& strName, const CString& strText);
    BOOL GetNextStart(const SYSTEMTIME& now, SYSTEMTIME& next) const;
    // "recording", "standby", "shutdown", "hibernate" or "unknown".
    CString GetKindText() const;
    // One line for people: kind, next start, repeat, what the Task
    // Scheduler told, a recording's device and file.
    CString GetSummary(const SYSTEMTIME& now) const;

    // The list: each kept, taken off, or all read (sorted by next start,
    // those without one last); ReadAll returns how many it read.
    BOOL Remember() const;
    static void Forget(const CString& strName);
    static int ReadAll(CScheduledTask* aTasks, int nMax, const SYSTEMTIME& now);
    // A key of Tickward's under HKEY_CURRENT_USER goes once it holds nothing.
    static void RemoveKeyIfEmpty(LPCSTR pszKey);

// Attributes
    CString m_strName;
    int m_nKind;
    int m_nPowerAction;         // 2 standby, 3 shutdown, 4 hibernate; 0 for a recording
    CTaskDefinition m_when;     // its trigger only
    int m_nDeviceType;          // -1 but for a recording
    int m_nDeviceIndex;
    CString m_strFile;
    int m_nState;
    BOOL m_bEnabled;            // as the Task Scheduler tells, once checked
    BOOL m_bWakes;
};

#endif // SCHEDULE_CSCHEDULEDTASK_H
