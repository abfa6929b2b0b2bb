// Tests of the mailbox store against the real registry, on the real mailbox
// key; every test leaves the key as it found it.
#include "mailbox/CRegistry.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/CSavedRegistryKey.h"
#include "tests/support/MailboxSupport.h"

namespace
{
const std::string ABSENT_KEY = std::string(MAILBOX_KEY) + "\\NoSuchKey";

class CRegistryTest : public ::testing::Test
{
protected:
    CRegistryTest() : m_saved(HKEY_CURRENT_USER, MAILBOX_KEY) {}

    // Every test starts without the mailbox key.
    void SetUp() override
    {
        DeleteMailbox();
    }

    BOOL ValueExists(HKEY hRoot, const char* pszName)
    {
        HKEY hKey = NULL;
        if (RegOpenKeyExA(hRoot, MAILBOX_KEY, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
            return FALSE;
        const LONG lResult = RegQueryValueExA(hKey, pszName, NULL, NULL, NULL, NULL);
        RegCloseKey(hKey);
        return lResult == ERROR_SUCCESS;
    }

    DWORD LockValue(HKEY hRoot = HKEY_CURRENT_USER)
    {
        DWORD dwValue = 0xDEADBEEF;
        EXPECT_TRUE(m_registry.ReadDword(hRoot, MAILBOX_KEY, "Lock", dwValue));
        return dwValue;
    }

    CSavedRegistryKey m_saved;
    CRegistry m_registry;
};

// Counts the polls of a held lock instead of sleeping between them.
class CCountingRegistry : public CRegistry
{
public:
    CCountingRegistry() : m_nPauses(0), m_nFreeAfter(-1), m_dwPause(0) {}
    int m_nPauses;
    int m_nFreeAfter;   // frees the lock after this many pauses; -1: never
    DWORD m_dwPause;    // the last pause asked for

protected:
    void PollPause(DWORD dwMilliseconds) override
    {
        m_dwPause = dwMilliseconds;
        ++m_nPauses;
        if (m_nPauses == m_nFreeAfter)
            WriteDword(HKEY_CURRENT_USER, MAILBOX_KEY, "Lock", 0);
    }
};
}

TEST_F(CRegistryTest, OperationsOnAnAbsentKeyFailAndCreateNothing)
{
    CString strValue("before");
    DWORD dwValue = 0xDEADBEEF;
    EXPECT_FALSE(m_registry.ReadString(MAILBOX_KEY, "1", strValue));
    EXPECT_STREQ("before", strValue);
    EXPECT_FALSE(m_registry.ReadDword(HKEY_CURRENT_USER, MAILBOX_KEY, "Lock", dwValue));
    EXPECT_EQ(0xDEADBEEFu, dwValue);
    EXPECT_FALSE(m_registry.DeleteValue(MAILBOX_KEY, "1"));

    HKEY hKey = NULL;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, MAILBOX_KEY, 0, KEY_READ, &hKey));
}

TEST_F(CRegistryTest, OperationsOnAbsentValuesFail)
{
    ASSERT_TRUE(m_registry.WriteString(MAILBOX_KEY, "", ""));   // makes just the key
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, ""));

    CString strValue("before");
    DWORD dwValue = 7;
    EXPECT_FALSE(m_registry.ReadString(MAILBOX_KEY, "1", strValue));
    EXPECT_STREQ("before", strValue);
    EXPECT_FALSE(m_registry.ReadDword(HKEY_CURRENT_USER, MAILBOX_KEY, "Lock", dwValue));
    EXPECT_EQ(7u, dwValue);
    EXPECT_FALSE(m_registry.DeleteValue(MAILBOX_KEY, "1"));
    EXPECT_FALSE(m_registry.ReadString(ABSENT_KEY.c_str(), "1", strValue));
}

