// CDeviceReader.h - the mailbox reader of a device served through the DLL:
// the system's reader, handing each job to the application's C callback
// with its context, or, without a callback, to the device's queue.
#ifndef TWREADER_CDEVICEREADER_H
#define TWREADER_CDEVICEREADER_H

#include "mailbox/CCmdLineProcess.h"
#include "twreader/CJobQueue.h"
#include "twreader/twreader.h"

class CDeviceReader : public CCmdLineProcess
{
public:
    CDeviceReader(TWJOBCALLBACK pfnCallback, void* pvContext);
    virtual ~CDeviceReader();

    CJobQueue m_queue;      // the jobs, when there is no callback

protected:
    virtual void OnCommand(CCmdLineParams* pParams);

private:
    TWJOBCALLBACK m_pfnCallback;
    void* m_pvContext;
};

#endif // TWREADER_CDEVICEREADER_H
