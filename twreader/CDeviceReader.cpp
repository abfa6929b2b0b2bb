// CDeviceReader.cpp - the mailbox reader of a device served through the DLL.
#include "twreader/CDeviceReader.h"

#include "log/Log.h"
#include "twreader/CJobRecord.h"

CDeviceReader::CDeviceReader(TWJOBCALLBACK pfnCallback, void* pvContext)
    : m_pfnCallback(pfnCallback), m_pvContext(pvContext)
{
}

CDeviceReader::~CDeviceReader()
{
}

void CDeviceReader::OnCommand(CCmdLineParams* pParams)
{
    LogTagged("CCmdLineProcess::CheckRegistryComanndos() Send a new Event to MainFrame");
    if (m_pfnCallback == NULL)
    {
        // Out of memory, the job goes back where the next reader finds it.
        if (!m_queue.Add(*pParams))
            CJobQueue::PutBack(*pParams, m_strRegistryKey);
        return;
    }
    TWJOB job;
    CJobRecord::Show(*pParams, job);
    m_pfnCallback(&job, m_pvContext);
}
