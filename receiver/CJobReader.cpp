// CJobReader.cpp - the receiver's mailbox reader.
#include "receiver/CJobReader.h"

CJobReader::CJobReader()
    : m_dwCommandPause(COMMAND_PAUSE)
{
}

CJobReader::~CJobReader()
{
}

// Only the pause after a job changes; the short pauses of the loop stay.
void CJobReader::Pause(DWORD dwMilliseconds)
{
    CCmdLineProcess::Pause(dwMilliseconds == COMMAND_PAUSE ? m_dwCommandPause : dwMilliseconds);
}

void CJobReader::RememberStartJob(const CString& strJob)
{
    m_strStartJob = strJob;
}

BOOL CJobReader::IsStartJobCopy(const CString& strJob)
{
    if (m_strStartJob.IsEmpty() || m_strStartJob != strJob)
        return FALSE;
    m_strStartJob.Empty();
    return TRUE;
}

void CJobReader::OnDrainEnd()
{
    m_strStartJob.Empty();
}
