// CRunRecord.cpp - what one run of Tickward was asked and what it did.
#include "app/CRunRecord.h"

#include "journal/CRunJournal.h"

CRunRecord::CRunRecord()
    : m_strAsked("nothing"), m_bWritten(FALSE)
{
}

CRunRecord::~CRunRecord()
{
}

void CRunRecord::SetAsked(const CString& strAsked)
{
    m_strAsked = strAsked;
}

void CRunRecord::Note(const CString& strFact)
{
    if (!m_strFacts.IsEmpty())
        m_strFacts += ", ";
    m_strFacts += strFact;
}

void CRunRecord::Write(int nExitCode)
{
    if (m_bWritten)
        return;
    m_bWritten = TRUE;
    CString strExit;
    strExit.Format("exit %d", nExitCode);
    Append(strExit);
}

void CRunRecord::WriteProgress(LPCSTR pszState)
{
    Append(pszState);
}

void CRunRecord::Append(LPCSTR pszEnd)
{
    CString strEntry;
    strEntry.Format("%s | %s | %s", static_cast<LPCSTR>(CRunJournal::Escape(m_strAsked)),
                    m_strFacts.IsEmpty() ? "-" : static_cast<LPCSTR>(CRunJournal::Escape(m_strFacts)), pszEnd);
    CRunJournal journal;
    journal.Append(strEntry);
}
