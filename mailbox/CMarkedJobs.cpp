// CMarkedJobs.cpp - the jobs a reader has marked and not yet handed over.
#include "mailbox/CMarkedJobs.h"

CMarkedJobs::CMarkedJobs()
    : m_nJobs(0), m_bPutBack(FALSE)
{
}

BOOL CMarkedJobs::Add(const CString& strJob)
{
    CSingleLock lock(&m_cs, TRUE);
    if (m_bPutBack || m_nJobs == CAPACITY)
        return FALSE;
    m_astrJobs[m_nJobs++] = strJob;
    return TRUE;
}

BOOL CMarkedJobs::TakeNext(CString& strJob)
{
    CSingleLock lock(&m_cs, TRUE);
    if (m_bPutBack || m_nJobs == 0)
        return FALSE;
    strJob = m_astrJobs[0];
    for (int i = 1; i < m_nJobs; ++i)
        m_astrJobs[i - 1] = m_astrJobs[i];
    m_astrJobs[--m_nJobs].Empty();
    return TRUE;
}

int CMarkedJobs::TakeForPutBack(CString* astrJobs)
{
    CSingleLock lock(&m_cs, TRUE);
    m_bPutBack = TRUE;
    const int nJobs = m_nJobs;
    for (int i = 0; i < nJobs; ++i)
    {
        astrJobs[i] = m_astrJobs[i];
        m_astrJobs[i].Empty();
    }
    m_nJobs = 0;
    return nJobs;
}