TEST_F(CRegistryTest, WrittenValuesAreReadBackAndDeleted)
{
    // WriteString creates the key with its missing parents.
    ASSERT_TRUE(m_registry.WriteString(MAILBOX_KEY, "1", "C:\\App.exe;0100;_SEL;k;f;1;2;3;4;5"));
    CString strValue;
    ASSERT_TRUE(m_registry.ReadString(MAILBOX_KEY, "1", strValue));
    EXPECT_STREQ("C:\\App.exe;0100;_SEL;k;f;1;2;3;4;5", strValue);

    ASSERT_TRUE(m_registry.WriteString(MAILBOX_KEY, "2", ""));
    strValue = "before";
    ASSERT_TRUE(m_registry.ReadString(MAILBOX_KEY, "2", strValue));
    EXPECT_STREQ("", strValue);

    // A text under the empty name is the key's default value.
    ASSERT_TRUE(m_registry.WriteString(MAILBOX_KEY, "", "default"));
    ASSERT_TRUE(m_registry.ReadString(MAILBOX_KEY, "", strValue));
    EXPECT_STREQ("default", strValue);

    DWORD dwValue = 0;
    ASSERT_TRUE(m_registry.WriteDword(HKEY_CURRENT_USER, MAILBOX_KEY, "Lock", 0x12345678));
    ASSERT_TRUE(m_registry.ReadDword(HKEY_CURRENT_USER, MAILBOX_KEY, "Lock", dwValue));
    EXPECT_EQ(0x12345678u, dwValue);
    // An empty value name writes nothing.
    EXPECT_TRUE(m_registry.WriteDword(HKEY_CURRENT_USER, MAILBOX_KEY, "", 5));
    strValue = "before";
    ASSERT_TRUE(m_registry.ReadString(MAILBOX_KEY, "", strValue));
    EXPECT_STREQ("default", strValue);

    EXPECT_TRUE(m_registry.DeleteValue(MAILBOX_KEY, "1"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, "1"));
    EXPECT_FALSE(m_registry.DeleteValue(MAILBOX_KEY, "1"));
}

TEST_F(CRegistryTest, WrongValueTypes)
{
    WriteRawValue("1", REG_DWORD, std::string("\1\0\0\0", 4));
    CString strValue("before");
    EXPECT_FALSE(m_registry.ReadString(MAILBOX_KEY, "1", strValue));
    EXPECT_STREQ("before", strValue);

    const char szExpand[] = "%TEMP%\\job";
    WriteRawValue("2", REG_EXPAND_SZ, std::string(szExpand, sizeof(szExpand)));
    ASSERT_TRUE(m_registry.ReadString(MAILBOX_KEY, "2", strValue));
    EXPECT_STREQ("%TEMP%\\job", strValue);

    const char szMulti[] = "a\0b\0";
    WriteRawValue("3", REG_MULTI_SZ, std::string(szMulti, sizeof(szMulti)));
    EXPECT_FALSE(m_registry.ReadString(MAILBOX_KEY, "3", strValue));

    DWORD dwValue = 9;
    WriteRawValue("Lock", REG_SZ, std::string("1", 2));
    EXPECT_FALSE(m_registry.ReadDword(HKEY_CURRENT_USER, MAILBOX_KEY, "Lock", dwValue));
    EXPECT_EQ(9u, dwValue);
    WriteRawValue("Lock", REG_BINARY, std::string("\1\0\0\0\0\0\0\0", 8));
    EXPECT_FALSE(m_registry.ReadDword(HKEY_CURRENT_USER, MAILBOX_KEY, "Lock", dwValue));
    // A REG_DWORD of two bytes holds no whole number.
    WriteRawValue("Lock", REG_DWORD, std::string("\1\0", 2));
    EXPECT_FALSE(m_registry.ReadDword(HKEY_CURRENT_USER, MAILBOX_KEY, "Lock", dwValue));
    EXPECT_EQ(9u, dwValue);
}

