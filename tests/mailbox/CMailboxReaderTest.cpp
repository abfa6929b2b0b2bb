// Tests of the mailbox reader on the real registry, with real change
// notifications and a real worker thread. The mailbox key is saved before
// each test and restored after it.
#include "mailbox/CCmdLineProcess.h"
#include "mailbox/CRegistry.h"
#include "thread/CWorkerStarter.h"

#include "cmdline/CCmdLineParams.h"
#include "cmdline/ParseCmdLine.h"
#include "tests/support/CSavedRegistryKey.h"
#include "tests/support/MailboxSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <stdio.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace
{
const DWORD END_WAIT = 10000;
const DWORD SIGNAL_WAIT = 5000;
const char OTHER_KEY_PROBE[] = "SOFTWARE\\Varenwick";

// The reader's device is type 1, index 2.
std::string Job(int nD, const char* pszDevices = " 010102")
{
    char szText[200];
    sprintf(szText, "%s;P: _SEL;D: %d;Key: k%d;File: \"C:\\rec%d.ts\" ;FM: 1;TO: 1;SO: 0;EO: 0",
            pszDevices, nD, nD, nD);
    return szText;
}

std::string Tagged(const std::string& strMessage)
{
    return "\n$TP$ " + strMessage + "\t";
}

const std::string SEND = Tagged("CCmdLineProcess::CheckRegistryComanndos() Send a new Event to MainFrame");
const std::string NO_CALLBACK = Tagged("CCmdLineProcess::CheckRegistryComanndos() g_RegistryCallback = NULL");
const std::string INVALID_POINTER = Tagged("CCmdLineProcess::CheckRegistryComanndos() Invalid Pointer");
const std::string NOTHING_TAKEN = Tagged("CCmdLineProcess::GetCommandLine() failed! Give no valid Cmdline back!");
const std::string DEVICES_UNPARSED = Tagged("CCmdLineProcess::IsValidCmdLine() ParseCmdLine() failed!");
const std::string DELETED = Tagged(std::string("CCmdLineProcess::DeleteAllRegistryKeys() Regkey: ") + MAILBOX_KEY);
const std::string CYCLE = Tagged("+ + + RegistryChangeEvent + + +");
const std::string CLOSED = Tagged("+ + + Close RegistryChangeEvent Thread! + + +");
const std::string EXITED = Tagged("Exit the RegistryChangeEvent Thread!!!");

std::string OtherHardware(const std::string& strText)
{
    return Tagged("CCmdLineProcess::IsValidCmdLine() No Valid Cmdline found! Other Hardware? Cmdline: " + strText);
}

std::string ParseError(const std::string& strText)
{
    return Tagged("CCmdLineProcess::CheckRegistryComanndos() Error in ParseCmdLine(" + strText + ")");
}

// The slots "1" to "20" that exist, as "n=text".
std::string Mailbox()
{
    std::string strState;
    const std::map<int, std::string> slots = ReadAllSlots();
    for (std::map<int, std::string>::const_iterator it = slots.begin(); it != slots.end(); ++it)
        strState += (strState.empty() ? "" : " ") + std::to_string(it->first) + "=" + it->second;
    return strState;
}

// What happened in order: callbacks, pauses, and the mailbox at each long pause.
CRITICAL_SECTION g_csJournal;
std::vector<std::string> g_journal;

void Note(const std::string& strEntry)
{
    EnterCriticalSection(&g_csJournal);
    g_journal.push_back(strEntry);
    LeaveCriticalSection(&g_csJournal);
}

std::vector<std::string> Journal()
{
    EnterCriticalSection(&g_csJournal);
    std::vector<std::string> journal = g_journal;
    LeaveCriticalSection(&g_csJournal);
    return journal;
}

// Run inside the callback when set, before it returns.
void (*g_pfnInCallback)(CCmdLineParams* pParams) = NULL;
HANDLE g_hCallback = CreateEventA(NULL, FALSE, FALSE, NULL);

void RecordingCallback(CCmdLineParams* pParams)
{
    char szEntry[300];
    sprintf(szEntry, "callback D=%d File=%s", pParams->m_nD, static_cast<LPCSTR>(pParams->m_strFile));
    Note(szEntry);
    if (g_pfnInCallback != NULL)
        g_pfnInCallback(pParams);
    SetEvent(g_hCallback);
}

// A reader for device 1/2 whose pauses are noted and, unless told
// otherwise, a hundred times shorter.
class CTestReader : public CCmdLineProcess
{
public:
    explicit CTestReader(BOOL bRealPauses = FALSE) : m_bRealPauses(bRealPauses)
    {
        m_strRegistryKey = MAILBOX_KEY;
        m_wDeviceType = 1;
        m_wDeviceIndex = 2;
        m_pRegistryChangeEvent = new CEvent(FALSE, TRUE);
    }

protected:
    virtual void Pause(DWORD dwMilliseconds)
    {
        char szEntry[300];
        if (dwMilliseconds == COMMAND_PAUSE)
            sprintf(szEntry, "pause %lu [%s]", dwMilliseconds, Mailbox().c_str());
        else
            sprintf(szEntry, "pause %lu", dwMilliseconds);
        Note(szEntry);
        Sleep(m_bRealPauses ? dwMilliseconds : dwMilliseconds / 100);
    }

private:
    BOOL m_bRealPauses;
};

CTestReader* g_pReader = NULL;

size_t Count(const std::vector<std::string>& texts, const std::string& strText)
{
    size_t nCount = 0;
    for (size_t i = 0; i < texts.size(); ++i)
        nCount += texts[i] == strText ? 1 : 0;
    return nCount;
}

// Waits (at most dwTimeout) until the recorder holds nCount of strText.
BOOL WaitForCount(const CDebugOutputRecorder& recorder, const std::string& strText, size_t nCount,
                  DWORD dwTimeout = END_WAIT)
{
    return WaitUntil([&] { return Count(recorder.Texts(), strText) >= nCount; }, dwTimeout, 5);
}

// The value of a freshly opened key handle: it grows when handles leak.
ULONG_PTR ProbeHandle()
{
    HKEY hKey = NULL;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, OTHER_KEY_PROBE, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return 0;
    RegCloseKey(hKey);
    return reinterpret_cast<ULONG_PTR>(hKey);
}

class MailboxReaderTest : public ::testing::Test
{
protected:
    MailboxReaderTest() : m_saved(HKEY_CURRENT_USER, MAILBOX_KEY) {}

    virtual void SetUp()
    {
        InitializeCriticalSection(&g_csJournal);
        g_journal.clear();
        m_saved.DeleteAllValues();
        CreateMailbox();
        g_RegistryCallback = RecordingCallback;
        g_pfnInCallback = NULL;
        g_pReader = NULL;
        ResetEvent(g_hCallback);
    }

    virtual void TearDown()
    {
        g_RegistryCallback = NULL;
        g_pfnInCallback = NULL;
        g_pReader = NULL;
        DeleteCriticalSection(&g_csJournal);
    }

    CSavedRegistryKey m_saved;
};
}

