// Tests of the liveness test on the real heartbeat counter table, with a
// stand-in receiving application (heartbeat.exe) as another process.
#include "instance/CInstanceCheck.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/instance/CChildProcess.h"
#include "tests/instance/CShortView.h"
#include "tests/support/TableNames.h"
#include "tests/support/TestSupport.h"

namespace
{
const char MESSAGE_INDEX[] = "\nCInstanceCheck::SetCounter() Invalid Device Index!\t";
const char MESSAGE_CATEGORY[] = "\nCInstanceCheck::GetSharedMemoryOffset() Invalid Device Category!\t";
const char MESSAGE_OFFSET[] = "\nCInstanceCheck::SetCounter() Could't get SharedMemoryOffset!";
const char MESSAGE_FAIL_A[] = "\nCOrvaneApp::CheckInstance(P) GetCounter(A) fail!\t";
const char MESSAGE_FAIL_B[] = "\nCOrvaneApp::CheckInstance(P) GetCounter(B) fail!\t";
const char MESSAGE_NO_MAPPING[] = "\nCSharedMemory::Delete () m_hMapping = NULL   SharedMemory not Create?";

// The table as any other process sees it.
class CTable : public CSharedMemory
{
public:
    CTable() { m_bOpen = Create(TABLE_SIZE, TABLE_NAME) == 1; }
    DWORD Get(int nCategory, int nIndex)
    {
        Lock();
        const DWORD dwValue = Counters()[nCategory * 10 + nIndex];
        Unlock();
        return dwValue;
    }
    void Put(int nCategory, int nIndex, DWORD dwValue)
    {
        Lock();
        Counters()[nCategory * 10 + nIndex] = dwValue;
        Unlock();
    }
    DWORD* Counters() { return static_cast<DWORD*>(m_pView); }
    BOOL m_bOpen;
};

// Instead of sleeping between the readings, records the pause and lets a
// test play the receiving application (or another Tickward) right then.
class CTestCheck : public CInstanceCheck
{
public:
    CTestCheck() : m_nPauses(0), m_dwPause(0), m_pTable(NULL), m_nCategory(0), m_nIndex(0),
                   m_dwNewValue(0), m_bDeleteTable(FALSE) {}
    int m_nPauses;
    DWORD m_dwPause;
    CTable* m_pTable;       // when set, the counter gets m_dwNewValue in the pause
    int m_nCategory;
    int m_nIndex;
    DWORD m_dwNewValue;
    BOOL m_bDeleteTable;

protected:
    void Pause(DWORD dwMilliseconds) override
    {
        ++m_nPauses;
        m_dwPause = dwMilliseconds;
        if (m_pTable != NULL)
            m_pTable->Put(m_nCategory, m_nIndex, m_dwNewValue);
        if (m_bDeleteTable)
            m_SharedMemory.Delete();
    }
};

// Waits (bounded) until another process has made the table.
BOOL WaitForTable()
{
    for (int i = 0; i < 500; ++i)
    {
        HANDLE hMapping = OpenFileMappingA(FILE_MAP_READ, FALSE, TABLE_MAPPING);
        if (hMapping != NULL)
        {
            CloseHandle(hMapping);
            return TRUE;
        }
        Sleep(20);
    }
    return FALSE;
}

// Waits (bounded) until a counter has been raised by another process.
BOOL WaitForBeat(CTable& table, int nCategory, int nIndex)
{
    for (int i = 0; i < 500; ++i)
    {
        if (table.Get(nCategory, nIndex) != 0)
            return TRUE;
        Sleep(20);
    }
    return FALSE;
}
}

TEST(CInstanceCheck, OffsetsOfTheTable)
{
    CDebugOutputRecorder output;
    CInstanceCheck check;
    EXPECT_EQ(0, check.GetSharedMemoryOffset(0, 0));
    EXPECT_EQ(36, check.GetSharedMemoryOffset(0, 9));
    EXPECT_EQ(40, check.GetSharedMemoryOffset(1, 0));
    EXPECT_EQ(124, check.GetSharedMemoryOffset(3, 1));
    EXPECT_EQ(236, check.GetSharedMemoryOffset(5, 9));
    EXPECT_TRUE(output.Texts().empty());

    // An invalid index is refused silently, before the category is looked at.
    EXPECT_EQ(-1, check.GetSharedMemoryOffset(0, 10));
    EXPECT_EQ(-1, check.GetSharedMemoryOffset(2, -1));
    EXPECT_EQ(-1, check.GetSharedMemoryOffset(6, 10));
    EXPECT_EQ(-1, check.GetSharedMemoryOffset(-1, -1));
    EXPECT_TRUE(output.Texts().empty());

    EXPECT_EQ(-1, check.GetSharedMemoryOffset(6, 0));
    EXPECT_EQ(-1, check.GetSharedMemoryOffset(-1, 9));
    const std::vector<std::string> texts = output.Texts();
    ASSERT_EQ(2u, texts.size());
    EXPECT_EQ(MESSAGE_CATEGORY, texts[0]);
    EXPECT_EQ(MESSAGE_CATEGORY, texts[1]);
}

