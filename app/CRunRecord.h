// CRunRecord.h - what one run of Tickward was asked and what it did, for the
// run journal.
//
// Holds: CRunRecord. The run notes each fact as it happens; Write appends
// the one journal line of the run: "<asked> | <facts> | exit <code>". In
// the fields, control characters, "|" and "%" are written as "%" and two
// hexadecimal digits, so that a line is always one run and its last field
// its real exit code.
#ifndef APP_CRUNRECORD_H
#define APP_CRUNRECORD_H

#include "afx/CString.h"

class CRunRecord
{
public:
    CRunRecord();
    virtual ~CRunRecord();

    void SetAsked(const CString& strAsked);
    // Adds one fact of what the run did, in the order it happened.
    void Note(const CString& strFact);
    // Appends the run's journal line. Only the first call writes: a power
    // command's line goes out before its request, and the run's end must
    // not write a second one.
    void Write(int nExitCode);
    // Appends a line of what the run has done so far, with pszState where
    // the exit code goes: a run that is ended before its own line leaves
    // this one.
    void WriteProgress(LPCSTR pszState);

private:
    void Append(LPCSTR pszEnd);

    CString m_strAsked;
    CString m_strFacts;
    BOOL m_bWritten;
};

#endif // APP_CRUNRECORD_H
