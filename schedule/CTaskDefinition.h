// CTaskDefinition.h - one Tickward job as a Task Scheduler task definition:
// a single start at a local date and time, or a start every day or on given
// days of every week at a local time, and Tickward with its command line as
// the action, with the settings an unattended job needs (see
// scheduler/record.xml for why each one is there).
#ifndef SCHEDULE_CTASKDEFINITION_H
#define SCHEDULE_CTASKDEFINITION_H

#include <windows.h>

#include "afx/CString.h"

class CTaskDefinition
{
public:
    enum Trigger
    {
        triggerOnce,
        triggerDaily,
        triggerWeekly
    };
    enum When
    {
        whenSet,
        whenUnreadable,     // not in one of the forms of SetWhen
        whenPast            // a single start that lies before now
    };

    CTaskDefinition();
    virtual ~CTaskDefinition();

// Operations
    // Date "YYYY-MM-DD" and time "HH:MM", local time. FALSE when either is
    // not a real date or time in exactly that form.
    BOOL SetStart(const CString& strDate, const CString& strTime);
    // Every day, or every week on strDays ("Mon,Thu": Mon Tue Wed Thu Fri
    // Sat Sun), at "HH:MM" local time, the first start being the next such
    // time after now. FALSE for a time or a day list not in that form.
    BOOL SetDaily(const CString& strTime, const SYSTEMTIME& now);
    BOOL SetWeekly(const CString& strDays, const CString& strTime, const SYSTEMTIME& now);
    // A single start that lies before now can never run.
    BOOL IsStartPast(const SYSTEMTIME& now) const;
    // The same three forms as one text: "YYYY-MM-DD HH:MM", "daily HH:MM"
    // or "weekly Mon,Thu HH:MM", single blanks between.
    int SetWhen(const CString& strWhen, const SYSTEMTIME& now);
    // The first start after now (local time); FALSE when there is none,
    // a single start that has passed.
    BOOL GetNextStart(const SYSTEMTIME& now, SYSTEMTIME& next) const;
    // "once", "daily" or "weekly Mon,Thu", and back; FALSE for other texts.
    CString GetRepeat() const;
    BOOL SetRepeat(const CString& strRepeat);
    // "YYYY-MM-DDTHH:MM:00" as kept in m_strStart; FALSE for other texts.
    static BOOL ReadStart(const CString& strStart, SYSTEMTIME& start);
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
    // FALSE, with the reason in strWhy, for a command that Tickward itself
    // would refuse: found out at night, it would be a recording lost, or a
    // product message box that nobody closes.
    static BOOL IsUsableCommand(const CString& strCommandLine, CString& strWhy);

// Attributes
    CString m_strStart;         // "YYYY-MM-DDTHH:MM:00", the first start
    int m_nTrigger;
    int m_nDays;                // weekly: bit n for day n of the week, 0 Sunday
    CString m_strProgram;
    CString m_strCommandLine;

// Implementation
protected:
    static BOOL ReadNumber(const CString& strText, int nPos, int nDigits, int nMin, int nMax,
                           int& nValue);
    static BOOL IsXmlText(const CString& strText);
    static BOOL ReadTime(const CString& strTime, int& nHour, int& nMinute);
    static BOOL ReadDays(const CString& strDays, int& nDays);
    // The first time at nHour:nMinute after now on a day in nDays.
    void SetNextStart(int nHour, int nMinute, int nDays, const SYSTEMTIME& now);
    CString GetTriggerXml() const;
    static BOOL WriteWide(LPCSTR pszPath, const wchar_t* pWide, int nChars);
};

#endif // SCHEDULE_CTASKDEFINITION_H
