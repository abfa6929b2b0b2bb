// CMailboxWriter.h - the writing end of the registry command mailbox.
//
// Holds: CMailboxWriter. Tickward posts each job with it: under the mailbox
// lock, into the first slot that cannot be read as text. A slot that holds
// a text, a consumed one ("xxx") included, is never written over, so a
// mailbox whose twenty slots all hold texts refuses the job. A job whose
// exact text already waits in a slot is not written again: two identical
// texts are the same recording, and a reader would take it twice.
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
        resultAlreadyWaiting,   // the same text waits in slot m_strSlot
        resultTooLong,      // longer than a reader can read
        resultFull,         // every slot holds a text
        resultWriteFailed   // the registry refused the write
    };

// Constructors
    CMailboxWriter();
    virtual ~CMailboxWriter();

// Operations
    // TRUE when strCmdLine, a job in mailbox form, is in a slot of the
    // mailbox under strKey: written now, or waiting there already.
    BOOL Post(const CString& strKey, const CString& strCmdLine);

// Attributes
    int m_nResult;          // a Result
    CString m_strSlot;      // the slot the job is in, when it is in one

// Implementation
private:
    // Looks at every slot: resultAlreadyWaiting (in m_strSlot), resultFull,
    // or resultNone with the first free slot in strFree.
    int FindSlot(CRegistry& reg, const CString& strKey, const CString& strCmdLine, CString& strFree);

    CMailboxWriter(const CMailboxWriter&);
    CMailboxWriter& operator=(const CMailboxWriter&);
};

#endif // MAILBOX_CMAILBOXWRITER_H
