// CRunJournal.h - the journal of Tickward's runs.
//
// Holds: CRunJournal. Every run of tickward.exe appends one line to
// "Tickward\journal.log" in the user's local application data folder, so
// that an operator can still see weeks later what each run was asked and
// what it did. Each line is written with one write on a file opened for
// appending, under a named mutex that every writer takes, so lines of runs
// at the same moment never mix. Past MAX_SIZE the writer that holds the
// mutex renames the journal "journal.1.log" (replacing an older one) and a
// new one begins; a writer that waited for the mutex in vain only appends.
// The older Windows family (98, ME) can neither rename a file that another
// has open nor open one for that: there the journal is only appended to.
#ifndef JOURNAL_CRUNJOURNAL_H
#define JOURNAL_CRUNJOURNAL_H

#include <windows.h>

#include "afx/CString.h"

class CRunJournal
{
public:
    enum
    {
        MAX_SIZE = 1024 * 1024,     // bytes of a journal before it is rotated
        LOCK_TIMEOUT = 5000         // ms; a writer that hangs holds up no run for longer
    };

// Constructors
    CRunJournal();
    virtual ~CRunJournal();

// Operations
    // The journal's folder, file and rotated file. FALSE when Windows gives
    // no local application data folder.
    static BOOL GetFolder(CString& strFolder);
    static BOOL GetPath(CString& strPath);
    static BOOL GetRotatedPath(CString& strPath);
    // Deletes the journal and its rotated file, and their folder when
    // nothing else is in it; TRUE when neither file is left.
    static BOOL Remove();

    // Appends strEntry, after the local time to the millisecond and the
    // process id, as one line. FALSE when it could not; the debugger output
    // then says why. Nothing else of the run depends on it.
    BOOL Append(const CString& strEntry);

    // strField with its control characters, "|" and "%" written as "%" and
    // two hexadecimal digits, so that a text from a command (a file name, a
    // device list) can neither break a line nor forge a field. twstatus
    // shows slot texts the same way.
    static CString Escape(const CString& strField);

    // How a journal is opened by its writers and readers: others may read
    // and write it meanwhile, and on the NT family also rename it (the
    // older family rejects FILE_SHARE_DELETE).
    DWORD GetShareMode() const;

protected:
    // Whether Windows is of the NT family (GetVersionExA); a seam for tests.
    virtual BOOL IsNtFamily() const;

// Implementation
private:
    // ERROR_SUCCESS, or why the line is not in the journal.
    static DWORD WriteLine(const CString& strPath, const CString& strLine, DWORD dwShareMode);
    static void RotateIfFull(const CString& strPath, const CString& strRotated, int nNextLength);
    static CString FormatLine(const CString& strEntry);
    static BOOL Report(const CString& strPath, DWORD dwError);

    CRunJournal(const CRunJournal&);
    CRunJournal& operator=(const CRunJournal&);
};

#endif // JOURNAL_CRUNJOURNAL_H
