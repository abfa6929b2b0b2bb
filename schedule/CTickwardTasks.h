// CTickwardTasks.h - Tickward's tasks in the Task Scheduler of this user:
// each created from a task definition and kept on the list of
// CScheduledTask, checked against the Task Scheduler, and removed.
//
// Everything goes through the Task Scheduler 2.0 interface (Vista and
// later). A task is registered, never replaced: a name that exists is
// refused at once, where schtasks would ask a person whether to replace it.
#ifndef SCHEDULE_CTICKWARDTASKS_H
#define SCHEDULE_CTICKWARDTASKS_H

#include <windows.h>
#include <taskschd.h>

#include "afx/CString.h"
#include "schedule/CScheduledTask.h"
#include "schedule/CTaskDefinition.h"

class CTickwardTasks
{
public:
    enum Result
    {
        resultDone,
        resultNoXmlTasks,   // no Task Scheduler 2.0 here (Windows XP and older)
        resultNoScheduler,  // it cannot be reached
        resultExists,       // a task of that name is registered already
        resultNoTask,       // no task of that name
        resultNoProgram,    // the definition's program is not there
        resultRefused,      // the Task Scheduler refused: m_hrLast says why
        resultNotListed     // created, but not on Tickward's list
    };

    CTickwardTasks();
    virtual ~CTickwardTasks();

// Operations
    int Connect();
    // TRUE when a task of that name (folder included) is registered.
    BOOL Exists(const CString& strName);
    int Add(const CString& strName, const CTaskDefinition& task);
    // A task removed by hand already is taken off the list: resultNoTask.
    int Remove(const CString& strName);
    // Tickward's list, each task checked with the Task Scheduler; with
    // bTidy a task removed by hand is taken off it (and still returned,
    // as stateGone). Returns how many it read.
    int List(CScheduledTask* aTasks, int nMax, const SYSTEMTIME& now, BOOL bTidy);

// Attributes
    HRESULT m_hrLast;

// Implementation
protected:
    // Seam: the Task Scheduler's object, as CoCreateInstance gives it.
    virtual HRESULT CreateService(ITaskService** ppService);

private:
    // The registered task of that name and, when asked, its folder; NULL
    // when there is none.
    IRegisteredTask* Find(const CString& strName, ITaskFolder** ppFolder);
    void Check(CScheduledTask& task);
    void RemoveFolderIfEmpty(const CString& strFolder);

    ITaskService* m_pService;
    BOOL m_bComStarted;

    CTickwardTasks(const CTickwardTasks&);
    CTickwardTasks& operator=(const CTickwardTasks&);
};

#endif // SCHEDULE_CTICKWARDTASKS_H
