// CHeartbeat.h - keeps a receiving application's heartbeat counter growing
// in the shared heartbeat table, so that Tickward finds the application alive
// and posts jobs into the mailbox instead of starting a second instance.
//
// Holds: CHeartbeat. The counter must grow more often than Tickward's sample
// pause (HeartbeatTable.h); it is raised every 100 ms on a thread of its
// own, always under the table's mutex.
#ifndef INSTANCE_CHEARTBEAT_H
#define INSTANCE_CHEARTBEAT_H

#include "afx/afxmt.h"
#include "instance/CSharedMemory.h"

class CHeartbeat
{
public:
    CHeartbeat();
    virtual ~CHeartbeat();

    // Opens (or creates) the table and starts raising the counter of the
    // device (HeartbeatTable::GetCategory gives a device type's category).
    BOOL Start(int nCategory, int nIndex);
    void Stop();

private:
    static DWORD WINAPI ThreadProc(LPVOID pParam);
    void Beat();

    CSharedMemory m_SharedMemory;
    CEvent m_evStop;
    HANDLE m_hThread;
    int m_nOffset;
};

#endif // INSTANCE_CHEARTBEAT_H