TEST_F(CRegistryTest, ReadBufferBoundary)
{
    CString strValue;
    // 518 and 519 characters with their zero: 519 and 520 bytes, both read.
    const std::string str518(518, 'a');
    const std::string str519(519, 'b');
    const std::string str520(520, 'c');
    ASSERT_TRUE(m_registry.WriteString(MAILBOX_KEY, "1", str518.c_str()));
    ASSERT_TRUE(m_registry.ReadString(MAILBOX_KEY, "1", strValue));
    EXPECT_EQ(str518, std::string(strValue));
    ASSERT_TRUE(m_registry.WriteString(MAILBOX_KEY, "2", str519.c_str()));
    ASSERT_TRUE(m_registry.ReadString(MAILBOX_KEY, "2", strValue));
    EXPECT_EQ(str519, std::string(strValue));

    // 520 characters with the zero: 521 bytes do not fit, the slot is free.
    ASSERT_TRUE(m_registry.WriteString(MAILBOX_KEY, "3", str520.c_str()));
    strValue = "before";
    EXPECT_FALSE(m_registry.ReadString(MAILBOX_KEY, "3", strValue));
    EXPECT_STREQ("before", strValue);
}

TEST_F(CRegistryTest, TextWithoutTerminatingZeroEndsWithItsData)
{
    // A longer previous text shows whether anything past the data was taken.
    const std::string strLong(600, 'z');
    CString strValue(strLong.c_str());

    WriteRawValue("1", REG_SZ, std::string(520, 'c'));   // fills the buffer, no zero
    ASSERT_TRUE(m_registry.ReadString(MAILBOX_KEY, "1", strValue));
    EXPECT_EQ(std::string(520, 'c'), std::string(strValue));

    strValue = strLong.c_str();
    WriteRawValue("2", REG_SZ, "abc");
    ASSERT_TRUE(m_registry.ReadString(MAILBOX_KEY, "2", strValue));
    EXPECT_STREQ("abc", strValue);

    strValue = strLong.c_str();
    WriteRawValue("3", REG_SZ, "");
    ASSERT_TRUE(m_registry.ReadString(MAILBOX_KEY, "3", strValue));
    EXPECT_STREQ("", strValue);
}

TEST_F(CRegistryTest, LockKeyCreatesTheKeyAndTakesAFreeLock)
{
    EXPECT_TRUE(m_registry.LockKey(MAILBOX_KEY, TRUE));
    EXPECT_EQ(1u, LockValue());

    // Anything but 1 counts as free.
    ASSERT_TRUE(m_registry.WriteDword(HKEY_CURRENT_USER, MAILBOX_KEY, "Lock", 2));
    EXPECT_TRUE(m_registry.LockKey(MAILBOX_KEY, TRUE));
    EXPECT_EQ(1u, LockValue());
    WriteRawValue("Lock", REG_SZ, std::string("1", 2));
    CCountingRegistry registry;
    EXPECT_TRUE(registry.LockKey(MAILBOX_KEY, TRUE));
    EXPECT_EQ(0, registry.m_nPauses);
    EXPECT_EQ(1u, LockValue());
}

TEST_F(CRegistryTest, LockKeyGivesUpAfterTwoSecondsOfPollsOfAHeldLock)
{
    ASSERT_TRUE(m_registry.WriteDword(HKEY_CURRENT_USER, MAILBOX_KEY, "Lock", 1));
    CCountingRegistry registry;
    EXPECT_FALSE(registry.LockKey(MAILBOX_KEY, TRUE));
    EXPECT_EQ(200, registry.m_nPauses);
    EXPECT_EQ(10u, registry.m_dwPause);
    EXPECT_EQ(1u, LockValue());
}

TEST_F(CRegistryTest, LockKeyTakesALockFreedWhileItWaits)
{
    ASSERT_TRUE(m_registry.WriteDword(HKEY_CURRENT_USER, MAILBOX_KEY, "Lock", 1));
    CCountingRegistry registry;
    registry.m_nFreeAfter = 19;
    EXPECT_TRUE(registry.LockKey(MAILBOX_KEY, TRUE));
    EXPECT_EQ(19, registry.m_nPauses);
    EXPECT_EQ(1u, LockValue());
}