TEST_F(MailboxReaderTest, ConstructionTakesNothingUntilConfigured)
{
    CCmdLineProcess reader;
    EXPECT_FALSE(reader.m_bBusy);
    EXPECT_TRUE(reader.m_hRegKey == NULL);
    EXPECT_TRUE(reader.m_pRegistryChangeEvent == NULL);
    EXPECT_FALSE(reader.m_bStop);
    EXPECT_STREQ("", reader.m_strRegistryKey);
    EXPECT_EQ(0xFFFF, reader.m_wDeviceType);
    EXPECT_EQ(0xFFFF, reader.m_wDeviceIndex);
    EXPECT_EQ(0, reader.m_nState);
}

TEST_F(MailboxReaderTest, ThreeJobsForThisDeviceAreHandedOverInSlotOrderAndDeletedTogether)
{
    WriteSlot(1, Job(1));
    WriteSlot(2, Job(2));
    WriteSlot(3, Job(3));
    CDebugOutputRecorder recorder;
    CTestReader reader;
    reader.CheckRegistryComanndos();

    const std::vector<std::string> expectedJournal = {
        "callback D=1 File=C:\\rec1.ts", "pause 10000 [1=xxx 2=" + Job(2) + " 3=" + Job(3) + "]",
        "callback D=2 File=C:\\rec2.ts", "pause 10000 [1=xxx 2=xxx 3=" + Job(3) + "]",
        "callback D=3 File=C:\\rec3.ts", "pause 10000 [1=xxx 2=xxx 3=xxx]" };
    EXPECT_EQ(expectedJournal, Journal());
    const std::vector<std::string> expectedOutput = {
        SEND, SEND, SEND, NOTHING_TAKEN, DELETED, DELETED, DELETED };
    EXPECT_EQ(expectedOutput, recorder.Texts());
    EXPECT_EQ("", Mailbox());
    EXPECT_FALSE(reader.m_bBusy);
}