TEST(CInstanceCheck, ProductsOtherThanTheSupportedOneMakeNoTable)
{
    const char* const apszKnown[] = { "_KVE", "_LOR", "_MIT", "_NAR", "NAR2" };
    const char* const apszUnknown[] = { "_sel", "_SEL ", "", "SEL" };
    for (size_t i = 0; i < 9; ++i)
    {
        const BOOL bKnown = i < 5;
        const char* pszCode = bKnown ? apszKnown[i] : apszUnknown[i - 5];
        SCOPED_TRACE(pszCode);
        CDebugOutputRecorder output;
        CMessageBoxRecorder boxes;
        {
            CInstanceCheck check;
            EXPECT_EQ(0, check.Init(pszCode));
            EXPECT_TRUE(check.m_SharedMemory.m_hMapping == NULL);
            EXPECT_STREQ("", check.m_strSharedMemoryName);
            EXPECT_EQ('\0', check.m_szProduct[0]);
        }
        ASSERT_EQ(1u, boxes.Texts().size());
        EXPECT_EQ(bKnown ? "CInstanceCheck::Init() Hier fehlt noch was!"
                         : "CInstanceCheck::Init() Unknow Product!", boxes.Texts()[0]);
        EXPECT_EQ(static_cast<UINT>(MB_OK), boxes.Styles()[0]);
        // Destroyed without a table: the block reports that it was never made.
        ASSERT_EQ(1u, output.Texts().size());
        EXPECT_EQ(MESSAGE_NO_MAPPING, output.Texts()[0]);
    }
}

TEST(CInstanceCheck, InitMakesTheTableAndKeepsTheProduct)
{
    CMessageBoxRecorder boxes;
    CInstanceCheck check;
    ASSERT_EQ(1, check.Init("_SEL"));
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_STREQ(TABLE_NAME, check.m_strSharedMemoryName);
    EXPECT_STREQ("_SEL", check.m_szProduct);
    for (size_t i = 4; i < sizeof(check.m_szProduct); ++i)
        EXPECT_EQ('\0', check.m_szProduct[i]);
    EXPECT_TRUE(check.m_SharedMemory.m_bCreated);
    EXPECT_EQ(240u, check.m_SharedMemory.m_dwSize);
    EXPECT_STREQ(TABLE_NAME, check.m_SharedMemory.m_strName);
    HANDLE hMapping = OpenFileMappingA(FILE_MAP_READ, FALSE, TABLE_MAPPING);
    EXPECT_TRUE(hMapping != NULL);
    if (hMapping != NULL)
        CloseHandle(hMapping);
}

TEST(CInstanceCheck, InitClearsEveryCounterOfAnExistingTable)
{
    CTable table;
    ASSERT_TRUE(table.m_bOpen);
    table.Lock();
    FillMemory(table.m_pView, 240, 0xA5);
    table.Unlock();

    CInstanceCheck check;
    ASSERT_EQ(1, check.Init("_SEL"));
    EXPECT_FALSE(check.m_SharedMemory.m_bCreated);
    for (int nCategory = 0; nCategory < 6; ++nCategory)
        for (int nIndex = 0; nIndex < 10; ++nIndex)
            EXPECT_EQ(0u, table.Get(nCategory, nIndex)) << nCategory << "," << nIndex;
}

TEST(CInstanceCheck, RisingCounterMeansAlive)
{
    CTable table;
    ASSERT_TRUE(table.m_bOpen);
    CTestCheck check;
    ASSERT_EQ(1, check.Init("_SEL"));
    check.m_pTable = &table;
    check.m_nCategory = 3;
    check.m_nIndex = 7;
    check.m_dwNewValue = 1;
    int bAlive = 0;
    EXPECT_EQ(1, check.CheckInstance(3, 7, bAlive));
    EXPECT_EQ(1, bAlive);
    EXPECT_EQ(1, check.m_nPauses);
    EXPECT_EQ(600u, check.m_dwPause);
}

