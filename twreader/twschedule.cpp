// twschedule.cpp - the DLL's scheduling functions (twreader.h): Tickward's
// tasks in the Task Scheduler, through the same library as twsched.
#include "twreader/twreader.h"

#include "schedule/CScheduledTask.h"
#include "schedule/CTaskDefinition.h"
#include "schedule/CTickwardTasks.h"

#include <new>
#include <string.h>

namespace
{
// The DLL's code of each of the library's results.
const TWRESULT RESULT_CODES[] = {
    TW_OK,              // resultDone
    TW_E_NOXMLTASKS,    // resultNoXmlTasks
    TW_E_SCHEDULER,     // resultNoScheduler
    TW_E_TASKEXISTS,    // resultExists
    TW_E_NOTASK,        // resultNoTask
    TW_E_NOTICKWARD,    // resultNoProgram
    TW_E_SCHEDULER,     // resultRefused
    TW_E_NOTLISTED,     // resultNotListed
};
const TWRESULT WHEN_CODES[] = { TW_OK, TW_E_BADWHEN, TW_E_PAST };   // by CTaskDefinition::When

// What the first version of TWTASK holds; a caller's may be longer.
const DWORD TASK_SIZE = sizeof(TWTASK);

BOOL IsText(const char* psz)
{
    return psz != NULL && *psz != '\0';
}

TWRESULT Schedule(const char* pszName, const char* pszWhen, const char* pszTickward, const CString& strCommand)
{
    if (!IsText(pszName) || pszWhen == NULL)
        return TW_E_INVALIDARG;
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    CTaskDefinition task;
    const TWRESULT nWhen = WHEN_CODES[task.SetWhen(pszWhen, now)];
    if (nWhen != TW_OK)
        return nWhen;
    CString strWhy;
    if (!CTaskDefinition::IsUsableCommand(strCommand, strWhy))
        return TW_E_BADJOB;
    if (!IsText(pszTickward) || !task.SetAction(pszTickward, strCommand))
        return TW_E_NOTICKWARD;
    CTickwardTasks tasks;
    return RESULT_CODES[tasks.Add(pszName, task)];
}

void CopyText(char* pszTo, size_t cbTo, const CString& strFrom)
{
    lstrcpynA(pszTo, strFrom, static_cast<int>(cbTo));
}

void Show(const CScheduledTask& task, const SYSTEMTIME& now, TWTASK& shown)
{
    ZeroMemory(&shown, TASK_SIZE);
    shown.cbSize = TASK_SIZE;
    CopyText(shown.szName, sizeof(shown.szName), task.m_strName);
    shown.nKind = task.m_nKind == CScheduledTask::kindRecording ? TW_TASK_RECORDING
                  : task.m_nKind == CScheduledTask::kindPower   ? TW_TASK_POWER
                                                                : TW_TASK_UNKNOWN;
    shown.nPowerAction = task.m_nPowerAction;
    if (!task.GetNextStart(now, shown.stNextStart))
        ZeroMemory(&shown.stNextStart, sizeof(shown.stNextStart));
    if (task.m_nKind != CScheduledTask::kindUnknown)
        CopyText(shown.szRepeat, sizeof(shown.szRepeat), task.m_when.GetRepeat());
    shown.nDeviceType = task.m_nDeviceType;
    shown.nDeviceIndex = task.m_nDeviceIndex;
    CopyText(shown.szFile, sizeof(shown.szFile), task.m_strFile);
    shown.bChecked = task.m_nState != CScheduledTask::stateUnchecked;
    shown.bEnabled = task.m_bEnabled;
    shown.bWakes = task.m_bWakes;
}
}

TWRESULT WINAPI TwScheduleRecording(const char* pszName, const char* pszWhen, const char* pszTickward,
                                    const char* pszTimerCommand)
{
    if (pszTimerCommand == NULL)
        return TW_E_INVALIDARG;
    // A power command is scheduled through TwSchedulePower.
    if (CTaskDefinition::IsPowerCommand(pszTimerCommand))
        return TW_E_BADJOB;
    return Schedule(pszName, pszWhen, pszTickward, pszTimerCommand);
}

TWRESULT WINAPI TwSchedulePower(const char* pszName, const char* pszWhen, const char* pszTickward, int nPowerAction)
{
    if (nPowerAction < 2 || nPowerAction > 4)
        return TW_E_INVALIDARG;
    CString strCommand;
    strCommand.Format("-E;%d", nPowerAction);
    return Schedule(pszName, pszWhen, pszTickward, strCommand);
}

TWRESULT WINAPI TwRemoveTask(const char* pszName)
{
    if (!IsText(pszName))
        return TW_E_INVALIDARG;
    CTickwardTasks tasks;
    return RESULT_CODES[tasks.Remove(pszName)];
}

TWRESULT WINAPI TwListTasks(TWTASK* pTasks, DWORD nMax, DWORD* pnTasks)
{
    if (pnTasks == NULL || (nMax > 0 && (pTasks == NULL || pTasks[0].cbSize < TASK_SIZE)))
        return TW_E_INVALIDARG;
    *pnTasks = 0;
    CScheduledTask* aTasks = new (std::nothrow) CScheduledTask[CScheduledTask::MAX_TASKS];
    if (aTasks == NULL)
        return TW_E_OUTOFMEMORY;
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    CTickwardTasks tasks;
    const int nTasks = tasks.List(aTasks, CScheduledTask::MAX_TASKS, now, TRUE);
    // The caller's elements may be longer than this version's.
    const DWORD cbStride = nMax > 0 ? pTasks[0].cbSize : 0;
    for (int i = 0; i < nTasks; ++i)
    {
        if (aTasks[i].m_nState == CScheduledTask::stateGone)
            continue;
        if (*pnTasks < nMax)
            Show(aTasks[i], now, *reinterpret_cast<TWTASK*>(reinterpret_cast<BYTE*>(pTasks) + *pnTasks * cbStride));
        ++*pnTasks;
    }
    delete[] aTasks;
    return TW_OK;
}