TEST_F(MailboxReaderTest, JobsForOtherDevicesStayAndAreReportedByEveryScan)
{
    const std::string strOther = Job(7, " 010203");
    const std::string strOtherType = Job(8, " 010202");
    const std::string strOtherIndex = Job(9, " 010103");
    WriteSlot(1, strOther);
    WriteSlot(2, strOtherType);
    WriteSlot(3, strOtherIndex);
    WriteSlot(20, Job(20));   // the last slot is scanned too
    CDebugOutputRecorder recorder;
    CTestReader reader;
    reader.CheckRegistryComanndos();

    const std::vector<std::string> expectedJournal = {
        "callback D=20 File=C:\\rec20.ts", "pause 10000 [1=" + strOther + " 2=" + strOtherType + " 3=" +
        strOtherIndex + " 20=xxx]" };
    EXPECT_EQ(expectedJournal, Journal());
    const std::vector<std::string> expectedOutput = {
        OtherHardware(strOther), OtherHardware(strOtherType), OtherHardware(strOtherIndex), SEND,
        OtherHardware(strOther), OtherHardware(strOtherType), OtherHardware(strOtherIndex), NOTHING_TAKEN,
        DELETED };
    EXPECT_EQ(expectedOutput, recorder.Texts());
    EXPECT_EQ("1=" + strOther + " 2=" + strOtherType + " 3=" + strOtherIndex, Mailbox());
}

TEST_F(MailboxReaderTest, EmptyOrSeparatorOnlySlotsFailTheDeviceParseAndStay)
{
    WriteSlot(1, "");
    WriteSlot(2, ";;;");
    CDebugOutputRecorder recorder;
    CTestReader reader;
    reader.CheckRegistryComanndos();

    const std::vector<std::string> expectedOutput = {
        DEVICES_UNPARSED, OtherHardware(""),
        DEVICES_UNPARSED, OtherHardware(";;;"),
        NOTHING_TAKEN };
    EXPECT_EQ(expectedOutput, recorder.Texts());
    EXPECT_EQ("1= 2=;;;", Mailbox());
    EXPECT_TRUE(Journal().empty());
}

TEST_F(MailboxReaderTest, JobForThisDeviceThatDoesNotParseIsMarkedReportedAndDeletedWithoutPause)
{
    const std::string strBroken = " 010102;P: _SEL;D: 4";
    WriteSlot(1, strBroken);
    WriteSlot(2, Job(2));
    CDebugOutputRecorder recorder;
    CTestReader reader;
    reader.CheckRegistryComanndos();

    const std::vector<std::string> expectedJournal = {
        "callback D=2 File=C:\\rec2.ts", "pause 10000 [1=xxx 2=xxx]" };
    EXPECT_EQ(expectedJournal, Journal());
    const std::vector<std::string> expectedOutput = {
        ParseError(strBroken), SEND, NOTHING_TAKEN, DELETED, DELETED };
    EXPECT_EQ(expectedOutput, recorder.Texts());
    EXPECT_EQ("", Mailbox());
}

// A reader whose consumed marks the registry refuses, nRefusals times.
class CUnmarkingReader : public CTestReader
{
public:
    explicit CUnmarkingReader(int nRefusals) : m_nRefusals(nRefusals) {}

protected:
    virtual BOOL MarkConsumed(CRegistry& registry, LPCSTR pszSlot)
    {
        return m_nRefusals-- <= 0 && CTestReader::MarkConsumed(registry, pszSlot);
    }

private:
    int m_nRefusals;
};

// Counted as taken, an unmarked job would be handed over at every round.
TEST_F(MailboxReaderTest, JobWhoseMarkFailsStaysAndIsTakenOnceItCanBeMarked)
{
    WriteSlot(1, Job(1));
    CDebugOutputRecorder recorder;
    CUnmarkingReader reader(2);
    for (int nDrain = 0; nDrain < 3; ++nDrain)
        reader.CheckRegistryComanndos();

    const std::vector<std::string> expectedJournal = {
        "pause 10000 [1=" + Job(1) + "]", "pause 10000 [1=" + Job(1) + "]",
        "callback D=1 File=C:\\rec1.ts", "pause 10000 [1=xxx]" };
    EXPECT_EQ(expectedJournal, Journal());
    const std::string UNMARKED =
        Tagged("CCmdLineProcess::GetCommandLine() Slot 1 could not be marked, left for later: " + Job(1));
    const std::vector<std::string> expectedOutput = {
        UNMARKED, NOTHING_TAKEN, NOTHING_TAKEN, SEND, NOTHING_TAKEN, DELETED };
    EXPECT_EQ(expectedOutput, recorder.Texts());
    EXPECT_EQ("", Mailbox());
}

