// CHeartbeatRun.h - a running heartbeat.exe that keeps one device's counter
// growing in the shared heartbeat table, so that Tickward sees the device's
// receiving application as alive; stopped and waited for on destruction.
#ifndef TESTS_CHEARTBEATRUN_H
#define TESTS_CHEARTBEATRUN_H

#include <windows.h>

#include <string>

class CHeartbeatRun
{
public:
    CHeartbeatRun(int nCategory, int nIndex);
    virtual ~CHeartbeatRun();

    // The device's counter as the table holds it now.
    DWORD ReadCounter() const;

    // The process runs and has raised its counter at least once.
    BOOL m_bStarted;

private:
    BOOL WaitForFirstBeat();

    DWORD m_dwOffset;
    std::string m_strEvent;
    HANDLE m_hStop;
    HANDLE m_hProcess;
    HANDLE m_hTable;
    const BYTE* m_pTable;
};

#endif // TESTS_CHEARTBEATRUN_H
