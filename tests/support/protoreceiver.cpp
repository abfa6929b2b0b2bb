// protoreceiver - a receiving application as a third party writes it from
// the mailbox protocol alone, for the fault storm. It keeps its heartbeat
// growing with CHeartbeat (the heartbeat table is a contract both sides
// share), but reads the mailbox with code of its own: its lock is the
// protocol's two registry calls (read "Lock"; if it is not 1, write 1), a
// held lock polled every 100 ms up to 20 times before the scan goes on
// without it, the release a write of 0; it knows nothing of Tickward's guard
// mutex. It takes each slot meant for its device by marking it "xxx", hands
// the job over, pauses, and deletes the consumed slots when its drain ends;
// a registry change notification wakes it. Its stop takes Tickward's
// delivery mutex, whose name the contract gives, to end its heartbeat and
// take its last jobs. A job on its command line is left to the mailbox copy.
//
//   protoreceiver [--type N] [--index N] [--pause MS]   run until stopped
//   protoreceiver --stop [--type N] [--index N]         ask it to stop
//
// It prints the lines a test reads from the example receiver ("serving",
// "job from mailbox:" with the job's File="...", "stopped"), to standard
// output and to "<exe path>.log", and its stop event has the example
// receiver's name, so that a test runs and stops either program the same
// way.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "afx/CString.h"
#include "cmdline/CCmdLineParams.h"
#include "cmdline/ParseCmdLine.h"
#include "instance/CHeartbeat.h"
#include "instance/HeartbeatTable.h"
#include "receiver/ReceiverStop.h"
#include "tests/support/MailboxSupport.h"
#include "tests/support/TableNames.h"