TEST_F(MailboxReaderTest, ConsumedSlotsAreDeletedWhoeverMarkedThem)
{
    WriteSlot(1, "xxx");
    WriteSlot(5, "xxx");
    WriteSlot(20, "xxx");
    CDebugOutputRecorder recorder;
    CTestReader reader;
    reader.CheckRegistryComanndos();

    const std::vector<std::string> expectedOutput = { NOTHING_TAKEN, DELETED, DELETED, DELETED };
    EXPECT_EQ(expectedOutput, recorder.Texts());
    EXPECT_EQ("", Mailbox());
    EXPECT_TRUE(Journal().empty());
    EXPECT_FALSE(reader.m_bBusy);
}

TEST_F(MailboxReaderTest, UnsetDeviceTakesNothingNotEvenAMalformedList)
{
    const std::string strMalformed = " 01010;P: _SEL";
    WriteSlot(1, Job(1));
    WriteSlot(2, strMalformed);
    CDebugOutputRecorder recorder;
    CTestReader reader;
    reader.m_wDeviceType = 0xFFFF;
    reader.m_wDeviceIndex = 0xFFFF;
    reader.CheckRegistryComanndos();

    const std::vector<std::string> expectedOutput = {
        OtherHardware(Job(1)), OtherHardware(strMalformed), NOTHING_TAKEN };
    EXPECT_EQ(expectedOutput, recorder.Texts());
    EXPECT_EQ("1=" + Job(1) + " 2=" + strMalformed, Mailbox());
}

TEST_F(MailboxReaderTest, WithoutCallbackAJobIsStillConsumedPausedAndDeleted)
{
    g_RegistryCallback = NULL;
    WriteSlot(1, Job(1));
    CDebugOutputRecorder recorder;
    CTestReader reader;
    reader.CheckRegistryComanndos();

    const std::vector<std::string> expectedJournal = { "pause 10000 [1=xxx]" };
    EXPECT_EQ(expectedJournal, Journal());
    const std::vector<std::string> expectedOutput = { NO_CALLBACK, NOTHING_TAKEN, DELETED };
    EXPECT_EQ(expectedOutput, recorder.Texts());
    EXPECT_EQ("", Mailbox());
}

namespace
{
BOOL g_bBusyAfterRefusal = FALSE;

void DrainAgain(CCmdLineParams* /*pParams*/)
{
    g_pReader->CheckRegistryComanndos();
    g_bBusyAfterRefusal = g_pReader->m_bBusy;
}

void PostSecondJob(CCmdLineParams* pParams)
{
    if (pParams->m_nD == 1)
        WriteSlot(2, Job(2));
}
}

TEST_F(MailboxReaderTest, SecondDrainWhileOneRunsIsRefused)
{
    WriteSlot(1, Job(1));
    CDebugOutputRecorder recorder;
    CTestReader reader;
    g_pReader = &reader;
    g_pfnInCallback = DrainAgain;
    g_bBusyAfterRefusal = FALSE;
    reader.CheckRegistryComanndos();

    EXPECT_TRUE(g_bBusyAfterRefusal);
    const std::vector<std::string> expectedOutput = { SEND, INVALID_POINTER, NOTHING_TAKEN, DELETED };
    EXPECT_EQ(expectedOutput, recorder.Texts());
    EXPECT_FALSE(reader.m_bBusy);
    EXPECT_EQ("", Mailbox());
}

TEST_F(MailboxReaderTest, DrainWithoutEventObjectIsRefused)
{
    WriteSlot(1, Job(1));
    CDebugOutputRecorder recorder;
    CTestReader reader;
    delete reader.m_pRegistryChangeEvent;
    reader.m_pRegistryChangeEvent = NULL;
    reader.CheckRegistryComanndos();

    const std::vector<std::string> expectedOutput = { INVALID_POINTER };
    EXPECT_EQ(expectedOutput, recorder.Texts());
    EXPECT_FALSE(reader.m_bBusy);
    EXPECT_EQ("1=" + Job(1), Mailbox());
}

