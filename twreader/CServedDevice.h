// CServedDevice.h - one device that a receiving application serves through
// the DLL: its heartbeat and its mailbox reader, started and stopped
// together. The handle the application holds points to one of these.
#ifndef TWREADER_CSERVEDDEVICE_H
#define TWREADER_CSERVEDDEVICE_H

#include "instance/CDeviceClaim.h"
#include "instance/CHeartbeat.h"
#include "mailbox/CStartJob.h"
#include "thread/CWorkerStarter.h"
#include "twreader/CDeviceReader.h"
#include "twreader/twreader.h"

class CServedDevice
{
public:
    CServedDevice(int nDeviceType, int nDeviceIndex, TWJOBCALLBACK pfnCallback, void* pvContext);
    virtual ~CServedDevice();

    // Starts the heartbeat, then the reader, which drops the mailbox copy
    // of startJob (a job for this device, or none) in its first drain.
    TWRESULT Serve(const CStartJob& startJob);
    // The reader's stop, which ends the heartbeat too, then the queue's put
    // back: TW_OK once its thread has ended, TW_E_STOPPENDING while it is
    // held in a callback (call again).
    TWRESULT Stop();
    BOOL IsOnReaderThread() const;
    // Without a callback: where the application hears of a queued job.
    void Notify(HANDLE hJobReady, HWND hWnd, UINT uMessage);
    CJobRecord* TakeJob();
    BOOL IsQueued() const;

    int m_nDeviceType;
    int m_nDeviceIndex;
    CServedDevice* m_pNext;     // the DLL's list of served devices

private:
    // Declared in this order: the reader goes first, its starter after it.
    CDeviceClaim m_claim;
    CHeartbeat m_heartbeat;
    CWorkerStarter m_starter;
    CDeviceReader m_reader;

    CServedDevice(const CServedDevice&);
    CServedDevice& operator=(const CServedDevice&);
};

#endif // TWREADER_CSERVEDDEVICE_H
