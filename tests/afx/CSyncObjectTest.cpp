// Tests of the framework layer's synchronisation objects.
#include "afx/afxmt.h"

#include <gtest/gtest.h>

namespace
{
DWORD WINAPI OwnAndDie(LPVOID pName)
{
    CMutex mutex(TRUE, static_cast<LPCSTR>(pName));
    // Close our handle without releasing: the mutex is abandoned at thread end.
    return 0;
}
}

TEST(CMutex, SecondCreateOpensTheSameNamedMutex)
{
    CMutex first(TRUE, "TickwardTest_Mutex_A");
    ASSERT_TRUE(first.m_hObject != NULL);
    CMutex second(TRUE, "TickwardTest_Mutex_A");
    ASSERT_TRUE(second.m_hObject != NULL);
    EXPECT_TRUE(second.Lock(0));        // same thread: recursive ownership
    EXPECT_TRUE(second.Unlock());
    EXPECT_TRUE(first.Unlock());
    EXPECT_FALSE(first.Unlock());       // not owned any more

    CMutex other(FALSE, "tickwardtest_mutex_a");  // names are case-sensitive
    ASSERT_TRUE(other.m_hObject != NULL);
    EXPECT_TRUE(other.Unlock() == FALSE);
}

TEST(CMutex, AbandonedMutexCountsAsAcquired)
{
    char szName[] = "TickwardTest_Mutex_Abandoned";
    CMutex mutex(FALSE, szName);
    ASSERT_TRUE(mutex.m_hObject != NULL);
    HANDLE hThread = CreateThread(NULL, 0, OwnAndDie, szName, 0, NULL);
    ASSERT_TRUE(hThread != NULL);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hThread, 5000));
    CloseHandle(hThread);
    EXPECT_TRUE(mutex.Lock(1000));
    EXPECT_TRUE(mutex.Unlock());
}

TEST(CMutex, InvalidNameLeavesNoHandle)
{
    CMutex mutex(FALSE, "Bad\\Name\\With\\Unknown\\Directory");
    EXPECT_TRUE(mutex.m_hObject == NULL);
    EXPECT_FALSE(mutex.Lock(0));
    EXPECT_FALSE(mutex.Unlock());
}

TEST(CEvent, AutoAndManualReset)
{
    CEvent autoReset;
    ASSERT_TRUE(autoReset.m_hObject != NULL);
    EXPECT_FALSE(autoReset.Lock(0));
    EXPECT_TRUE(autoReset.SetEvent());
    EXPECT_TRUE(autoReset.Lock(0));
    EXPECT_FALSE(autoReset.Lock(0));

    CEvent manual(FALSE, TRUE);
    EXPECT_TRUE(manual.SetEvent());
    EXPECT_TRUE(manual.Lock(0));
    EXPECT_TRUE(manual.Lock(0));
    EXPECT_TRUE(manual.ResetEvent());
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(manual, 0));
}

TEST(CCriticalSection, LocksRecursivelyOnOneThread)
{
    CCriticalSection cs;
    EXPECT_TRUE(cs.m_hObject == NULL);
    EXPECT_TRUE(cs.Lock());
    EXPECT_TRUE(cs.Lock(0));
    EXPECT_TRUE(TryEnterCriticalSection(cs));
    LeaveCriticalSection(cs);
    EXPECT_TRUE(cs.Unlock());
    EXPECT_TRUE(cs.Unlock());
}
