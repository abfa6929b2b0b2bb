// Tests of the named shared memory block with real named objects, shared
// with a second process.
#include "instance/CSharedMemory.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/instance/CChildProcess.h"
#include "tests/instance/CShortView.h"
#include "tests/support/TestSupport.h"

namespace
{
const char MESSAGE_NO_MAPPING[] = "\nCSharedMemory::Delete () m_hMapping = NULL   SharedMemory not Create?";
const char MESSAGE_NO_VIEW[] = "\nCSharedMemory::Delete () p = NULL   SharedMemory not Create?";
const char MESSAGE_INVALID[] = "\nCSharedMemory::Delete () AfxIsValidAddress() = FALSE";

// A block name no other test run uses at the same time.
std::string UniqueName(const char* pszTag)
{
    char szName[64];
    wsprintfA(szName, "TickwardTest_%s_%lu", pszTag, GetCurrentProcessId());
    return szName;
}

BOOL MappingExists(const std::string& strName)
{
    HANDLE hMapping = OpenFileMappingA(FILE_MAP_READ, FALSE, ("FILE_" + strName).c_str());
    if (hMapping == NULL)
        return FALSE;
    CloseHandle(hMapping);
    return TRUE;
}

BOOL MutexExists(const std::string& strName)
{
    HANDLE hMutex = OpenMutexA(SYNCHRONIZE, FALSE, ("MUTEX_" + strName).c_str());
    if (hMutex == NULL)
        return FALSE;
    CloseHandle(hMutex);
    return TRUE;
}

void ExpectEmpty(const CSharedMemory& block)
{
    EXPECT_TRUE(block.m_pView == NULL);
    EXPECT_EQ(0u, block.m_dwSize);
    EXPECT_TRUE(block.m_hMapping == NULL);
    EXPECT_STREQ("", block.m_strName);
    EXPECT_TRUE(block.m_pMutex == NULL);
}
}

TEST(CSharedMemory, TwoProcessesShareTheBytesOfOneName)
{
    const std::string strName = UniqueName("Shared");
    CSharedMemory block;
    ASSERT_EQ(1, block.Create(64, strName.c_str()));
    EXPECT_TRUE(block.m_bCreated);
    EXPECT_EQ(64u, block.m_dwSize);
    EXPECT_EQ(strName, std::string(block.m_strName));
    ASSERT_TRUE(block.m_pView != NULL);
    EXPECT_TRUE(block.m_hMapping != NULL);
    EXPECT_TRUE(block.m_pMutex != NULL);
    BYTE* pBytes = static_cast<BYTE*>(block.m_pView);

    ASSERT_EQ(1, block.Lock());
    pBytes[10] = 0x5A;
    ASSERT_EQ(1, block.Unlock());

    // The other process opens the block (not made by it), finds our byte and
    // leaves its own.
    CChildProcess peer;
    ASSERT_TRUE(peer.Start("shmpeer.exe", strName + " 64 10 165"));
    ASSERT_TRUE(peer.Wait(30000));
    EXPECT_EQ(0x5Au, peer.m_dwExitCode);
    block.Lock();
    EXPECT_EQ(165, pBytes[10]);
    block.Unlock();
}

TEST(CSharedMemory, OtherProcessMakesANewBlockWhenNobodyHoldsTheName)
{
    CChildProcess peer;
    ASSERT_TRUE(peer.Start("shmpeer.exe", UniqueName("Fresh") + " 32 0 7"));
    ASSERT_TRUE(peer.Wait(30000));
    EXPECT_EQ(0x100u, peer.m_dwExitCode);   // made by it, and all zero
}

TEST(CSharedMemory, HeldMutexKeepsTheOtherProcessOut)
{
    const std::string strName = UniqueName("Locked");
    CSharedMemory block;
    ASSERT_EQ(1, block.Create(16, strName.c_str()));
    ASSERT_EQ(1, block.Lock());
    CChildProcess peer;
    ASSERT_TRUE(peer.Start("shmpeer.exe", strName + " 16 3 1"));
    EXPECT_FALSE(peer.Wait(500));
    // Written while we held the mutex: the peer can only have seen this.
    static_cast<BYTE*>(block.m_pView)[3] = 42;
    ASSERT_EQ(1, block.Unlock());
    ASSERT_TRUE(peer.Wait(30000));
    EXPECT_EQ(42u, peer.m_dwExitCode);
}

