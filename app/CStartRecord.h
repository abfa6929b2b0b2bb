// CStartRecord.h - the receiving application that a run has just started
// for a device, while it starts.
//
// Holds: CStartRecord. A TV application spends seconds starting (its channel
// list, its tuner) before its first heartbeat. The run that starts it leaves
// a record for the device's heartbeat counter: the started process's id and
// creation time. A later run that finds the device not alive while that very
// process still runs, within the start-up window after its creation, knows
// the application is starting and starts no second copy. The records are
// Tickward's own, one binary value per counter ("<category>.<index>") under
// HKEY_CURRENT_USER\SOFTWARE\Tickward\Starting; receiving applications never
// see them.
#ifndef APP_CSTARTRECORD_H
#define APP_CSTARTRECORD_H

#include <windows.h>

#include "afx/CString.h"

class CStartRecord
{
public:
    CStartRecord(int nCategory, int nIndex);
    virtual ~CStartRecord();

    // Records the process just created as the device's starting application.
    BOOL Write(DWORD dwProcessId);
    // TRUE while the recorded process runs and less than dwWindow ms have
    // passed since it was recorded.
    BOOL IsStarting(DWORD dwWindow) const;
    // The recorded process's id while it is starting, else 0.
    DWORD GetStarting(DWORD dwWindow) const;
    // How many devices' applications are starting, and the counter and
    // process of the first of them.
    static int FindStarting(DWORD dwWindow, int& nCategory, int& nIndex, DWORD& dwProcessId);
    // Removes every device's record (an uninstall); TRUE when none is left.
    static BOOL ForgetAll();

protected:
    // Milliseconds since the machine started (a test moves them).
    virtual ULONGLONG GetTicks() const;

private:
    struct SRecord
    {
        DWORD dwProcessId;
        FILETIME created;
        ULONGLONG ullRecorded;  // GetTicks at the start
    };

    BOOL Read(SRecord& record) const;
    static BOOL IsSameProcessRunning(const SRecord& record);

    CString m_strName;
};

#endif // APP_CSTARTRECORD_H
