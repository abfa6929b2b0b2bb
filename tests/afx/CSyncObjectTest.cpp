// Tests of the framework layer's synchronisation objects.
#include "afx/afxmt.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace
{
DWORD WINAPI TakeAndEnd(LPVOID pMutex)
{
    return static_cast<CMutex*>(pMutex)->Lock(0);
}

// Lets another thread take the mutex and end while holding it.
BOOL Abandon(CMutex& mutex)
{
    HANDLE hThread = CreateThread(NULL, 0, TakeAndEnd, &mutex, 0, NULL);
    const DWORD dwTaken = ExitCodeAfterEnd(hThread);
    CloseHandle(hThread);
    return dwTaken == TRUE;
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
    CMutex mutex;
    ASSERT_TRUE(mutex.m_hObject != NULL);
    // The wait after an abandonment reports it, and takes the mutex.
    ASSERT_TRUE(Abandon(mutex));
    ASSERT_EQ(static_cast<DWORD>(WAIT_ABANDONED), WaitForSingleObject(mutex.m_hObject, 1000));
    ASSERT_TRUE(mutex.Unlock());

    ASSERT_TRUE(Abandon(mutex));
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
