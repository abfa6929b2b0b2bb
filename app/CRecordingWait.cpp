// CRecordingWait.cpp - a power command's wait for declared recordings.
#include "app/CRecordingWait.h"

#include "app/CPowerApi.h"
#include "app/CRunRecord.h"
#include "recording/CRecordingTable.h"

namespace
{
const char SETTINGS_KEY[] = "SOFTWARE\\Tickward";
const char LIMIT_VALUE[] = "PowerWaitLimit";
}

CRecordingWait::CRecordingWait(CPowerApi* pPowerApi)
    : m_pPowerApi(pPowerApi), m_bClocks(FALSE), m_ullWithSleep(0), m_ullAwake(0)
{
}

CRecordingWait::~CRecordingWait()
{
}

DWORD CRecordingWait::ReadLimit(BOOL& bMalformed)
{
    bMalformed = FALSE;
    HKEY hKey = NULL;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return DEFAULT_LIMIT;
    DWORD dwType = REG_NONE;
    BYTE abValue[8];
    DWORD dwSize = sizeof(abValue);
    const LONG nResult = ::RegQueryValueExA(hKey, LIMIT_VALUE, NULL, &dwType, abValue, &dwSize);
    ::RegCloseKey(hKey);
    if (nResult == ERROR_FILE_NOT_FOUND)
        return DEFAULT_LIMIT;
    bMalformed = nResult != ERROR_SUCCESS || dwType != REG_DWORD || dwSize != sizeof(DWORD);
    DWORD dwLimit = DEFAULT_LIMIT;
    if (!bMalformed)
        CopyMemory(&dwLimit, abValue, sizeof(dwLimit));
    return dwLimit;
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

int CRecordingWait::Wait(CRunRecord& record)
{
    BOOL bMalformed = FALSE;
    const DWORD dwLimit = ReadLimit(bMalformed);
    if (bMalformed)
    {
        CString strNote;
        strNote.Format("PowerWaitLimit is no REG_DWORD: %d s taken", DEFAULT_LIMIT);
        record.Note(strNote);
    }
    // A table that cannot be read may hold a recording: it holds the
    // request like one, and is looked at again in steps.
    CRecordingTable table;
    RecordingTable::SEntry aLive[RecordingTable::CAPACITY];
    const int nLive = table.Open() ? table.ReadLive(aLive, LOCK_STEP) : 0;
    if (nLive == 0)
        return outcomeRequest;
    record.Note("waits for " + Describe(aLive, nLive));
    if (dwLimit == 0)
    {
        record.Note("PowerWaitLimit 0: not waited");
        return outcomeRequest;
    }
    record.WriteProgress("waiting: no request if this run ends first");
    m_bClocks = m_pPowerApi->GetSleepClocks(m_ullWithSleep, m_ullAwake);
    HANDLE hChanged = ::CreateEventA(NULL, TRUE, FALSE, RecordingTable::CHANGED_EVENT);
    const DWORD dwStart = ::GetTickCount();
    const ULONGLONG ullLimit = static_cast<ULONGLONG>(dwLimit) * 1000;
    for (;;)
    {
        // Reset before the look: an end after it sets the event again.
        if (hChanged != NULL)
            ::ResetEvent(hChanged);
        RecordingTable::SEntry aNow[RecordingTable::CAPACITY];
        const ULONGLONG ullBefore = ::GetTickCount() - dwStart;
        const ULONGLONG ullStep = ullBefore < ullLimit ? ullLimit - ullBefore : 0;
        const DWORD dwLockStep = LOCK_STEP;
        const int nNow = table.ReadLive(aNow, ullStep < dwLockStep ? static_cast<DWORD>(ullStep) : dwLockStep);
        const ULONGLONG ullElapsed = ::GetTickCount() - dwStart;
        const ULONGLONG ullSlept = GetSlept();
        if (nNow == 0 || ullElapsed >= ullLimit || ullSlept > SLEEP_TOLERANCE)
        {
            if (hChanged != NULL)
                ::CloseHandle(hChanged);
            return Conclude(record, aNow, nNow, ullElapsed, ullSlept);
        }
        if (nNow == CRecordingTable::BUSY)
            continue;   // the step was spent waiting for the lock
        const ULONGLONG ullLeft = ullLimit - ullElapsed;
        const DWORD dwRecheck = RECHECK;
        WaitForChange(hChanged, aNow, nNow, ullLeft < dwRecheck ? static_cast<DWORD>(ullLeft) : dwRecheck);
    }
}

// The last line of the wait, and its outcome: a sleep outweighs the rest.
int CRecordingWait::Conclude(CRunRecord& record, const RecordingTable::SEntry* aNow, int nNow, ULONGLONG ullElapsed,
                             ULONGLONG ullSlept)
{
    CString strNote;
    if (ullSlept > SLEEP_TOLERANCE)
    {
        strNote.Format("the machine slept %lu s while this run waited: no request", static_cast<DWORD>(ullSlept / 1000));
        record.Note(strNote);
        return outcomeSlept;
    }
    strNote.Format("after %lu s", static_cast<DWORD>(ullElapsed / 1000));
    record.Note(nNow == 0 ? "recordings ended " + strNote : "held by " + Describe(aNow, nNow) + " " + strNote);
    return nNow == 0 ? outcomeRequest : outcomeHeld;
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
