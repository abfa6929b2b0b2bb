// CRecordingWait.cpp - a power command's wait for declared recordings.
#include "app/CRecordingWait.h"

#include "app/CPowerApi.h"
#include "app/CRunRecord.h"
#include "recording/CRecordingTable.h"

namespace
{
const char SETTINGS_KEY[] = "SOFTWARE\\Tickward";
const char LIMIT_VALUE[] = "PowerWaitLimit";
const char LEAD_VALUE[] = "PowerLeadTime";

DWORD ReadLead()
{
    BOOL bMalformed = FALSE;
    return CRecordingWait::ReadSetting(LEAD_VALUE, CRecordingWait::DEFAULT_LEAD, bMalformed);
}
}

CRecordingWait::CRecordingWait(CPowerApi* pPowerApi, DWORD dwStartWindow)
    : m_dwSettle(SETTLE_TIME), m_pPowerApi(pPowerApi), m_jobs(dwStartWindow), m_due(ReadLead()), m_ullLastJob(0),
      m_bOnlyRecordings(TRUE), m_bClocks(FALSE), m_ullWithSleep(0), m_ullAwake(0)
{
}

CRecordingWait::~CRecordingWait()
{
}

DWORD CRecordingWait::ReadSetting(LPCSTR pszName, DWORD dwDefault, BOOL& bMalformed)
{
    bMalformed = FALSE;
    HKEY hKey = NULL;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return dwDefault;
    DWORD dwType = REG_NONE;
    BYTE abValue[8];
    DWORD dwSize = sizeof(abValue);
    const LONG nResult = ::RegQueryValueExA(hKey, pszName, NULL, &dwType, abValue, &dwSize);
    ::RegCloseKey(hKey);
    if (nResult == ERROR_FILE_NOT_FOUND)
        return dwDefault;
    bMalformed = nResult != ERROR_SUCCESS || dwType != REG_DWORD || dwSize != sizeof(DWORD);
    DWORD dwValue = dwDefault;
    if (!bMalformed)
        CopyMemory(&dwValue, abValue, sizeof(dwValue));
    return dwValue;
}

CString CRecordingWait::Describe(const RecordingTable::SEntry* aLive, int nLive)
{
    if (nLive == CRecordingTable::BUSY)
        return "the locked table of recordings";
    const RecordingTable::SEntry& entry = aLive[0];
    char szReason[RecordingTable::REASON_LIMIT];
    ::lstrcpynA(szReason, entry.szReason, RecordingTable::REASON_LIMIT);
    CString strText;
    strText.Format("recording on device %ld.%ld (%s, process %lu)", entry.nDeviceType, entry.nDeviceIndex,
                   szReason, entry.dwProcessId);
    return strText;
}

ULONGLONG CRecordingWait::GetSlept() const
{
    ULONGLONG ullWithSleep = 0, ullAwake = 0;
    if (!m_bClocks || !m_pPowerApi->GetSleepClocks(ullWithSleep, ullAwake))
        return 0;
    const ULONGLONG ullPassed = ullWithSleep - m_ullWithSleep;
    const ULONGLONG ullAwakePassed = ullAwake - m_ullAwake;
    return ullPassed > ullAwakePassed ? ullPassed - ullAwakePassed : 0;
}

// One look at everything that holds the request. The table's lock and the
// delivery mutex are waited for dwLockStep at most.
void CRecordingWait::Look(CRecordingTable& table, SLook& look, DWORD dwLockStep, ULONGLONG ullElapsed,
                          CRunRecord& record)
{
    look.nLive = table.ReadLive(look.aLive, dwLockStep);
    look.nJobs = m_jobs.Look(look.strJob, dwLockStep);
    look.dwNextLook = RECHECK;
    look.nDue = m_due.Look(look.nLive != 0 || look.nJobs > 0, look.strDue, look.dwNextLook, record);
    // A job taken leaves its application the settle time to declare its
    // recording; a declaration ends it.
    if (look.nJobs > 0)
        m_ullLastJob = ullElapsed + 1;
    else if (look.nLive != 0)
        m_ullLastJob = 0;
    look.bSettling = m_ullLastJob != 0 && ullElapsed + 1 - m_ullLastJob < m_dwSettle;
    if (look.nJobs > 0 || look.nDue > 0 || look.bSettling)
        m_bOnlyRecordings = FALSE;
}

BOOL CRecordingWait::IsHolding(const SLook& look)
{
    return look.nLive != 0 || look.nJobs > 0 || look.nDue > 0 || look.bSettling;
}

CString CRecordingWait::Describe(const SLook& look)
{
    if (look.nLive != 0)
        return Describe(look.aLive, look.nLive);
    if (look.nJobs > 0)
        return look.strJob;
    if (look.nDue > 0)
        return look.strDue;
    return "the settle time after a job was taken";
}

