// CHeartbeat.h - keeps this receiving application's heartbeat counter growing
// in the shared heartbeat table, so that Tickward finds the application alive
// and posts jobs into the mailbox instead of starting a second instance.
//
// The counter of a device lies at byte offset category * 40 + index * 4 of
// the 240-byte table; it must grow more often than every 600 ms, the time
// between Tickward's two readings. It is raised every 100 ms on a thread of
// its own, always under the table's mutex.
#ifndef RECEIVER_CHEARTBEAT_H
#define RECEIVER_CHEARTBEAT_H

#include "afx/afxmt.h"
#include "instance/CSharedMemory.h"

class CHeartbeat
{
public:
    CHeartbeat();
    virtual ~CHeartbeat();

    // Opens (or creates) the table and starts raising the device's counter.
    BOOL Start(int nCategory, int nIndex);
    void Stop();

    // Device types 1 to 3 have categories of their own; all others share 0.
    static int GetCategory(int nDeviceType);

private:
    static DWORD WINAPI ThreadProc(LPVOID pParam);
    void Beat();

    CSharedMemory m_SharedMemory;
    CEvent m_evStop;
    HANDLE m_hThread;
    int m_nOffset;
};

#endif // RECEIVER_CHEARTBEAT_H