TEST_F(MailboxReaderTest, JobPostedDuringADrainIsFoundByTheSameDrain)
{
    WriteSlot(1, Job(1));
    CDebugOutputRecorder recorder;
    CTestReader reader;
    g_pfnInCallback = PostSecondJob;
    reader.CheckRegistryComanndos();

    const std::vector<std::string> expectedJournal = {
        "callback D=1 File=C:\\rec1.ts", "pause 10000 [1=xxx 2=" + Job(2) + "]",
        "callback D=2 File=C:\\rec2.ts", "pause 10000 [1=xxx 2=xxx]" };
    EXPECT_EQ(expectedJournal, Journal());
    const std::vector<std::string> expectedOutput = { SEND, SEND, NOTHING_TAKEN, DELETED, DELETED };
    EXPECT_EQ(expectedOutput, recorder.Texts());
    EXPECT_EQ("", Mailbox());
}

TEST_F(MailboxReaderTest, ArmingResetsTheEventAndCatchesTheNextChangeOnly)
{
    CTestReader reader;
    CEvent* pEvent = static_cast<CEvent*>(reader.m_pRegistryChangeEvent);
    pEvent->SetEvent();   // an old signal
    reader.SetRegistryNotifyOn();
    ASSERT_TRUE(reader.m_hRegKey != NULL);
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(pEvent->m_hObject, 0));

    // Arming again closes the armed handle, which signals the event; the
    // reset after the close clears that, and the new handle catches a change.
    reader.SetRegistryNotifyOn();
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(pEvent->m_hObject, 0));
    WriteValue("Probe", "1");
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(pEvent->m_hObject, SIGNAL_WAIT));
}

namespace
{
// Changes the mailbox right after the arming, before the re-arming returns.
class CChangeAfterArmingReader : public CTestReader
{
protected:
    virtual LONG ArmNotification(HKEY hKey, HANDLE hEvent)
    {
        const LONG lResult = CTestReader::ArmNotification(hKey, hEvent);
        WriteValue("Probe", "1");
        WaitForSingleObject(hEvent, SIGNAL_WAIT);   // the change has fired
        return lResult;
    }
};
}

TEST_F(MailboxReaderTest, ChangeRightAfterTheArmingLeavesTheEventSignalled)
{
    CChangeAfterArmingReader reader;
    reader.SetRegistryNotifyOn();
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(reader.m_pRegistryChangeEvent->m_hObject, 0));
}

TEST_F(MailboxReaderTest, ArmingKeepsTheSignalOfAStopRequest)
{
    CTestReader reader;
    reader.m_bStop = TRUE;
    static_cast<CEvent*>(reader.m_pRegistryChangeEvent)->SetEvent();
    reader.SetRegistryNotifyOn();
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(reader.m_pRegistryChangeEvent->m_hObject, 0));
}

TEST_F(MailboxReaderTest, MissingKeyIsCreatedByTheFirstArming)
{
    DeleteMailbox();
    CDebugOutputRecorder recorder;
    CTestReader reader;
    reader.SetRegistryNotifyOn();

    const std::vector<std::string> expectedOutput = {
        Tagged(std::string("CCmdLineProcess::OpenRegistry New Registrykey was created: ") + MAILBOX_KEY) };
    EXPECT_EQ(expectedOutput, recorder.Texts());
    EXPECT_TRUE(reader.m_hRegKey != NULL);
    WriteValue("Probe", "1");
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0),
              WaitForSingleObject(reader.m_pRegistryChangeEvent->m_hObject, SIGNAL_WAIT));
}

TEST_F(MailboxReaderTest, KeyThatCanNeitherBeOpenedNorCreatedIsReported)
{
    CDebugOutputRecorder recorder;
    CTestReader reader;
    reader.m_strRegistryKey = CString('a', 300);   // longer than a key name may be
    reader.SetRegistryNotifyOn();

    const std::vector<std::string> expectedOutput = {
        Tagged("CCmdLineProcess::OpenRegistry() Error in RegOpenKeyEx."),
        Tagged("CCmdLineProcess::SetRegistryNotifyOn() Error! Invalid Registryhandle") };
    EXPECT_EQ(expectedOutput, recorder.Texts());
    EXPECT_TRUE(reader.m_hRegKey == NULL);
}

