// CStartJob.cpp - the job an application was started with.
#include "mailbox/CStartJob.h"

#include "cmdline/CCmdLineParams.h"
#include "cmdline/ParseCmdLine.h"

CStartJob::CStartJob()
    : m_nDeviceType(-1), m_nDeviceIndex(-1)
{
}

void CStartJob::Remember(CCmdLineParams& params)
{
    m_strJob = GetText(params);
    m_nDeviceType = params.GetDeviceType(0);
    m_nDeviceIndex = params.GetDeviceIndex(0);
}

BOOL CStartJob::IsCopy(CCmdLineParams& params)
{
    if (m_strJob.IsEmpty() || m_strJob != GetText(params))
        return FALSE;
    Forget();
    return TRUE;
}

BOOL CStartJob::IsFor(int nDeviceType, int nDeviceIndex) const
{
    return !m_strJob.IsEmpty() && m_nDeviceType == nDeviceType && m_nDeviceIndex == nDeviceIndex;
}

void CStartJob::Forget()
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
