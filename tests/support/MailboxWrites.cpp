// MailboxWrites.cpp - the mailbox written from outside the system, each
// write checked with gtest's assertions.
#include "tests/support/MailboxSupport.h"

#include <gtest/gtest.h>

void CreateMailbox()
{
    HKEY hKey = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, MAILBOX_KEY, 0, NULL, REG_OPTION_NON_VOLATILE,
                                             KEY_ALL_ACCESS, NULL, &hKey, NULL));
    RegCloseKey(hKey);
}

void WriteRawValue(const char* pszName, DWORD dwType, const std::string& strData)
{
    HKEY hKey = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, MAILBOX_KEY, 0, NULL, REG_OPTION_NON_VOLATILE,
                                             KEY_ALL_ACCESS, NULL, &hKey, NULL));
    // The registry counts a zero that follows a text's data into the value;
    // a byte other than zero after the data keeps the size as given.
    const std::string strBuffer = strData + "#";
    const LONG lResult = RegSetValueExA(hKey, pszName, 0, dwType, reinterpret_cast<const BYTE*>(strBuffer.data()),
                                        static_cast<DWORD>(strData.size()));
    RegCloseKey(hKey);
    ASSERT_EQ(ERROR_SUCCESS, lResult);
}

void WriteValue(const char* pszName, const std::string& strText)
{
    WriteRawValue(pszName, REG_SZ, strText + std::string(1, '\0'));
}

void WriteSlot(int nSlot, const std::string& strText)
{
    WriteValue(std::to_string(nSlot).c_str(), strText);
}
