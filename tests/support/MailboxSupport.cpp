// MailboxSupport.cpp - the mailbox seen from outside the system.
#include "tests/support/MailboxSupport.h"

#include "tests/support/TestSupport.h"

#include <shlwapi.h>

namespace
{
const int LAST_SLOT = 20;

// Reads one value of the mailbox key into a buffer larger than any slot the
// system writes; FALSE when the key or the value is not there.
BOOL QueryValue(const char* pszName, DWORD& dwType, std::string& strData)
{
    HKEY hKey = NULL;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, MAILBOX_KEY, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return FALSE;
    char szData[2048] = { 0 };
    DWORD dwSize = sizeof(szData) - 1;
    dwType = REG_NONE;
    const LONG lResult = RegQueryValueExA(hKey, pszName, NULL, &dwType, reinterpret_cast<LPBYTE>(szData), &dwSize);
    RegCloseKey(hKey);
    if (lResult != ERROR_SUCCESS)
        return FALSE;
    strData.assign(szData, dwSize);
    return TRUE;
}
}

std::string ReadSlot(int nSlot, BOOL* pbFound)
{
    DWORD dwType = REG_NONE;
    std::string strData;
    const BOOL bFound = QueryValue(std::to_string(nSlot).c_str(), dwType, strData) &&
                        (dwType == REG_SZ || dwType == REG_EXPAND_SZ);
    if (pbFound != NULL)
        *pbFound = bFound;
    return bFound ? std::string(strData.c_str()) : std::string();
}

std::map<int, std::string> ReadAllSlots()
{
    std::map<int, std::string> slots;
    for (int nSlot = 1; nSlot <= LAST_SLOT; ++nSlot)
    {
        BOOL bFound = FALSE;
        const std::string strText = ReadSlot(nSlot, &bFound);
        if (bFound)
            slots[nSlot] = strText;
    }
    return slots;
}

std::map<int, std::string> ReadRawSlots()
{
    std::map<int, std::string> slots;
    for (int nSlot = 1; nSlot <= LAST_SLOT; ++nSlot)
    {
        DWORD dwType = REG_NONE;
        std::string strData;
        if (QueryValue(std::to_string(nSlot).c_str(), dwType, strData))
            slots[nSlot] = std::to_string(dwType) + ":" + strData;
    }
    return slots;
}

std::string RawText(const std::string& strText)
{
    return std::to_string(REG_SZ) + ":" + strText + std::string(1, '\0');
}

void DeleteMailbox()
{
    SHDeleteKeyA(HKEY_CURRENT_USER, MAILBOX_KEY);
}

DWORD ReadLock()
{
    DWORD dwType = REG_NONE;
    std::string strData;
    if (!QueryValue("Lock", dwType, strData) || dwType != REG_DWORD || strData.size() != sizeof(DWORD))
        return LOCK_ABSENT;
    DWORD dwValue = 0;
    CopyMemory(&dwValue, strData.data(), sizeof(dwValue));
    return dwValue;
}

std::string TimerJob(const std::string& strAppPath, const char* pszDevices, const char* pszProduct,
                     const std::string& strFile)
{
    return Quoted(strAppPath) + ";" + pszDevices + ";P: " + pszProduct + ";D: 5;Key: ;File: \"" + strFile +
           "\";FM: 1;TO: 1;SO: 0;EO: 0";
}

std::string MailboxJob(const char* pszDevices, const std::string& strFile)
{
    return std::string(" ") + pszDevices + ";P: _SEL;D: 5;Key: ;File: \"" + strFile + "\" ;FM: 1;TO: 1;SO: 0;EO: 0";
}
