// MailboxSupport.h - the registry mailbox and the timer commands as tests see
// them from outside the system: the key, its slots and its lock value, read
// and written with the plain registry functions, and the two text forms of
// the jobs the tests send. The key is written here once for all tests, as
// a literal: a change of the system's own mailbox layout shows as a failing
// test.
#ifndef TESTS_MAILBOXSUPPORT_H
#define TESTS_MAILBOXSUPPORT_H

#include <windows.h>

#include <map>
#include <string>

// The mailbox of the supported product, under HKEY_CURRENT_USER.
const char MAILBOX_KEY[] = "SOFTWARE\\Varenwick\\Korvix\\CmdLine";

// A slot's text; "" with *pbFound FALSE when it cannot be read.
std::string ReadSlot(int nSlot, BOOL* pbFound = NULL);

// Written with gtest's assertions (tw_testsupport): a failure fails the
// calling test. The empty key; a REG_SZ text under a name or in a slot; a
// value of any type, exactly strData.size() bytes of it, so that tests can
// plant what the system never writes.
void CreateMailbox();
void WriteValue(const char* pszName, const std::string& strText);
void WriteSlot(int nSlot, const std::string& strText);
void WriteRawValue(const char* pszName, DWORD dwType, const std::string& strData);

// Every slot "1" to "20" that can be read, by number.
std::map<int, std::string> ReadAllSlots();

// Every slot "1" to "20" that exists, of whatever type, exactly as stored:
// its type number, a colon, then its bytes (the terminating zero included).
std::map<int, std::string> ReadRawSlots();

// What ReadRawSlots shows for a slot that holds strText as REG_SZ.
std::string RawText(const std::string& strText);

// Removes the mailbox key with everything in it.
void DeleteMailbox();

// The "Lock" value; LOCK_ABSENT when there is none.
const DWORD LOCK_ABSENT = 0xdeadbeef;
DWORD ReadLock();

// A timer command as a scheduler hands it to Tickward, and the text the
// mailbox then holds for it.
std::string TimerJob(const std::string& strAppPath, const char* pszDevices = "010102",
                     const char* pszProduct = "_SEL", const std::string& strFile = "C:\\Rec\\show.ts");
std::string MailboxJob(const char* pszDevices = "010102", const std::string& strFile = "C:\\Rec\\show.ts");

#endif // TESTS_MAILBOXSUPPORT_H