TEST_F(MailboxReaderTest, ReaderWithoutAKeyWaitsForItsOwnerInsteadOfGoingRound)
{
    CDebugOutputRecorder recorder;
    CWorkerStarter starter;
    CTestReader reader;
    reader.m_strRegistryKey = CString('a', 300);
    ASSERT_TRUE(starter.Start(&reader, reader.m_pRegistryChangeEvent));
    ASSERT_TRUE(WaitForCount(recorder, CYCLE, 1));
    // With its pauses shortened to a millisecond, a loop going round again
    // would pass its cycle text hundreds of times in this while.
    Sleep(500);
    EXPECT_EQ(1u, Count(recorder.Texts(), CYCLE));
    reader.StopReader(3000);    // woken, it may end before the stop waits for it
    EXPECT_EQ(0u, ExitCodeAfterEnd(starter.m_pThread->m_hThread));
    EXPECT_EQ(CLOSED, recorder.Texts().back());
}

TEST_F(MailboxReaderTest, StartedReaderDrainsWhatWaitsThenWakesOnEachLaterChange)
{
    WriteSlot(1, Job(1));
    CDebugOutputRecorder recorder;
    CWorkerStarter starter;
    {
        CTestReader reader;
        ASSERT_TRUE(starter.Start(&reader, reader.m_pRegistryChangeEvent));
        ASSERT_TRUE(WaitForCount(recorder, CYCLE, 1));
        EXPECT_EQ("", Mailbox());

        // Posted after the re-arming: wakes the loop again.
        WriteSlot(1, Job(2));
        ASSERT_TRUE(WaitForCount(recorder, CYCLE, 2));
        EXPECT_EQ("", Mailbox());
        WriteSlot(2, Job(3));
        ASSERT_TRUE(WaitForCount(recorder, CYCLE, 3));
    }   // destroyed while it waits
    EXPECT_EQ(0u, ExitCodeAfterEnd(starter.m_pThread->m_hThread));

    const std::vector<std::string> expectedJournal = {
        "callback D=1 File=C:\\rec1.ts", "pause 10000 [1=xxx]", "pause 100",
        "callback D=2 File=C:\\rec2.ts", "pause 10000 [1=xxx]", "pause 100",
        "callback D=3 File=C:\\rec3.ts", "pause 10000 [2=xxx]", "pause 100" };
    EXPECT_EQ(expectedJournal, Journal());
    const std::vector<std::string> expectedOutput = {
        SEND, NOTHING_TAKEN, DELETED, CYCLE,
        SEND, NOTHING_TAKEN, DELETED, CYCLE,
        SEND, NOTHING_TAKEN, DELETED, CYCLE,
        NOTHING_TAKEN, CLOSED };    // the stop's last look at the mailbox
    EXPECT_EQ(expectedOutput, recorder.Texts());
}

namespace
{
// Posts a job for its device once, in the pause between the drain and the
// re-arming: after the drain's last scan, while no notification is armed.
class CPostBeforeArmingReader : public CTestReader
{
public:
    CPostBeforeArmingReader() : m_bPosted(FALSE) {}

protected:
    virtual void Pause(DWORD dwMilliseconds)
    {
        CTestReader::Pause(dwMilliseconds);
        if (dwMilliseconds == REARM_PAUSE && !m_bPosted)
        {
            m_bPosted = TRUE;
            WriteSlot(2, Job(2));
        }
    }

private:
    BOOL m_bPosted;
};
}

// Nothing changes the mailbox after the re-arming: the job must not wait for
// a change that may not come for hours.
TEST_F(MailboxReaderTest, JobPostedBeforeTheReArmingIsTakenWithoutAnotherChange)
{
    WriteSlot(1, Job(1));
    CDebugOutputRecorder recorder;
    CWorkerStarter starter;
    {
        CPostBeforeArmingReader reader;
        ASSERT_TRUE(starter.Start(&reader, reader.m_pRegistryChangeEvent));
        EXPECT_TRUE(WaitForCount(recorder, CYCLE, 2));
        EXPECT_EQ("", Mailbox());
    }
    EXPECT_EQ(0u, ExitCodeAfterEnd(starter.m_pThread->m_hThread));

    const std::vector<std::string> expectedJournal = {
        "callback D=1 File=C:\\rec1.ts", "pause 10000 [1=xxx]", "pause 100",
        "callback D=2 File=C:\\rec2.ts", "pause 10000 [2=xxx]", "pause 100" };
    EXPECT_EQ(expectedJournal, Journal());
}

