// CJobRecord.cpp - a job of the DLL's C interface.
#include "twreader/CJobRecord.h"

CJobRecord::CJobRecord()
    : m_pNext(NULL)
{
}

void CJobRecord::Show(CCmdLineParams& params, TWJOB& job)
{
    job.cbSize = sizeof(TWJOB);
    job.nDeviceType = params.GetDeviceType(0);
    job.nDeviceIndex = params.GetDeviceIndex(0);
    job.pszDevices = params.m_strDevices;
    job.pszProduct = params.m_strProduct;
    job.nD = params.m_nD;
    job.pszKey = params.m_strKey;
    job.pszFile = params.m_strFile;
    job.nFM = params.m_nFM;
    job.nTO = params.m_nTO;
    job.nSO = params.m_nSO;
    job.nEO = params.m_nEO;
    job.pvReserved = NULL;
}

BOOL CJobRecord::IsFillable(const TWJOB* pJob)
{
    return pJob != NULL && pJob->cbSize >= sizeof(TWJOB);
}

void CJobRecord::Empty(TWJOB& job)
{
    const DWORD cbSize = job.cbSize;
    ZeroMemory(&job, sizeof(job));
    job.cbSize = cbSize;
}