TEST(CSharedMemory, GeneratedNamesAreFreshGuids)
{
    CSharedMemory first;
    CSharedMemory second;
    ASSERT_EQ(1, first.Create(16, NULL));
    ASSERT_EQ(1, second.Create(16, NULL));
    const std::string strFirst(first.m_strName);
    const std::string strSecond(second.m_strName);
    ASSERT_EQ(38u, strFirst.size());
    ASSERT_EQ(38u, strSecond.size());
    EXPECT_EQ('{', strFirst[0]);
    EXPECT_EQ('}', strFirst[37]);
    EXPECT_EQ('-', strFirst[9]);
    EXPECT_EQ('-', strFirst[24]);
    EXPECT_NE(strFirst, strSecond);
    EXPECT_TRUE(first.m_bCreated);
    EXPECT_TRUE(second.m_bCreated);
    EXPECT_TRUE(MappingExists(strFirst));
    EXPECT_TRUE(MutexExists(strFirst));

    // Two blocks, not one.
    static_cast<BYTE*>(first.m_pView)[0] = 1;
    EXPECT_EQ(0, static_cast<BYTE*>(second.m_pView)[0]);
}

TEST(CSharedMemory, LongestNameFitsAndALongerOneIsRefused)
{
    const std::string str89 = "TickwardTest_" + std::string(89 - 13, 'n');
    CSharedMemory longest;
    ASSERT_EQ(1, longest.Create(16, str89.c_str()));
    EXPECT_EQ(str89, std::string(longest.m_strName));
    EXPECT_TRUE(MappingExists(str89));
    EXPECT_TRUE(MutexExists(str89));   // "MUTEX_" and 89 characters: 95

    const std::string str90 = "TickwardTest_" + std::string(90 - 13, 'n');
    CSharedMemory tooLong;
    EXPECT_EQ(0, tooLong.Create(16, str90.c_str()));
    ExpectEmpty(tooLong);
    EXPECT_FALSE(MappingExists(str90));
    EXPECT_FALSE(MutexExists(str90));
}

TEST(CSharedMemory, NamesTakenByOtherObjectsMakeCreateFail)
{
    // The mutex name is already an event: the mapping is given back.
    const std::string strMutexTaken = UniqueName("MutexTaken");
    HANDLE hEvent = CreateEventA(NULL, TRUE, FALSE, ("MUTEX_" + strMutexTaken).c_str());
    ASSERT_TRUE(hEvent != NULL);
    {
        CSharedMemory block;
        EXPECT_EQ(0, block.Create(16, strMutexTaken.c_str()));
        ExpectEmpty(block);
        EXPECT_FALSE(MappingExists(strMutexTaken));
    }
    CloseHandle(hEvent);

    const std::string strFileTaken = UniqueName("FileTaken");
    hEvent = CreateEventA(NULL, TRUE, FALSE, ("FILE_" + strFileTaken).c_str());
    ASSERT_TRUE(hEvent != NULL);
    {
        CSharedMemory block;
        EXPECT_EQ(0, block.Create(16, strFileTaken.c_str()));
        ExpectEmpty(block);
        EXPECT_FALSE(MutexExists(strFileTaken));
    }
    CloseHandle(hEvent);
}

TEST(CSharedMemory, SecondCreateOnAHoldingObjectIsRefused)
{
    const std::string strName = UniqueName("Twice");
    CSharedMemory block;
    ASSERT_EQ(1, block.Create(16, strName.c_str()));
    const HANDLE hMapping = block.m_hMapping;
    EXPECT_EQ(0, block.Create(16, UniqueName("Other").c_str()));
    EXPECT_EQ(hMapping, block.m_hMapping);
    EXPECT_EQ(strName, std::string(block.m_strName));
}

TEST(CSharedMemory, OpeningWithAnotherSizeSharesTheExistingBlock)
{
    const std::string strName = UniqueName("Sizes");
    CSharedMemory small;
    ASSERT_EQ(1, small.Create(100, strName.c_str()));
    CSharedMemory large;
    ASSERT_EQ(1, large.Create(240, strName.c_str()));
    EXPECT_FALSE(large.m_bCreated);
    EXPECT_EQ(240u, large.m_dwSize);
    static_cast<BYTE*>(small.m_pView)[50] = 9;
    EXPECT_EQ(9, static_cast<BYTE*>(large.m_pView)[50]);
    // The view is whole pages, so all 240 bytes asked for are there.
    EXPECT_EQ(240u, large.GetValidSize());
    EXPECT_EQ(100u, small.GetValidSize());
}