TEST_F(CRegistryTest, LockKeyWithItsRealPauseGivesUpOnAHeldLock)
{
    ASSERT_TRUE(m_registry.WriteDword(HKEY_CURRENT_USER, MAILBOX_KEY, "Lock", 1));
    EXPECT_FALSE(m_registry.LockKey(MAILBOX_KEY, TRUE));
    EXPECT_EQ(1u, LockValue());
}

namespace
{
LONG g_nHolders = 0;
LONG g_nBothHeld = 0;
LONG g_nTaken = 0;

// Takes the lock, holds it a moment and frees it, again and again; counts
// every time it got the lock while another holder had it too.
DWORD WINAPI TakeTheLockAgainAndAgain(LPVOID)
{
    CCountingRegistry registry;
    for (int i = 0; i < 300; ++i)
    {
        if (!registry.LockKey(MAILBOX_KEY, TRUE))
            continue;
        InterlockedIncrement(&g_nTaken);
        if (InterlockedIncrement(&g_nHolders) > 1)
            InterlockedIncrement(&g_nBothHeld);
        Sleep(1);
        InterlockedDecrement(&g_nHolders);
        registry.UnlockKey(MAILBOX_KEY, TRUE);
    }
    return 0;
}
}

// Testing the lock and taking it are two registry calls: a second user that
// tests between them must not find it free, or a writer and a reader both
// hold it, and the reader deletes a consumed slot the writer has just filled.
TEST_F(CRegistryTest, TwoUsersTakingTheLockAtOnceNeverBothGetIt)
{
    HANDLE ahUsers[2];
    for (int i = 0; i < 2; ++i)
        ahUsers[i] = CreateThread(NULL, 0, TakeTheLockAgainAndAgain, NULL, 0, NULL);
    ASSERT_TRUE(ahUsers[0] != NULL && ahUsers[1] != NULL);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, ahUsers, TRUE, 60000));
    CloseHandle(ahUsers[0]);
    CloseHandle(ahUsers[1]);
    EXPECT_LT(0, g_nTaken);
    EXPECT_EQ(0, g_nBothHeld) << "of " << g_nTaken << " times taken";
}

TEST_F(CRegistryTest, UnlockKeyAlwaysFreesAndTellsWhetherItWasHeld)
{
    // No lock value at all, not even a key: 0 is written, FALSE returned.
    EXPECT_FALSE(m_registry.UnlockKey(MAILBOX_KEY, TRUE));
    EXPECT_EQ(0u, LockValue());

    ASSERT_TRUE(m_registry.LockKey(MAILBOX_KEY, TRUE));
    EXPECT_TRUE(m_registry.UnlockKey(MAILBOX_KEY, TRUE));
    EXPECT_EQ(0u, LockValue());
    EXPECT_FALSE(m_registry.UnlockKey(MAILBOX_KEY, TRUE));

    ASSERT_TRUE(m_registry.WriteDword(HKEY_CURRENT_USER, MAILBOX_KEY, "Lock", 2));
    EXPECT_FALSE(m_registry.UnlockKey(MAILBOX_KEY, TRUE));
    EXPECT_EQ(0u, LockValue());
}

TEST(CRegistryLocalMachine, LockUnderTheMachineHive)
{
    CSavedRegistryKey saved(HKEY_LOCAL_MACHINE, MAILBOX_KEY);
    CRegistry registry;
    EXPECT_TRUE(registry.LockKey(MAILBOX_KEY, FALSE));
    DWORD dwValue = 0;
    ASSERT_TRUE(registry.ReadDword(HKEY_LOCAL_MACHINE, MAILBOX_KEY, "Lock", dwValue));
    EXPECT_EQ(1u, dwValue);
    EXPECT_TRUE(registry.UnlockKey(MAILBOX_KEY, FALSE));
    ASSERT_TRUE(registry.ReadDword(HKEY_LOCAL_MACHINE, MAILBOX_KEY, "Lock", dwValue));
    EXPECT_EQ(0u, dwValue);
}