TEST_F(MailboxReaderTest, StopRequestWithSignalEndsAWaitingReaderCleanly)
{
    CDebugOutputRecorder recorder;
    CWorkerStarter starter;
    CTestReader reader;
    ASSERT_TRUE(starter.Start(&reader, reader.m_pRegistryChangeEvent));
    ASSERT_TRUE(WaitForCount(recorder, CYCLE, 1));

    // Woken with the stop request, the worker may end before Stop marks it
    // stopping; either way it ends by itself.
    reader.m_bStop = TRUE;
    static_cast<CEvent*>(reader.m_pRegistryChangeEvent)->SetEvent();
    reader.Stop(3000);
    EXPECT_EQ(0u, ExitCodeAfterEnd(starter.m_pThread->m_hThread));
    EXPECT_FALSE(reader.IsRunning());
    const std::vector<std::string> expectedOutput = { NOTHING_TAKEN, CYCLE, CLOSED };
    EXPECT_EQ(expectedOutput, recorder.Texts());
}

TEST_F(MailboxReaderTest, LoopWithoutEventPausesAndEndsAtItsTopTest)
{
    CDebugOutputRecorder recorder;
    CWorkerStarter starter;
    CTestReader reader;
    delete reader.m_pRegistryChangeEvent;
    reader.m_pRegistryChangeEvent = NULL;
    ASSERT_TRUE(starter.Start(&reader));
    // The loop goes round only after a pause each time.
    WaitUntil([] { return Journal().size() >= 3; }, END_WAIT, 5);
    reader.m_bStop = TRUE;
    EXPECT_TRUE(reader.Stop(3000));
    EXPECT_EQ(0u, ExitCodeAfterEnd(starter.m_pThread->m_hThread));

    const std::vector<std::string> journal = Journal();
    ASSERT_GE(journal.size(), 3u);
    EXPECT_EQ(journal.size(), Count(journal, "pause 100"));
    const std::vector<std::string> expectedOutput = { EXITED };
    EXPECT_EQ(expectedOutput, recorder.Texts());
}

TEST_F(MailboxReaderTest, DrainByTheOwnerDoesNotBlindTheWaitingWorker)
{
    CDebugOutputRecorder recorder;
    CWorkerStarter starter;
    CTestReader reader;
    ASSERT_TRUE(starter.Start(&reader, reader.m_pRegistryChangeEvent));
    ASSERT_TRUE(WaitForCount(recorder, CYCLE, 1));

    // The owner drains while the worker is held in its wait: the owner's
    // writes fire the armed notification, and that signal must still reach
    // the worker, or the notification is spent and no later job wakes it.
    // (Let it get from its last log line into the wait first: suspended
    // inside the heap or the recorder it would block the owner.)
    Sleep(200);
    ASSERT_NE(static_cast<DWORD>(-1), SuspendThread(starter.m_pThread->m_hThread));
    WriteSlot(1, "xxx");
    reader.CheckRegistryComanndos();
    ResumeThread(starter.m_pThread->m_hThread);
    ASSERT_TRUE(WaitForCount(recorder, CYCLE, 2));
    WriteSlot(3, Job(3));
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(g_hCallback, END_WAIT));
    EXPECT_EQ(1u, Count(Journal(), "callback D=3 File=C:\\rec3.ts"));
    const std::vector<std::string> expectedStart = {
        NOTHING_TAKEN, CYCLE,             // the first round of the worker
        NOTHING_TAKEN, DELETED,           // the owner's drain
        NOTHING_TAKEN, CYCLE,             // the worker, woken by the owner's writes
        SEND };
    const std::vector<std::string> output = recorder.Texts();
    ASSERT_GE(output.size(), expectedStart.size());
    EXPECT_EQ(expectedStart, std::vector<std::string>(output.begin(), output.begin() + expectedStart.size()));
}

HANDLE g_hReleaseCallback = CreateEventA(NULL, TRUE, FALSE, NULL);

void HoldUntilReleased(CCmdLineParams* /*pParams*/)
{
    WaitForSingleObject(g_hReleaseCallback, 20000);   // bounded: a failed test must not hang
}