namespace
{
// The protocol, in this reader's own words.
const char LOCK[] = "Lock";
const DWORD LOCK_HELD = 1;
const DWORD LOCK_FREE = 0;
const int LOCK_POLLS = 20;
const DWORD LOCK_POLL_PAUSE = 100;
const char CONSUMED[] = "xxx";
const int SLOT_COUNT = 20;
const DWORD TEXT_SIZE = 520;
const DWORD REARM_PAUSE = 100;
const DWORD DELIVERY_WAIT = 30000;

struct SReader
{
    int nType;
    int nIndex;
    DWORD dwPause;
    BOOL bStopOther;   // --stop: ask the running one to stop
    HANDLE hStop;
    HKEY hKey;
    CString strLog;
};

HANDLE g_hStop = NULL;

BOOL WINAPI OnConsoleCtrl(DWORD /*dwCtrlType*/)
{
    SetEvent(g_hStop);
    return TRUE;
}

void Print(const SReader& reader, const CString& strLine)
{
    printf("%s\n", static_cast<LPCSTR>(strLine));
    fflush(stdout);
    HANDLE hFile = CreateFileA(reader.strLog, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return;
    const CString strText = strLine + "\r\n";
    DWORD dwWritten = 0;
    WriteFile(hFile, static_cast<LPCSTR>(strText), strText.GetLength(), &dwWritten, NULL);
    CloseHandle(hFile);
}

CString SlotName(int nSlot)
{
    CString strName;
    strName.Format("%i", nSlot);
    return strName;
}

DWORD ReadLock(HKEY hKey)
{
    DWORD dwValue = LOCK_FREE;
    DWORD dwType = REG_NONE;
    DWORD dwSize = sizeof(dwValue);
    if (RegQueryValueExA(hKey, LOCK, NULL, &dwType, reinterpret_cast<LPBYTE>(&dwValue), &dwSize) != ERROR_SUCCESS
        || dwType != REG_DWORD)
        return LOCK_FREE;
    return dwValue;
}

void WriteLock(HKEY hKey, DWORD dwValue)
{
    RegSetValueExA(hKey, LOCK, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwValue), sizeof(dwValue));
}

// The test and the setting are two registry calls: another user can find
// the lock free between them and hold it at the same time.
void TakeLock(HKEY hKey)
{
    for (int nPoll = 0; nPoll < LOCK_POLLS; ++nPoll)
    {
        if (ReadLock(hKey) != LOCK_HELD)
        {
            WriteLock(hKey, LOCK_HELD);
            return;
        }
        Sleep(LOCK_POLL_PAUSE);
    }
}

BOOL ReadSlot(HKEY hKey, int nSlot, CString& strText)
{
    char szText[TEXT_SIZE + 1] = { 0 };
    DWORD dwType = REG_NONE;
    DWORD dwSize = TEXT_SIZE;
    if (RegQueryValueExA(hKey, SlotName(nSlot), NULL, &dwType, reinterpret_cast<LPBYTE>(szText), &dwSize)
            != ERROR_SUCCESS || (dwType != REG_SZ && dwType != REG_EXPAND_SZ))
        return FALSE;
    strText = szText;
    return TRUE;
}

void WriteSlot(HKEY hKey, int nSlot, LPCSTR pszText)
{
    RegSetValueExA(hKey, SlotName(nSlot), 0, REG_SZ, reinterpret_cast<const BYTE*>(pszText), lstrlenA(pszText) + 1);
}

BOOL IsJobForMe(const SReader& reader, const CString& strText)
{
    CCmdLineParams params;
    return strText != CONSUMED && ParseCmdLine(strText, &params, FALSE, TRUE)
           && params.GetDeviceType(0) == reader.nType && params.GetDeviceIndex(0) == reader.nIndex;
}

// Looks only: a write would wake the reader again.
BOOL HasJobForMe(const SReader& reader)
{
    CString strText;
    for (int nSlot = 1; nSlot <= SLOT_COUNT; ++nSlot)
        if (ReadSlot(reader.hKey, nSlot, strText) && IsJobForMe(reader, strText))
            return TRUE;
    return FALSE;
}

// The lowest slot that holds a job for this device, marked consumed.
BOOL TakeJob(const SReader& reader, CString& strJob)
{
    TakeLock(reader.hKey);
    BOOL bTaken = FALSE;
    for (int nSlot = 1; nSlot <= SLOT_COUNT && !bTaken; ++nSlot)
    {
        if (ReadSlot(reader.hKey, nSlot, strJob) && IsJobForMe(reader, strJob))
        {
            WriteSlot(reader.hKey, nSlot, CONSUMED);
            bTaken = TRUE;
        }
    }
    WriteLock(reader.hKey, LOCK_FREE);
    return bTaken;
}

void DeleteConsumed(const SReader& reader)
{
    TakeLock(reader.hKey);
    CString strText;
    for (int nSlot = 1; nSlot <= SLOT_COUNT; ++nSlot)
        if (ReadSlot(reader.hKey, nSlot, strText) && strText == CONSUMED)
            RegDeleteValueA(reader.hKey, SlotName(nSlot));
    WriteLock(reader.hKey, LOCK_FREE);
}

void HandOver(const SReader& reader, const CString& strJob, DWORD dwPause)
{
    CCmdLineParams params;
    if (ParseCmdLine(strJob, &params, FALSE, FALSE))
    {
        params.GetDeviceCount();    // the device list trimmed, as the accessors read it
        CString strLine;
        strLine.Format("job from mailbox: devices=\"%s\" Key=\"%s\" File=\"%s\"",
                       static_cast<LPCSTR>(params.m_strDevices), static_cast<LPCSTR>(params.m_strKey),
                       static_cast<LPCSTR>(params.m_strFile));
        Print(reader, strLine);
    }
    Sleep(dwPause);
}

BOOL IsStopped(const SReader& reader)
{
    return WaitForSingleObject(reader.hStop, 0) != WAIT_TIMEOUT;
}

void Drain(const SReader& reader)
{
    CString strJob;
    while (!IsStopped(reader) && TakeJob(reader, strJob))
        HandOver(reader, strJob, reader.dwPause);
    DeleteConsumed(reader);
}

// Arms before it looks: a job posted after the last drain's scan and before
// the arming woke nothing, but is found by the look.
void Serve(const SReader& reader, HANDLE hChange)
{
    HANDLE handles[2] = { reader.hStop, hChange };
    for (;;)
    {
        ResetEvent(hChange);
        RegNotifyChangeKeyValue(reader.hKey, FALSE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET, hChange,
                                TRUE);
        if (!HasJobForMe(reader) && WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0 + 1)
            return;
        if (IsStopped(reader))
            return;
        Drain(reader);
        Sleep(REARM_PAUSE);
    }
}

// The stop the protocol allows: while the delivery mutex is held, no
// Tickward run is between its heartbeat test and its post. So the heartbeat
// ends and this device's last jobs are taken under it, and handed over after.
void StopServing(const SReader& reader, CHeartbeat& heartbeat)
{
    HANDLE hDelivery = CreateMutexA(NULL, FALSE, DELIVERY_MUTEX);
    const DWORD dwWait = hDelivery != NULL ? WaitForSingleObject(hDelivery, DELIVERY_WAIT) : WAIT_FAILED;
    heartbeat.Stop();
    CString astrJobs[SLOT_COUNT];
    int nJobs = 0;
    while (nJobs < SLOT_COUNT && TakeJob(reader, astrJobs[nJobs]))
        ++nJobs;
    if (dwWait == WAIT_OBJECT_0 || dwWait == WAIT_ABANDONED)
        ReleaseMutex(hDelivery);
    if (hDelivery != NULL)
        CloseHandle(hDelivery);
    for (int i = 0; i < nJobs; ++i)
        HandOver(reader, astrJobs[i], 0);
    DeleteConsumed(reader);
}

int ServeWithHeartbeat(const SReader& reader, HANDLE hChange)
{
    CHeartbeat heartbeat;
    if (!heartbeat.Start(HeartbeatTable::GetCategory(reader.nType), reader.nIndex))
    {
        Print(reader, "protoreceiver: cannot open the heartbeat table");
        return 1;
    }
    CString strServing;
    strServing.Format("protoreceiver: serving device type %d, index %d", reader.nType, reader.nIndex);
    Print(reader, strServing);
    Serve(reader, hChange);
    StopServing(reader, heartbeat);
    Print(reader, "protoreceiver: stopped");
    return 0;
}

int Run(SReader& reader)
{
    HANDLE hChange = CreateEventA(NULL, TRUE, FALSE, NULL);
    if (hChange == NULL)
        return 1;
    int nResult = 1;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, MAILBOX_KEY, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL,
                        &reader.hKey, NULL) == ERROR_SUCCESS)
    {
        nResult = ServeWithHeartbeat(reader, hChange);
        RegCloseKey(reader.hKey);
    }
    CloseHandle(hChange);
    return nResult;
}

