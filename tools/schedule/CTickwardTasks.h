// CTickwardTasks.h - the Task Scheduler tasks twsched has created for this
// user, and their removal at an uninstall.
//
// Holds: CTickwardTasks. twsched lists each task it creates under
// HKEY_CURRENT_USER\SOFTWARE\Tickward\Tasks (one value per task, named as
// the task, folder included) and takes it off the list when it removes
// the task, so that an uninstall finds them all without a list of the
// operator's. The removal goes through the Task Scheduler's own interface.
#ifndef TOOLS_SCHEDULE_CTICKWARDTASKS_H
#define TOOLS_SCHEDULE_CTICKWARDTASKS_H

#include <windows.h>
#include <taskschd.h>

#include "afx/CString.h"

class CTickwardTasks
{
public:
    CTickwardTasks();
    virtual ~CTickwardTasks();

    static BOOL Remember(const CString& strName);
    static void Forget(const CString& strName);
    // A key of Tickward's under HKEY_CURRENT_USER goes once it holds nothing.
    static void RemoveKeyIfEmpty(LPCSTR pszKey);

    // Connects to the Task Scheduler; FALSE when it cannot be reached.
    BOOL Connect();
    // TRUE when a task of that name (folder included) is registered.
    BOOL Exists(const CString& strName);
    // Removes every listed task (one removed by hand already is only taken
    // off the list), printing each. FALSE when one could not be removed.
    BOOL RemoveAll();

private:
    ITaskFolder* FolderHolding(const CString& strName, CString& strFolder, CString& strLeaf);
    // Removes one task; TRUE when it is gone.
    BOOL Remove(const CString& strName);
    void RemoveFolderIfEmpty(const CString& strFolder);

    ITaskService* m_pService;
    BOOL m_bComStarted;

    CTickwardTasks(const CTickwardTasks&);
    CTickwardTasks& operator=(const CTickwardTasks&);
};

#endif // TOOLS_SCHEDULE_CTICKWARDTASKS_H
