// CDeviceReader.cpp - the mailbox reader of a device served through the DLL.
#include "twreader/CDeviceReader.h"

#include "cmdline/ParseCmdLine.h"
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
    if (IsQueued())
    {
        // Out of memory, the job goes back where the next reader finds it.
        CString strJob;
        if (!m_queue.Add(*pParams) && BuildRegistryCmdLine(pParams, strJob))
            PutBack(strJob);
        return;
    }
    TWJOB job;
    CJobRecord::Show(*pParams, job);
    m_pfnCallback(&job, m_pvContext);
}

void CDeviceReader::PutBackQueued()
{
    while (CJobRecord* pRecord = m_queue.Take())
    {
        CString strJob;
        if (BuildRegistryCmdLine(&pRecord->m_params, strJob))
            PutBack(strJob);
        delete pRecord;
    }
}
