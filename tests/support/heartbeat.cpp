// heartbeat.cpp - stands in for a running receiving application: keeps the
// heartbeat counter of one device growing in the shared table, as the real
// application does, so that Tickward sees that device as alive.
//
//   heartbeat.exe CATEGORY INDEX [STOP-EVENT [MAX-MS]]
//
// The table is opened (or made) exactly as a receiving application does:
// the named block of tests/support/TableNames.h (TABLE_NAME, TABLE_SIZE) with
// its mutex; the counter at CATEGORY * 40 + INDEX * 4 is raised by one under the
// mutex every 100 ms. It stops when the named manual-reset event STOP-EVENT
// is set ("-" for none) or after MAX-MS milliseconds (default 60000).
// Exit code: 0 after a normal stop, 1 for bad arguments, 2 when the table
// could not be opened.
#include <windows.h>

#include <stdlib.h>

#include "instance/CSharedMemory.h"
#include "tests/support/TableNames.h"

namespace
{
const DWORD BEAT_INTERVAL = 100;
const DWORD DEFAULT_MAX_RUN = 60000;

BOOL ParseNumber(const char* pszText, long nMin, long nMax, long& nValue)
{
    char* pszEnd = NULL;
    nValue = strtol(pszText, &pszEnd, 10);
    return pszEnd != pszText && *pszEnd == '\0' && nValue >= nMin && nValue <= nMax;
}

void Beat(CSharedMemory& table, DWORD dwOffset)
{
    table.Lock();
    DWORD* pCounter = reinterpret_cast<DWORD*>(static_cast<BYTE*>(table.m_pView) + dwOffset);
    *pCounter = *pCounter + 1;
    table.Unlock();
}
}

int main(int argc, char* argv[])
{
    long nCategory = 0;
    long nIndex = 0;
    long nMaxRun = DEFAULT_MAX_RUN;
    if (argc < 3 || argc > 5
        || !ParseNumber(argv[1], 0, 5, nCategory) || !ParseNumber(argv[2], 0, 9, nIndex)
        || (argc == 5 && !ParseNumber(argv[4], 0, 0x7FFFFFFF, nMaxRun)))
        return 1;

    HANDLE hStop = NULL;
    if (argc >= 4 && lstrcmpA(argv[3], "-") != 0)
    {
        hStop = CreateEventA(NULL, TRUE, FALSE, argv[3]);
        if (hStop == NULL)
            return 1;
    }

    CSharedMemory table;
    if (table.Create(TABLE_SIZE, TABLE_NAME) != 1)
    {
        if (hStop != NULL)
            CloseHandle(hStop);
        return 2;
    }

    const DWORD dwOffset = static_cast<DWORD>(nCategory * 40 + nIndex * 4);
    const DWORD dwStart = GetTickCount();
    for (;;)
    {
        Beat(table, dwOffset);
        if (GetTickCount() - dwStart >= static_cast<DWORD>(nMaxRun))
            break;
        if (hStop != NULL)
        {
            if (WaitForSingleObject(hStop, BEAT_INTERVAL) != WAIT_TIMEOUT)
                break;
        }
        else
        {
            Sleep(BEAT_INTERVAL);
        }
    }
    if (hStop != NULL)
        CloseHandle(hStop);
    return 0;
}
