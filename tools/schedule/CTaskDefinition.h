// CTaskDefinition.h - one Tickward job as a Task Scheduler task definition:
// a single start at a local date and time, and Tickward with its command
// line as the action, with the settings an unattended job needs (see
// scheduler/record.xml for why each one is there).
#ifndef TOOLS_SCHEDULE_CTASKDEFINITION_H
#define TOOLS_SCHEDULE_CTASKDEFINITION_H

#include <windows.h>

#include "afx/CString.h"

class CTaskDefinition
{
public:
    CTaskDefinition();
    virtual ~CTaskDefinition();

// Operations
    // Date "YYYY-MM-DD" and time "HH:MM", local time. FALSE when either is
    // not a real date or time in exactly that form.
    BOOL SetStart(const CString& strDate, const CString& strTime);
    // Tickward's path (without quotes) and its command line. FALSE when the
    // path is empty or holds a double quote, or when either text holds a
    // character that XML cannot carry.
    BOOL SetAction(const CString& strProgram, const CString& strCommandLine);

    // The task definition (schema version 1.2) as text.
    CString GetXml() const;
    // Writes it as UTF-16 with a byte-order mark, the form schtasks reads.
    BOOL WriteFile(LPCSTR pszPath) const;

    static CString Escape(const CString& strText);
    // TRUE for "-E;n": a command that must not run late (see GetXml).
    static BOOL IsPowerCommand(const CString& strCommandLine);

// Attributes
    CString m_strStart;         // "YYYY-MM-DDTHH:MM:00"
    CString m_strProgram;
    CString m_strCommandLine;

// Implementation
protected:
    static BOOL ReadNumber(const CString& strText, int nPos, int nDigits, int nMin, int nMax,
                           int& nValue);
    static BOOL IsXmlText(const CString& strText);
    static BOOL WriteWide(LPCSTR pszPath, const wchar_t* pWide, int nChars);
};

#endif // TOOLS_SCHEDULE_CTASKDEFINITION_H
