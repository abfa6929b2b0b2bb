// CDeviceClaim.h - one device, one serving process.
//
// Holds: CDeviceClaim. Two readers of one device split its jobs between
// them, and two copies of an application fight for its tuner. A process
// that serves a device claims it before its heartbeat starts and gives the
// claim up when the heartbeat ends (its stop hands over only what it has
// marked by then, and the next copy, started by the run that finds the
// device dead, must be able to claim it). While one claim holds, every other
// claim of the device is refused, in this process or another of the
// session. The claim is a named kernel object, so a process that dies gives
// it up with its handles.
#ifndef INSTANCE_CDEVICECLAIM_H
#define INSTANCE_CDEVICECLAIM_H

#include <windows.h>

class CDeviceClaim
{
public:
    CDeviceClaim();
    virtual ~CDeviceClaim();

    // FALSE when the device is claimed already (or no claim can be made).
    BOOL Take(int nDeviceType, int nDeviceIndex);
    void Release();

private:
    HANDLE m_hClaim;

    CDeviceClaim(const CDeviceClaim&);
    CDeviceClaim& operator=(const CDeviceClaim&);
};

#endif // INSTANCE_CDEVICECLAIM_H
