// CJobReader.cpp - the receiver's mailbox reader.
#include "receiver/CJobReader.h"

CJobReader::CJobReader()
    : m_dwCommandPause(COMMAND_PAUSE), m_pfnStartJobCopy(NULL)
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

void CJobReader::OnStartJobCopy(CCmdLineParams* pParams)
{
    CCmdLineProcess::OnStartJobCopy(pParams);
    if (m_pfnStartJobCopy != NULL)
        m_pfnStartJobCopy(pParams);
}
