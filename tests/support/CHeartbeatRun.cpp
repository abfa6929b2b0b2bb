// CHeartbeatRun.cpp - a heartbeat.exe kept running for a test.
#include "tests/support/CHeartbeatRun.h"

#include "tests/support/TableNames.h"
#include "tests/support/TestSupport.h"

namespace
{
const DWORD START_TIMEOUT = 10000;
const DWORD STOP_TIMEOUT = 5000;
const char MAX_RUN_MS[] = "300000";
LONG g_nRuns = 0;
}

CHeartbeatRun::CHeartbeatRun(int nCategory, int nIndex)
    : m_bStarted(FALSE),
      m_dwOffset(static_cast<DWORD>(nCategory * 40 + nIndex * 4)),
      m_hStop(NULL),
      m_hProcess(NULL),
      m_hTable(NULL),
      m_pTable(NULL)
{
    m_strEvent = "TickwardTest_HeartbeatStop_" + std::to_string(GetCurrentProcessId()) + "_" +
                 std::to_string(InterlockedIncrement(&g_nRuns));
    m_hStop = CreateEventA(NULL, TRUE, FALSE, m_strEvent.c_str());
    m_hProcess = StartProcess(Quoted(BinPath("heartbeat.exe")) + " " + std::to_string(nCategory) + " " +
                              std::to_string(nIndex) + " " + m_strEvent + " " + MAX_RUN_MS);
    m_bStarted = m_hStop != NULL && m_hProcess != NULL && WaitForFirstBeat();
}

CHeartbeatRun::~CHeartbeatRun()
{
    if (m_pTable != NULL)
        UnmapViewOfFile(m_pTable);
    if (m_hTable != NULL)
        CloseHandle(m_hTable);
    if (m_hStop != NULL)
        SetEvent(m_hStop);
    if (m_hProcess != NULL)
    {
        WaitForSingleObject(m_hProcess, STOP_TIMEOUT);
        CloseHandle(m_hProcess);
    }
    if (m_hStop != NULL)
        CloseHandle(m_hStop);
}

DWORD CHeartbeatRun::ReadCounter() const
{
    if (m_pTable == NULL)
        return 0;
    return *reinterpret_cast<const volatile DWORD*>(m_pTable + m_dwOffset);
}

// Until the process has made (or opened) the table and raised its counter,
// Tickward could not yet see it alive.
BOOL CHeartbeatRun::WaitForFirstBeat()
{
    const DWORD dwStart = GetTickCount();
    while (GetTickCount() - dwStart < START_TIMEOUT)
    {
        if (m_hTable == NULL)
            m_hTable = OpenFileMappingA(FILE_MAP_READ, FALSE, TABLE_MAPPING);
        if (m_hTable != NULL && m_pTable == NULL)
            m_pTable = static_cast<const BYTE*>(MapViewOfFile(m_hTable, FILE_MAP_READ, 0, 0, 0));
        if (ReadCounter() > 0)
            return TRUE;
        if (WaitForSingleObject(m_hProcess, 20) != WAIT_TIMEOUT)
            return FALSE;
    }
    return FALSE;
}
