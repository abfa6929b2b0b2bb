// CStartJob.cpp - the job an application was started with.
#include "mailbox/CStartJob.h"

#include "cmdline/CCmdLineParams.h"
#include "cmdline/ParseCmdLine.h"

CStartJob::CStartJob()
    : m_nDeviceType(-1), m_nDeviceIndex(-1)
{
}

CStartJob::CStartJob(const CStartJob& other)
    : m_nDeviceType(-1), m_nDeviceIndex(-1)
{
    *this = other;
}

CStartJob& CStartJob::operator=(const CStartJob& other)
{
    if (&other == this)
        return *this;
    other.m_cs.Lock();
    const CString strJob = other.m_strJob;
    const int nDeviceType = other.m_nDeviceType;
    const int nDeviceIndex = other.m_nDeviceIndex;
    other.m_cs.Unlock();
    CSingleLock lock(&m_cs, TRUE);
    m_strJob = strJob;
    m_nDeviceType = nDeviceType;
    m_nDeviceIndex = nDeviceIndex;
    return *this;
}

void CStartJob::Remember(CCmdLineParams& params)
{
    const CString strJob = GetText(params);
    CSingleLock lock(&m_cs, TRUE);
    m_strJob = strJob;
    m_nDeviceType = params.GetDeviceType(0);
    m_nDeviceIndex = params.GetDeviceIndex(0);
}

BOOL CStartJob::IsCopy(CCmdLineParams& params)
{
    const CString strJob = GetText(params);
    CSingleLock lock(&m_cs, TRUE);
    if (m_strJob.IsEmpty() || m_strJob != strJob)
        return FALSE;
    ForgetLocked();
    return TRUE;
}

BOOL CStartJob::IsFor(int nDeviceType, int nDeviceIndex) const
{
    CSingleLock lock(&m_cs, TRUE);
    return !m_strJob.IsEmpty() && m_nDeviceType == nDeviceType && m_nDeviceIndex == nDeviceIndex;
}

void CStartJob::Forget()
{
    CSingleLock lock(&m_cs, TRUE);
    ForgetLocked();
}

void CStartJob::ForgetLocked()
{
    m_strJob.Empty();
    m_nDeviceType = -1;
    m_nDeviceIndex = -1;
}

CString CStartJob::GetText(CCmdLineParams& params)
{
    params.GetDeviceCount();    // trims the device list in place
    CString strText;
    BuildRegistryCmdLine(&params, strText);
    return strText;
}
