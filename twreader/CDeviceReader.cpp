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
    TWJOB job;
    CJobRecord::Show(*pParams, job);
    LogTagged("CCmdLineProcess::CheckRegistryComanndos() Send a new Event to MainFrame");
    m_pfnCallback(&job, m_pvContext);
}
