// CMailboxWriter.h - the writing end of the registry command mailbox.
//
// Holds: CMailboxWriter. Tickward posts each job with it: under the mailbox
// lock, into the first slot that cannot be read as text; when every slot
// holds a text, over the first slot a reader has consumed, but only while
// the lock is really held by this writer.
#ifndef MAILBOX_CMAILBOXWRITER_H
#define MAILBOX_CMAILBOXWRITER_H

#include <windows.h>

#include "afx/CString.h"

class CRegistry;

class CMailboxWriter
{
public:
    // How the last Post ended.
    enum Result
    {
        resultNone,         // nothing posted yet
        resultWritten,      // in slot m_strSlot
        resultTooLong,      // longer than a reader can read
        resultFull,         // no free slot, and none that may be written over
        resultWriteFailed   // the registry refused the write
    };

// Constructors
    CMailboxWriter();
    virtual ~CMailboxWriter();

// Operations
    // TRUE when strCmdLine, a job in mailbox form, was written into a slot
    // of the mailbox under strKey.
    BOOL Post(const CString& strKey, const CString& strCmdLine);

// Attributes
    int m_nResult;          // a Result
    CString m_strSlot;      // the slot the job went to, when it was written

// Implementation
private:
    static BOOL FindFreeSlot(CRegistry& reg, const CString& strKey, BOOL bLocked, CString& strName);

    CMailboxWriter(const CMailboxWriter&);
    CMailboxWriter& operator=(const CMailboxWriter&);
};

#endif // MAILBOX_CMAILBOXWRITER_H