TEST(CSharedMemory, ValidSizeStopsWhereTheViewEnds)
{
    CSharedMemory block;
    EXPECT_EQ(0u, block.GetValidSize());
    ASSERT_EQ(1, block.Create(240, UniqueName("Valid").c_str()));

    // Stand a view in front of an inaccessible page, 100 bytes before it.
    CShortView shortView(100);
    ASSERT_TRUE(shortView.m_pView != NULL);
    void* pView = block.m_pView;
    block.m_pView = shortView.m_pView;
    EXPECT_EQ(100u, block.GetValidSize());
    block.m_pView = pView;
    EXPECT_EQ(240u, block.GetValidSize());
}

TEST(CSharedMemory, LockAndUnlockNeedABlock)
{
    CSharedMemory block;
    EXPECT_EQ(0, block.Lock());
    EXPECT_EQ(0, block.Unlock());
    ASSERT_EQ(1, block.Create(16, UniqueName("LockUnlock").c_str()));
    EXPECT_EQ(1, block.Lock());
    EXPECT_EQ(1, block.Unlock());
    ASSERT_EQ(1, block.Delete());
    EXPECT_EQ(0, block.Lock());
    EXPECT_EQ(0, block.Unlock());
}

TEST(CSharedMemory, DeleteGuardsAndMessages)
{
    CDebugOutputRecorder output;
    CSharedMemory block;
    EXPECT_EQ(0, block.Delete());
    ASSERT_EQ(1u, output.Texts().size());
    EXPECT_EQ(MESSAGE_NO_MAPPING, output.Texts()[0]);

    const std::string strName = UniqueName("Guards");
    ASSERT_EQ(1, block.Create(64, strName.c_str()));
    output.Clear();

    void* pView = block.m_pView;
    block.m_pView = NULL;
    EXPECT_EQ(0, block.Delete());
    block.m_pView = pView;

    // Far more bytes than the view has: not readable over that size.
    block.m_dwSize = 0x7FFFFFF0;
    EXPECT_EQ(0, block.Delete());
    block.m_dwSize = 64;

    CMutex* pMutex = block.m_pMutex;
    block.m_pMutex = NULL;
    EXPECT_EQ(0, block.Delete());
    block.m_pMutex = pMutex;

    const std::vector<std::string> texts = output.Texts();
    ASSERT_EQ(3u, texts.size());
    EXPECT_EQ(MESSAGE_NO_VIEW, texts[0]);
    EXPECT_EQ(MESSAGE_INVALID, texts[1]);
    EXPECT_EQ(MESSAGE_INVALID, texts[2]);
    // A refused Delete changed nothing.
    EXPECT_EQ(strName, std::string(block.m_strName));
    EXPECT_TRUE(MappingExists(strName));

    output.Clear();
    EXPECT_EQ(1, block.Delete());
    EXPECT_TRUE(output.Texts().empty());
    ExpectEmpty(block);
    EXPECT_FALSE(block.m_bCreated);
    EXPECT_FALSE(MappingExists(strName));
    EXPECT_FALSE(MutexExists(strName));

    EXPECT_EQ(0, block.Delete());
    ASSERT_EQ(1u, output.Texts().size());
    EXPECT_EQ(MESSAGE_NO_MAPPING, output.Texts()[0]);
}

TEST(CSharedMemory, DestructionGivesBackSilentlyOrReportsNoBlock)
{
    CDebugOutputRecorder output;
    const std::string strName = UniqueName("Destroyed");
    {
        CSharedMemory block;
        ASSERT_EQ(1, block.Create(16, strName.c_str()));
    }
    EXPECT_TRUE(output.Texts().empty());
    EXPECT_FALSE(MappingExists(strName));
    EXPECT_FALSE(MutexExists(strName));

    {
        CSharedMemory never;
    }
    ASSERT_EQ(1u, output.Texts().size());
    EXPECT_EQ(MESSAGE_NO_MAPPING, output.Texts()[0]);
}
