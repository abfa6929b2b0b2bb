// CServedDevice.h - one device that a receiving application serves through
// the DLL: its heartbeat and its mailbox reader, started and stopped
// together. The handle the application holds points to one of these.
#ifndef TWREADER_CSERVEDDEVICE_H
#define TWREADER_CSERVEDDEVICE_H

#include "instance/CHeartbeat.h"
#include "mailbox/CDeviceClaim.h"
#include "mailbox/CStartJob.h"
#include "mailbox/CWorkerStarter.h"
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
    // The reader's stop, which ends the heartbeat too; TW_OK once its
    // thread has ended.
    TWRESULT Stop();
    BOOL IsOnReaderThread() const;

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
