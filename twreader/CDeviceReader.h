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

    // Without a callback, the jobs wait in m_queue.
    BOOL IsQueued() const { return m_pfnCallback == NULL; }
    // Once the reader has ended: the jobs the application did not take go
    // back into the mailbox.
    void PutBackQueued();

    CJobQueue m_queue;

protected:
    virtual void OnCommand(CCmdLineParams* pParams);

private:
    TWJOBCALLBACK m_pfnCallback;
    void* m_pvContext;
};

#endif // TWREADER_CDEVICEREADER_H
