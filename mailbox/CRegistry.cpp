// CRegistry.cpp - registry access for the command mailbox.
#include "mailbox/CRegistry.h"

#include "afx/afxmt.h"
#include "mailbox/MailboxLayout.h"

namespace
{
// A slot text is read into a buffer of this many bytes; what does not fit is
// no command of ours.
const DWORD READ_BUFFER_SIZE = MailboxLayout::TEXT_LIMIT;

// About 2 s in all before a held lock is overridden, polled finely: the
// writer's own "Lock" write wakes a reader's change notification, so a
// reader often finds the lock held for the few milliseconds of the writer's
// scan, and a coarse poll would keep every job from it that much longer.
const int LOCK_POLLS = 200;
const DWORD LOCK_POLL_PAUSE = 10;
// A test and set takes milliseconds; a guard not had by then belongs to a
// process that hangs, and the lock is then tried without it, as before.
const DWORD LOCK_GUARD_WAIT = 1000;

BOOL IsEmptyText(LPCSTR psz)
{
    return psz == NULL || psz[0] == '\0';
}

HKEY RootOf(BOOL bCurrentUser)
{
    return bCurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

// Opens the key, or creates it together with every missing parent.
BOOL CreateKey(HKEY hRoot, LPCSTR pszKey, HKEY& hKey)
{
    DWORD dwDisposition = 0;
    return ::RegCreateKeyExA(hRoot, pszKey, 0, NULL, REG_OPTION_NON_VOLATILE,
                             KEY_ALL_ACCESS, NULL, &hKey, &dwDisposition) == ERROR_SUCCESS;
}
}

CRegistry::CRegistry()
{
}

CRegistry::~CRegistry()
{
}

BOOL CRegistry::ReadString(LPCSTR pszKey, LPCSTR pszName, CString& strValue)
{
    HKEY hKey = NULL;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, pszKey, 0, KEY_ALL_ACCESS, &hKey) != ERROR_SUCCESS)
        return FALSE;
    const BOOL bRead = QueryText(hKey, pszName, strValue);
    ::RegCloseKey(hKey);
    return bRead;
}

BOOL CRegistry::ReadStrings(LPCSTR pszKey, const CString* pstrNames, int nCount, CString* pstrValues, BOOL* pbFound)
{
    HKEY hKey = NULL;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, pszKey, 0, KEY_ALL_ACCESS, &hKey) != ERROR_SUCCESS)
        return FALSE;
    for (int i = 0; i < nCount; ++i)
        pbFound[i] = QueryText(hKey, pstrNames[i], pstrValues[i]);
    ::RegCloseKey(hKey);
    return TRUE;
}

BOOL CRegistry::QueryText(HKEY hKey, LPCSTR pszName, CString& strValue)
{
    // One byte more than the query may fill, so that a value that fills the
    // whole buffer, or one stored without its terminating zero, still ends
    // where its data ends and is never read further.
    char szBuffer[READ_BUFFER_SIZE + 1];
    ZeroMemory(szBuffer, sizeof(szBuffer));
    DWORD dwType = REG_NONE;
    DWORD dwSize = READ_BUFFER_SIZE;
    const LONG lResult = ::RegQueryValueExA(hKey, pszName, NULL, &dwType,
                                            reinterpret_cast<LPBYTE>(szBuffer), &dwSize);
    if (lResult != ERROR_SUCCESS || (dwType != REG_SZ && dwType != REG_EXPAND_SZ))
        return FALSE;
    if (dwSize > READ_BUFFER_SIZE)
        return FALSE;
    szBuffer[dwSize] = '\0';
    strValue = szBuffer;
    return TRUE;
}

BOOL CRegistry::WriteString(LPCSTR pszKey, LPCSTR pszName, LPCSTR pszValue)
{
    HKEY hKey = NULL;
    if (!CreateKey(HKEY_CURRENT_USER, pszKey, hKey))
        return FALSE;

    // Opening (and so creating) the key is all that is asked for then.
    BOOL bResult = TRUE;
    if (!IsEmptyText(pszName) || !IsEmptyText(pszValue))
    {
        const LPCSTR pszText = pszValue != NULL ? pszValue : "";
        const DWORD dwSize = static_cast<DWORD>(lstrlenA(pszText)) + 1;
        bResult = ::RegSetValueExA(hKey, pszName, 0, REG_SZ,
                                   reinterpret_cast<const BYTE*>(pszText), dwSize) == ERROR_SUCCESS;
    }
    ::RegCloseKey(hKey);
    return bResult;
}

