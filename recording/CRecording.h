// CRecording.h - one recording that a receiving application declares while
// it makes it: a power command of Tickward waits for its end, and the
// machine's own idle sleep is held off meanwhile.
//
// Holds: CRecording. Begin enters the recording into the table of
// declared recordings (RecordingTable.h) and asks Windows to stay awake:
// with a power request giving the reason where Windows has them (7 and
// later: powercfg /requests names it), else with SetThreadExecutionState,
// which holds for the calling thread: there Begin and End belong on one
// thread that lives through the recording. End (or the destruction, or the
// end of the process) ends both. Several may overlap, on one device or on
// several.
#ifndef RECORDING_CRECORDING_H
#define RECORDING_CRECORDING_H

#include "recording/CRecordingTable.h"

class CRecording
{
public:
    CRecording();
    virtual ~CRecording();

    // FALSE when one is declared already by this object, or the table
    // cannot be opened or is full.
    BOOL Begin(int nDeviceType, int nDeviceIndex, LPCSTR pszReason);
    void End();
    BOOL IsDeclared() const { return m_nEntry >= 0; }

private:
    void HoldAwake(LPCSTR pszReason);
    void ReleaseAwake();

    CRecordingTable m_table;
    int m_nEntry;
    DWORD m_dwCookie;
    HANDLE m_hPowerRequest;     // the power request, where Windows has them
    BOOL m_bThreadState;        // else the thread's execution state

    CRecording(const CRecording&);
    CRecording& operator=(const CRecording&);
};

#endif // RECORDING_CRECORDING_H