int CRecordingWait::Wait(CRunRecord& record)
{
    BOOL bMalformed = FALSE;
    const DWORD dwLimit = ReadSetting(LIMIT_VALUE, DEFAULT_LIMIT, bMalformed);
    if (bMalformed)
    {
        CString strNote;
        strNote.Format("PowerWaitLimit is no REG_DWORD: %d s taken", DEFAULT_LIMIT);
        record.Note(strNote);
    }
    // A table that cannot be read may hold a recording: it holds the
    // request like one, and is looked at again in steps.
    CRecordingTable table;
    table.Open();
    SLook look;
    Look(table, look, LOCK_STEP, 0, record);
    if (!IsHolding(look))
        return outcomeRequest;
    record.Note("waits for " + Describe(look));
    if (dwLimit == 0)
    {
        record.Note("PowerWaitLimit 0: not waited");
        return outcomeRequest;
    }
    record.WriteProgress("waiting: no request if this run ends first");
    m_waiting.Publish(Describe(look));
    m_bClocks = m_pPowerApi->GetSleepClocks(m_ullWithSleep, m_ullAwake);
    HANDLE hChanged = ::CreateEventA(NULL, TRUE, FALSE, RecordingTable::CHANGED_EVENT);
    const DWORD dwStart = ::GetTickCount();
    const ULONGLONG ullLimit = static_cast<ULONGLONG>(dwLimit) * 1000;
    for (;;)
    {
        // Reset before the look: an end after it sets the event again.
        if (hChanged != NULL)
            ::ResetEvent(hChanged);
        const ULONGLONG ullBefore = ::GetTickCount() - dwStart;
        const ULONGLONG ullStep = ullBefore < ullLimit ? ullLimit - ullBefore : 0;
        const DWORD dwLockStep = LOCK_STEP;
        Look(table, look, ullStep < dwLockStep ? static_cast<DWORD>(ullStep) : dwLockStep, ullBefore, record);
        const ULONGLONG ullElapsed = ::GetTickCount() - dwStart;
        const ULONGLONG ullSlept = GetSlept();
        if (!IsHolding(look) || ullElapsed >= ullLimit || ullSlept > SLEEP_TOLERANCE)
        {
            if (hChanged != NULL)
                ::CloseHandle(hChanged);
            return Conclude(record, look, ullElapsed, ullSlept);
        }
        m_waiting.Publish(Describe(look));
        if (look.nLive == CRecordingTable::BUSY)
            continue;   // the step was spent waiting for the lock
        // Jobs on their way are looked at often: they leave no event.
        const ULONGLONG ullLeft = ullLimit - ullElapsed;
        const DWORD dwJobStep = JOB_STEP;
        const DWORD dwRecheck = look.nJobs > 0 || look.bSettling ? dwJobStep : look.dwNextLook;
        WaitForChange(hChanged, look.aLive, look.nLive, ullLeft < dwRecheck ? static_cast<DWORD>(ullLeft) : dwRecheck);
    }
}

// The last line of the wait, and its outcome: a sleep outweighs the rest.
int CRecordingWait::Conclude(CRunRecord& record, const SLook& look, ULONGLONG ullElapsed, ULONGLONG ullSlept)
{
    CString strNote;
    if (ullSlept > SLEEP_TOLERANCE)
    {
        strNote.Format("the machine slept %lu s while this run waited: no request", static_cast<DWORD>(ullSlept / 1000));
        record.Note(strNote);
        return outcomeSlept;
    }
    strNote.Format(" after %lu s", static_cast<DWORD>(ullElapsed / 1000));
    const BOOL bHeld = IsHolding(look);
    const char* pszEnded = m_bOnlyRecordings ? "recordings ended" : "all taken, nothing declared";
    record.Note((bHeld ? "held by " + Describe(look) : CString(pszEnded)) + strNote);
    return bHeld ? outcomeHeld : outcomeRequest;
}

// Wakes at a recording's end, a declaring process's death or the time-out.
void CRecordingWait::WaitForChange(HANDLE hChanged, const RecordingTable::SEntry* aLive, int nLive,
                                   DWORD dwTimeout)
{
    HANDLE ahWait[MAXIMUM_WAIT_OBJECTS];
    DWORD dwCount = 0;
    if (hChanged != NULL)
        ahWait[dwCount++] = hChanged;
    for (int i = 0; i < nLive && dwCount < MAXIMUM_WAIT_OBJECTS; ++i)
    {
        HANDLE hProcess = ::OpenProcess(SYNCHRONIZE, FALSE, aLive[i].dwProcessId);
        if (hProcess != NULL)
            ahWait[dwCount++] = hProcess;
    }
    if (dwCount == 0)
        ::Sleep(dwTimeout);
    else
        ::WaitForMultipleObjects(dwCount, ahWait, FALSE, dwTimeout);
    for (DWORD i = hChanged != NULL ? 1 : 0; i < dwCount; ++i)
        ::CloseHandle(ahWait[i]);
}
