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
// Constructors
    CMailboxWriter();
    virtual ~CMailboxWriter();

// Operations
    // TRUE when strCmdLine, a job in mailbox form, was written into a slot
    // of the mailbox under strKey.
    BOOL Post(const CString& strKey, const CString& strCmdLine);

// Implementation
private:
    static BOOL FindFreeSlot(CRegistry& reg, const CString& strKey, BOOL bLocked, CString& strName);

    CMailboxWriter(const CMailboxWriter&);
    CMailboxWriter& operator=(const CMailboxWriter&);
};

#endif // MAILBOX_CMAILBOXWRITER_H