TEST(CInstanceCheck, UnchangedFallingOrWrappedCounterMeansNotAlive)
{
    CTable table;
    ASSERT_TRUE(table.m_bOpen);
    CDebugOutputRecorder output;
    CTestCheck check;
    ASSERT_EQ(1, check.Init("_SEL"));
    int bAlive = 1;
    EXPECT_EQ(1, check.CheckInstance(0, 0, bAlive));   // nobody counts
    EXPECT_EQ(0, bAlive);

    // Counting, but the wrong device.
    check.m_pTable = &table;
    check.m_nCategory = 0;
    check.m_nIndex = 1;
    check.m_dwNewValue = 5;
    bAlive = 1;
    EXPECT_EQ(1, check.CheckInstance(0, 0, bAlive));
    EXPECT_EQ(0, bAlive);

    // From the highest value to 0: counts as not alive.
    table.Put(5, 9, 4294967295u);
    check.m_nCategory = 5;
    check.m_nIndex = 9;
    check.m_dwNewValue = 0;
    bAlive = 1;
    EXPECT_EQ(1, check.CheckInstance(5, 9, bAlive));
    EXPECT_EQ(0, bAlive);

    // Another Tickward cleared the table in between.
    table.Put(2, 2, 10);
    check.m_nCategory = 2;
    check.m_nIndex = 2;
    check.m_dwNewValue = 0;
    bAlive = 1;
    EXPECT_EQ(1, check.CheckInstance(2, 2, bAlive));
    EXPECT_EQ(0, bAlive);
    EXPECT_EQ(4, check.m_nPauses);
    EXPECT_TRUE(output.Texts().empty());
}

TEST(CInstanceCheck, FailedFirstReadingsReturnAtOnceWithTheirTrails)
{
    CTable table;
    ASSERT_TRUE(table.m_bOpen);
    CTestCheck check;
    ASSERT_EQ(1, check.Init("_SEL"));
    // A counter raised in a pause would be seen; none may happen.
    check.m_pTable = &table;
    check.m_dwNewValue = 99;

    struct
    {
        int nCategory;
        int nIndex;
        std::vector<std::string> trail;
    } cases[] = {
        { 0, 10, { MESSAGE_INDEX, MESSAGE_FAIL_A } },
        { 7, 10, { MESSAGE_INDEX, MESSAGE_FAIL_A } },
        { 6, 0, { MESSAGE_CATEGORY, MESSAGE_OFFSET, MESSAGE_FAIL_A } },
        { -1, 9, { MESSAGE_CATEGORY, MESSAGE_OFFSET, MESSAGE_FAIL_A } },
        { 1, -1, { MESSAGE_OFFSET, MESSAGE_FAIL_A } },
        { 9, -5, { MESSAGE_OFFSET, MESSAGE_FAIL_A } },
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i)
    {
        SCOPED_TRACE(::testing::Message() << cases[i].nCategory << "," << cases[i].nIndex);
        CDebugOutputRecorder output;
        int bAlive = 1;
        EXPECT_EQ(0, check.CheckInstance(cases[i].nCategory, cases[i].nIndex, bAlive));
        EXPECT_EQ(0, bAlive);
        EXPECT_EQ(cases[i].trail, output.Texts());
    }
    EXPECT_EQ(0, check.m_nPauses);
    for (int nIndex = 0; nIndex < 10; ++nIndex)
        EXPECT_EQ(0u, table.Get(0, nIndex));
}

TEST(CInstanceCheck, TableLostDuringThePauseFailsTheSecondReading)
{
    CTestCheck check;
    ASSERT_EQ(1, check.Init("_SEL"));
    check.m_bDeleteTable = TRUE;
    CDebugOutputRecorder output;
    int bAlive = 1;
    EXPECT_EQ(0, check.CheckInstance(1, 1, bAlive));
    EXPECT_EQ(0, bAlive);
    EXPECT_EQ(1, check.m_nPauses);
    const std::vector<std::string> texts = output.Texts();
    ASSERT_EQ(1u, texts.size());
    EXPECT_EQ(MESSAGE_FAIL_B, texts[0]);
}

TEST(CInstanceCheck, SupportedProductWithoutATableFailsTheFirstReading)
{
    // The table's name is held by an object of another kind, so the table
    // cannot be made; Init still knows the product.
    HANDLE hEvent = CreateEventA(NULL, TRUE, FALSE, TABLE_MAPPING);
    ASSERT_TRUE(hEvent != NULL);
    {
        CTestCheck check;
        EXPECT_EQ(1, check.Init("_SEL"));
        EXPECT_TRUE(check.m_SharedMemory.m_hMapping == NULL);
        EXPECT_TRUE(check.m_SharedMemory.m_pView == NULL);

        CDebugOutputRecorder output;
        DWORD dwValue = 12345;
        EXPECT_EQ(0, check.SetCounter(1, 1, dwValue));
        EXPECT_EQ(12345u, dwValue);
        int bAlive = 1;
        EXPECT_EQ(0, check.CheckInstance(1, 1, bAlive));
        EXPECT_EQ(0, bAlive);
        EXPECT_EQ(0, check.m_nPauses);
        const std::vector<std::string> texts = output.Texts();
        ASSERT_EQ(1u, texts.size());
        EXPECT_EQ(MESSAGE_FAIL_A, texts[0]);
    }
    CloseHandle(hEvent);
}

