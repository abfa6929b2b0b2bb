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
    CString strEntry;
    strEntry.Format("%s | %s | exit %d", static_cast<LPCSTR>(Escape(m_strAsked)),
                    m_strFacts.IsEmpty() ? "-" : static_cast<LPCSTR>(Escape(m_strFacts)), nExitCode);
    CRunJournal journal;
    journal.Append(strEntry);
}

// A command may put anything into a file name or a device list: a line
// break would split the run's line, and a "|" could forge a field such as
// " | exit 0". Such bytes, and the escape character itself, become "%" and
// two hexadecimal digits; everything else, backslashes of paths included,
// stays as it is.
CString CRunRecord::Escape(const CString& strField)
{
    CString strEscaped;
    for (int i = 0; i < strField.GetLength(); ++i)
    {
        const unsigned char ch = static_cast<unsigned char>(strField[i]);
        if (ch < 0x20 || ch == 0x7F || ch == '|' || ch == '%')
        {
            CString strCode;
            strCode.Format("%%%02X", ch);
            strEscaped += strCode;
        }
        else
        {
            strEscaped += static_cast<char>(ch);
        }
    }
    return strEscaped;
}