void ReadOptions(int argc, char* argv[], SReader& reader)
{
    for (int i = 1; i < argc; ++i)
    {
        const BOOL bHasValue = i + 1 < argc;
        if (strcmp(argv[i], "--stop") == 0)
            reader.bStopOther = TRUE;
        else if (strcmp(argv[i], "--type") == 0 && bHasValue)
            reader.nType = atoi(argv[++i]);
        else if (strcmp(argv[i], "--index") == 0 && bHasValue)
            reader.nIndex = atoi(argv[++i]);
        else if (strcmp(argv[i], "--pause") == 0 && bHasValue)
            reader.dwPause = strtoul(argv[++i], NULL, 10);
    }
}
}

int main(int argc, char* argv[])
{
    SReader reader = { 1, 2, 10000, FALSE, NULL, NULL, CString() };
    ReadOptions(argc, argv, reader);
    char szPath[MAX_PATH] = { 0 };
    GetModuleFileNameA(NULL, szPath, MAX_PATH - 1);
    reader.strLog = CString(szPath) + ".log";
    const CString strStopEvent = ReceiverStop::GetEventName(reader.nType, reader.nIndex);
    if (reader.bStopOther)
    {
        HANDLE hEvent = OpenEventA(EVENT_MODIFY_STATE, FALSE, strStopEvent);
        const BOOL bSet = hEvent != NULL && SetEvent(hEvent);
        if (hEvent != NULL)
            CloseHandle(hEvent);
        return bSet ? 0 : 1;
    }
    reader.hStop = CreateEventA(NULL, TRUE, FALSE, strStopEvent);
    if (reader.hStop == NULL)
        return 1;
    ResetEvent(reader.hStop);   // a stop meant for the copy before this one
    g_hStop = reader.hStop;
    SetConsoleCtrlHandler(OnConsoleCtrl, TRUE);
    const int nResult = Run(reader);
    SetConsoleCtrlHandler(OnConsoleCtrl, FALSE);
    CloseHandle(reader.hStop);
    return nResult;
}