TEST(CInstanceCheck, ReadingsAndClearingStayInsideASmallerView)
{
    CTable table;
    ASSERT_TRUE(table.m_bOpen);
    CInstanceCheck check;
    ASSERT_EQ(1, check.Init("_SEL"));

    // Make the view end 100 bytes in, before an inaccessible page, as if a
    // foreign process had made the table that small.
    CShortView shortView(100);
    ASSERT_TRUE(shortView.m_pView != NULL);
    DWORD* pSmall = reinterpret_cast<DWORD*>(shortView.m_pView);
    for (int i = 0; i < 25; ++i)
        pSmall[i] = 0x1000 + i;
    void* pView = check.m_SharedMemory.m_pView;
    check.m_SharedMemory.m_pView = pSmall;

    DWORD dwValue = 0;
    EXPECT_EQ(1, check.SetCounter(2, 4, dwValue));   // bytes 96 to 99: the last counter
    EXPECT_EQ(0x1018u, dwValue);
    dwValue = 7;
    EXPECT_EQ(0, check.SetCounter(2, 5, dwValue));   // byte 100 lies beyond the view
    EXPECT_EQ(7u, dwValue);
    EXPECT_EQ(0, check.SetCounter(5, 9, dwValue));
    check.ClearCounters();                           // would fault past byte 100
    for (int i = 0; i < 25; ++i)
        EXPECT_EQ(0u, pSmall[i]);

    check.m_SharedMemory.m_pView = pView;
}

TEST(CInstanceCheck, RunningHeartbeatIsAliveOnlyForItsOwnDevice)
{
    const char szStop[] = "TickwardTest_HeartbeatStop";
    HANDLE hStop = CreateEventA(NULL, TRUE, FALSE, szStop);
    ASSERT_TRUE(hStop != NULL);
    CChildProcess heartbeat;
    ASSERT_TRUE(heartbeat.Start("heartbeat.exe", std::string("2 3 ") + szStop + " 60000"));
    ASSERT_TRUE(WaitForTable());
    {
        CTable table;
        ASSERT_TRUE(table.m_bOpen);
        ASSERT_TRUE(WaitForBeat(table, 2, 3));
        // Made by the heartbeat process, so only opened here.
        EXPECT_FALSE(table.m_bCreated);

        CInstanceCheck check;
        ASSERT_EQ(1, check.Init("_SEL"));
        EXPECT_FALSE(check.m_SharedMemory.m_bCreated);
        int bAlive = 0;
        EXPECT_EQ(1, check.CheckInstance(2, 3, bAlive));
        EXPECT_EQ(1, bAlive);
        bAlive = 1;
        EXPECT_EQ(1, check.CheckInstance(2, 4, bAlive));
        EXPECT_EQ(0, bAlive);
        bAlive = 1;
        EXPECT_EQ(1, check.CheckInstance(3, 3, bAlive));
        EXPECT_EQ(0, bAlive);
    }
    SetEvent(hStop);
    ASSERT_TRUE(heartbeat.Wait(30000));
    EXPECT_EQ(0u, heartbeat.m_dwExitCode);
    CloseHandle(hStop);
}

TEST(CInstanceCheck, HeartbeatEndsByItselfAndRefusesBadArguments)
{
    CTable table;
    ASSERT_TRUE(table.m_bOpen);
    CChildProcess heartbeat;
    ASSERT_TRUE(heartbeat.Start("heartbeat.exe", "1 9 - 300"));
    ASSERT_TRUE(heartbeat.Wait(30000));
    EXPECT_EQ(0u, heartbeat.m_dwExitCode);
    EXPECT_NE(0u, table.Get(1, 9));

    const char* const apszBad[] = { "", "1", "6 0", "0 10", "x 1", "1 1 - -5", "1 1 - 1 extra" };
    for (size_t i = 0; i < sizeof(apszBad) / sizeof(apszBad[0]); ++i)
    {
        SCOPED_TRACE(apszBad[i]);
        CChildProcess bad;
        ASSERT_TRUE(bad.Start("heartbeat.exe", apszBad[i]));
        ASSERT_TRUE(bad.Wait(30000));
        EXPECT_EQ(1u, bad.m_dwExitCode);
    }
}
