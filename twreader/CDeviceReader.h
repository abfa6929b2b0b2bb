// CDeviceReader.h - the mailbox reader of a device served through the DLL:
// the system's reader, handing each job to the application's C callback
// with its context, and dropping the mailbox copy of the job the
// application was started with.
#ifndef TWREADER_CDEVICEREADER_H
#define TWREADER_CDEVICEREADER_H

#include "mailbox/CCmdLineProcess.h"
#include "mailbox/CStartJob.h"
#include "twreader/twreader.h"

class CDeviceReader : public CCmdLineProcess
{
public:
    CDeviceReader(TWJOBCALLBACK pfnCallback, void* pvContext);
    virtual ~CDeviceReader();

    // Set before the start; read and forgotten on the worker from then on.
    CStartJob m_startJob;

protected:
    virtual void OnCommand(CCmdLineParams* pParams);
    virtual void OnDrainEnd();

private:
    TWJOBCALLBACK m_pfnCallback;
    void* m_pvContext;
};

#endif // TWREADER_CDEVICEREADER_H
