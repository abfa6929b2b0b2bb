// CCmdLineProcess.h - the command mailbox reader.
//
// Holds: CCmdLineProcess. GetRegistryKey maps a product code to its mailbox
// key; writer and reader both use it, so it is a static member.
#ifndef MAILBOX_CCMDLINEPROCESS_H
#define MAILBOX_CCMDLINEPROCESS_H

#include <windows.h>

#include "afx/CString.h"

class CCmdLineProcess
{
public:
    // TRUE for the supported product, with its mailbox key in strKey; for
    // every other code a message box tells the user, and strKey is empty.
    static BOOL GetRegistryKey(const CString& strProduct, CString& strKey);

    // The reader's members follow.
};

#endif // MAILBOX_CCMDLINEPROCESS_H