BOOL CRegistry::ReadDword(HKEY hRoot, LPCSTR pszKey, LPCSTR pszName, DWORD& dwValue)
{
    HKEY hKey = NULL;
    if (::RegOpenKeyExA(hRoot, pszKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return FALSE;

    DWORD dwData = 0;
    DWORD dwType = REG_NONE;
    DWORD dwSize = sizeof(dwData);
    const LONG lResult = ::RegQueryValueExA(hKey, pszName, NULL, &dwType,
                                            reinterpret_cast<LPBYTE>(&dwData), &dwSize);
    ::RegCloseKey(hKey);

    // A REG_DWORD stored with fewer than four bytes holds no whole number.
    if (lResult != ERROR_SUCCESS || dwType != REG_DWORD || dwSize != sizeof(dwData))
        return FALSE;
    dwValue = dwData;
    return TRUE;
}

BOOL CRegistry::WriteDword(HKEY hRoot, LPCSTR pszKey, LPCSTR pszName, DWORD dwValue)
{
    HKEY hKey = NULL;
    if (!CreateKey(hRoot, pszKey, hKey))
        return FALSE;

    BOOL bResult = TRUE;
    if (!IsEmptyText(pszName))
    {
        bResult = ::RegSetValueExA(hKey, pszName, 0, REG_DWORD,
                                   reinterpret_cast<const BYTE*>(&dwValue),
                                   sizeof(dwValue)) == ERROR_SUCCESS;
    }
    ::RegCloseKey(hKey);
    return bResult;
}

BOOL CRegistry::DeleteValue(LPCSTR pszKey, LPCSTR pszName)
{
    HKEY hKey = NULL;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, pszKey, 0, KEY_ALL_ACCESS, &hKey) != ERROR_SUCCESS)
        return FALSE;
    const LONG lResult = ::RegDeleteValueA(hKey, pszName);
    ::RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS;
}

BOOL CRegistry::LockKey(LPCSTR pszKey, BOOL bCurrentUser)
{
    const HKEY hRoot = RootOf(bCurrentUser);
    int nTries = 0;
    while (!TakeFreeLock(hRoot, pszKey))
    {
        // Someone holds the lock: wait for it, but not for ever, as a holder
        // that died would otherwise block the mailbox for good.
        PollPause(LOCK_POLL_PAUSE);
        if (++nTries >= LOCK_POLLS)
            return FALSE;
    }
    return TRUE;
}

// Tests the lock and, when it is free, takes it, as one step under the guard
// mutex: two writers that both took it would both find the same free slot,
// and one job would overwrite the other. Receiving applications built by
// others know nothing of the guard and may take the lock in two steps; the
// writer is safe beside them because it never writes a slot that a reader
// could delete.
BOOL CRegistry::TakeFreeLock(HKEY hRoot, LPCSTR pszKey)
{
    CMutex guard(FALSE, MailboxLayout::LOCK_GUARD_MUTEX);
    const BOOL bGuarded = guard.m_hObject != NULL && guard.Lock(LOCK_GUARD_WAIT);
    DWORD dwValue = 0;
    const BOOL bFree = !ReadDword(hRoot, pszKey, MailboxLayout::LOCK_VALUE, dwValue) ||
                       dwValue != MailboxLayout::LOCK_HELD;
    // The lock is advisory: a failed write still lets the caller go on.
    if (bFree)
        WriteDword(hRoot, pszKey, MailboxLayout::LOCK_VALUE, MailboxLayout::LOCK_HELD);
    if (bGuarded)
        guard.Unlock();
    return bFree;
}

BOOL CRegistry::UnlockKey(LPCSTR pszKey, BOOL bCurrentUser)
{
    const HKEY hRoot = RootOf(bCurrentUser);
    DWORD dwValue = 2;
    const BOOL bWasHeld = ReadDword(hRoot, pszKey, MailboxLayout::LOCK_VALUE, dwValue)
                          && dwValue == MailboxLayout::LOCK_HELD;
    WriteDword(hRoot, pszKey, MailboxLayout::LOCK_VALUE, MailboxLayout::LOCK_FREE);
    return bWasHeld;
}

void CRegistry::PollPause(DWORD dwMilliseconds)
{
    ::Sleep(dwMilliseconds);
}
