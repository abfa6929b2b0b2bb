// CDueRecordings.cpp - the scheduled recordings a power command waits for.
#include "app/CDueRecordings.h"

#include "app/CRunRecord.h"
#include "schedule/CScheduledTask.h"
#include "schedule/TimeTicks.h"

namespace
{
const DWORD STARTED_LOOK = 1000;    // ms between looks while a started task has not run

void Lower(DWORD& dwNextLook, ULONGLONG ullTicks)
{
    const ULONGLONG ullMs = ullTicks / TimeTicks::PER_MS + 1;
    if (ullMs < dwNextLook)
        dwNextLook = static_cast<DWORD>(ullMs);
}
}

CDueRecordings::CDueRecordings(DWORD dwLead)
    : m_ullLead(static_cast<ULONGLONG>(dwLead) * 1000 * TimeTicks::PER_MS), m_nStarted(0)
{
}

CDueRecordings::~CDueRecordings()
{
}

CDueRecordings::SStarted* CDueRecordings::FindStarted(const CString& strName, ULONGLONG ullStart)
{
    for (int i = 0; i < m_nStarted; ++i)
        if (m_aStarted[i].ullStart == ullStart && m_aStarted[i].strName == strName)
            return &m_aStarted[i];
    if (m_nStarted == MAX_STARTED)
        return NULL;
    SStarted& started = m_aStarted[m_nStarted++];
    started.strName = strName;
    started.ullStart = ullStart;
    started.bRan = FALSE;
    started.bNoted = FALSE;
    return &started;
}

int CDueRecordings::Look(BOOL bOnItsWay, CString& strFirst, DWORD& dwNextLook, CRunRecord& record)
{
    if (m_ullLead == 0)
        return 0;
    CScheduledTask* aTasks = new CScheduledTask[CScheduledTask::MAX_TASKS];
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    const ULONGLONG ullNow = TimeTicks::FromSystemTime(now);
    const ULONGLONG ullGrace = GRACE * TimeTicks::PER_MS;
    // A start up to GRACE ago counts still.
    const SYSTEMTIME since = TimeTicks::ToSystemTime(ullNow - ullGrace);
    const int nTasks = CScheduledTask::ReadAll(aTasks, CScheduledTask::MAX_TASKS, since);
    int nHolding = 0;
    for (int i = 0; i < nTasks; ++i)
    {
        SYSTEMTIME next;
        if (aTasks[i].m_nKind != CScheduledTask::kindRecording || !aTasks[i].GetNextStart(since, next))
            continue;
        const ULONGLONG ullStart = TimeTicks::FromSystemTime(next);
        SStarted* pStarted = ullStart <= ullNow ? FindStarted(aTasks[i].m_strName, ullStart) : NULL;
        if (pStarted != NULL)
            pStarted->bRan = pStarted->bRan || bOnItsWay;
        const BOOL bHolds = ullStart > ullNow ? ullStart - ullNow <= m_ullLead : pStarted != NULL && !pStarted->bRan;
        if (!bHolds)
            continue;
        Lower(dwNextLook, ullStart > ullNow ? ullStart - ullNow : STARTED_LOOK * TimeTicks::PER_MS);
        if (nHolding++ == 0)
            strFirst.Format("the recording task \"%s\" due at %02u:%02u", static_cast<LPCSTR>(aTasks[i].m_strName),
                            next.wHour, next.wMinute);
    }
    delete[] aTasks;
    for (int i = 0; i < m_nStarted; ++i)
    {
        SStarted& started = m_aStarted[i];
        if (started.bRan || started.bNoted || ullNow < started.ullStart + ullGrace)
            continue;
        started.bNoted = TRUE;
        record.Note("the recording task \"" + started.strName + "\" has not run within 2 minutes of its start");
    }
    return nHolding;
}