// A callback that does not return holds the worker past the stop's bound:
// the worker is not terminated, the jobs it was not given go back into the
// mailbox for the next reader, but for the copy of the job the application
// was started with, and once its callback returns it ends without another.
TEST_F(MailboxReaderTest, StopPastItsBoundPutsTheJobsNotGivenBackAndKillsNothing)
{
    WriteSlot(1, Job(1));
    WriteSlot(2, Job(2));
    WriteSlot(3, Job(3));
    WriteSlot(4, Job(4));
    g_pfnInCallback = HoldUntilReleased;
    ResetEvent(g_hReleaseCallback);
    CWorkerStarter starter;
    CTestReader reader;
    CCmdLineParams startJob;
    ASSERT_TRUE(ParseCmdLine(Job(4).c_str(), &startJob, FALSE, FALSE));
    reader.m_startJob.Remember(startJob);
    ASSERT_TRUE(starter.Start(&reader, reader.m_pRegistryChangeEvent));
    ASSERT_TRUE(WaitUntil([] { return !Journal().empty(); }, END_WAIT, 5));

    EXPECT_EQ(CCmdLineProcess::stopWorkerHeld, reader.StopReader(500));
    EXPECT_EQ("1=xxx 2=xxx 3=xxx 4=xxx 5=" + Job(2) + " 6=" + Job(3), Mailbox());
    SetEvent(g_hReleaseCallback);
    EXPECT_EQ(CCmdLineProcess::stopEnded, reader.StopReader(END_WAIT));
    EXPECT_EQ(0u, ExitCodeAfterEnd(starter.m_pThread->m_hThread));
    const std::vector<std::string> journal = Journal();
    EXPECT_EQ("callback D=1 File=C:\\rec1.ts", journal.front());
    EXPECT_EQ(1, std::count_if(journal.begin(), journal.end(),
                               [](const std::string& strEntry) { return strEntry.find("callback") == 0; }));
    EXPECT_EQ("5=" + Job(2) + " 6=" + Job(3), Mailbox());
}

TEST_F(MailboxReaderTest, HundredRoundsDoNotAccumulateKeyHandles)
{
    CDebugOutputRecorder recorder;
    CWorkerStarter starter;
    CTestReader reader;
    ASSERT_TRUE(starter.Start(&reader, reader.m_pRegistryChangeEvent));
    ASSERT_TRUE(WaitForCount(recorder, CYCLE, 1));
    const ULONG_PTR nBefore = ProbeHandle();
    for (int nRound = 1; nRound <= 100; ++nRound)
    {
        char szTick[16];
        sprintf(szTick, "%d", nRound);
        WriteValue("Tick", szTick);
        ASSERT_TRUE(WaitForCount(recorder, CYCLE, nRound + 1));
    }
    const ULONG_PTR nAfter = ProbeHandle();
    // A handle kept per round would push new handles 100 places further.
    EXPECT_LT(nAfter, nBefore + 4 * 10);
}

TEST_F(MailboxReaderTest, RealPausesEndToEnd)
{
    WriteSlot(1, Job(1));
    CDebugOutputRecorder recorder;
    CWorkerStarter starter;
    CCmdLineProcess reader;
    reader.m_strRegistryKey = MAILBOX_KEY;
    reader.m_wDeviceType = 1;
    reader.m_wDeviceIndex = 2;
    reader.m_pRegistryChangeEvent = new CEvent(FALSE, TRUE);
    ASSERT_TRUE(starter.Start(&reader, reader.m_pRegistryChangeEvent));
    ASSERT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(g_hCallback, END_WAIT));
    // The consumed slot stays until the 10 s pause after the command is over.
    EXPECT_EQ("1=xxx", Mailbox());
    ASSERT_TRUE(WaitForCount(recorder, CYCLE, 1, 3 * END_WAIT));
    EXPECT_EQ("", Mailbox());

    // Re-armed: the next job wakes it again.
    WriteSlot(1, Job(2));
    ASSERT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(g_hCallback, END_WAIT));
    reader.m_bStop = TRUE;
    EXPECT_TRUE(reader.Stop(3 * END_WAIT));   // waits out the pause after the command
    EXPECT_EQ(0u, ExitCodeAfterEnd(starter.m_pThread->m_hThread));
    const std::vector<std::string> expectedJournal = {
        "callback D=1 File=C:\\rec1.ts", "callback D=2 File=C:\\rec2.ts" };
    EXPECT_EQ(expectedJournal, Journal());
    const std::vector<std::string> expectedOutput = {
        SEND, NOTHING_TAKEN, DELETED, CYCLE,
        SEND, NOTHING_TAKEN, DELETED, CYCLE, EXITED };
    EXPECT_EQ(expectedOutput, recorder.Texts());
}
