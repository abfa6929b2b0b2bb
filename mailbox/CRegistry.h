// CRegistry.h - registry access for the command mailbox.
//
// Holds: CRegistry. The object has no state: every operation opens the key
// it needs, works and closes the key again before it returns, so no handle
// outlives a call. The mailbox lock is the REG_DWORD value "Lock" of the
// mailbox key: 1 means held, anything else (or no value) means free.
#ifndef MAILBOX_CREGISTRY_H
#define MAILBOX_CREGISTRY_H

#include <windows.h>

#include "afx/CString.h"

class CRegistry
{
public:
// Constructors
    CRegistry();
    virtual ~CRegistry();

// Operations
    // Texts live under HKEY_CURRENT_USER. A text value (REG_SZ, or
    // REG_EXPAND_SZ returned unexpanded) that fits the mailbox's text limit
    // is read; a longer one or one of another type counts as no text, and
    // strValue is then left as it was.
    BOOL ReadString(LPCSTR pszKey, LPCSTR pszName, CString& strValue);
    // The same for nCount values at once, with the key opened once: what a
    // scan of the whole mailbox costs every delivery. pbFound[i] tells
    // whether pstrValues[i] was read. FALSE when the key cannot be opened.
    BOOL ReadStrings(LPCSTR pszKey, const CString* pstrNames, int nCount, CString* pstrValues, BOOL* pbFound);
    BOOL WriteString(LPCSTR pszKey, LPCSTR pszName, LPCSTR pszValue);

    BOOL ReadDword(HKEY hRoot, LPCSTR pszKey, LPCSTR pszName, DWORD& dwValue);
    BOOL WriteDword(HKEY hRoot, LPCSTR pszKey, LPCSTR pszName, DWORD dwValue);

    BOOL DeleteValue(LPCSTR pszKey, LPCSTR pszName);

    // The advisory mailbox lock. LockKey polls a held lock every 10 ms for
    // about 2 s and then gives up (FALSE) without taking it; its test of the lock and the
    // taking are one step for every user of this class (see
    // MailboxLayout::LOCK_GUARD_MUTEX). UnlockKey always frees it and
    // tells whether it had been held.
    BOOL LockKey(LPCSTR pszKey, BOOL bCurrentUser);
    BOOL UnlockKey(LPCSTR pszKey, BOOL bCurrentUser);

// Implementation
protected:
    // Pause between two polls of a held lock, in milliseconds; a virtual
    // seam so that a test can count the polls.
    virtual void PollPause(DWORD dwMilliseconds);

private:
    BOOL TakeFreeLock(HKEY hRoot, LPCSTR pszKey);
    static BOOL QueryText(HKEY hKey, LPCSTR pszName, CString& strValue);

    CRegistry(const CRegistry&);
    CRegistry& operator=(const CRegistry&);
};

#endif // MAILBOX_CREGISTRY_H
