// Tests of the worker thread base and its starter, on real threads.
#include "tests/support/TestSupport.h"
#include "thread/CWorkerStarter.h"
#include "thread/CWorkerThread.h"

#include <gtest/gtest.h>

namespace
{
const DWORD END_WAIT = 10000;
const DWORD EXIT_TERMINATED = 0xFFFFFFD6;

// Released by the test; read from a global so that a stubborn Run never
// touches an object that is being destroyed around it.
volatile LONG g_bReleaseStubborn = FALSE;

// Set by the workers below when their Run has begun: a worker destroyed
// before its thread reached Run would run the base Run instead.
HANDLE g_hEntered = CreateEventA(NULL, TRUE, FALSE, NULL);

// Stays in Run until the test releases it, whatever the run state says.
class CStubbornWorker : public CWorkerThread
{
public:
    virtual int Run()
    {
        SetEvent(g_hEntered);
        while (!g_bReleaseStubborn)
            Sleep(5);
        return 7;
    }
};

UINT __cdecl StubbornProc(LPVOID /*pParam*/)
{
    while (!g_bReleaseStubborn)
        Sleep(5);
    return 7;
}

// Ends dwLinger ms after it is no longer running.
class CPoliteWorker : public CWorkerThread
{
public:
    explicit CPoliteWorker(DWORD dwLinger = 0) : m_dwLinger(dwLinger) {}
    virtual int Run()
    {
        SetEvent(g_hEntered);
        while (IsRunning())
            Sleep(5);
        Sleep(m_dwLinger);
        return 5;
    }
    DWORD m_dwLinger;
};

// Stops itself from inside Run and notes what it saw.
class CSelfStoppingWorker : public CWorkerThread
{
public:
    CSelfStoppingWorker() : m_bResult(-1), m_nStateAfter(-1), m_pThreadAfter(NULL) {}
    virtual int Run()
    {
        m_bResult = Stop(1000);
        m_nStateAfter = m_nState;
        m_pThreadAfter = m_pThread;
        return 3;
    }
    BOOL m_bResult;
    int m_nStateAfter;
    CWinThread* m_pThreadAfter;
};

// Notes what the starter had recorded when Run began.
class CObservingWorker : public CWorkerThread
{
public:
    explicit CObservingWorker(HANDLE hWakeUp)
        : m_hWakeUp(hWakeUp), m_bRunningAtStart(FALSE), m_pThreadAtStart(NULL), m_bWokenAtStart(FALSE) {}
    virtual int Run()
    {
        m_bRunningAtStart = IsRunning();
        m_pThreadAtStart = m_pThread;
        m_bWokenAtStart = m_hWakeUp != NULL && WaitForSingleObject(m_hWakeUp, 0) == WAIT_OBJECT_0;
        return 9;
    }
    HANDLE m_hWakeUp;
    BOOL m_bRunningAtStart;
    CWinThread* m_pThreadAtStart;
    BOOL m_bWokenAtStart;
};

BOOL IsAlive(HANDLE hThread)
{
    return WaitForSingleObject(hThread, 0) == WAIT_TIMEOUT;
}

class WorkerThreadTest : public ::testing::Test
{
protected:
    virtual void SetUp()
    {
        g_bReleaseStubborn = FALSE;
        ResetEvent(g_hEntered);
    }
    virtual void TearDown() { g_bReleaseStubborn = TRUE; }
};
}

TEST_F(WorkerThreadTest, ConstructionGivesIdleStateAndInitialValues)
{
    CWorkerThread worker;
    EXPECT_EQ(0, worker.m_nState);
    EXPECT_TRUE(worker.m_pThread == NULL);
    EXPECT_EQ(0, worker.m_nAux1);
    EXPECT_EQ(0x7FFFFFFF, worker.m_nAux2);
    EXPECT_EQ(0, worker.m_nAux3);
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_EQ(1, worker.Run());
}

TEST_F(WorkerThreadTest, StopOnIdleObjectReturnsFalseAndNeitherWaitsNorTerminates)
{
    CWinThread* pThread = AfxBeginThread(StubbornProc, NULL);
    ASSERT_TRUE(pThread != NULL);
    pThread->m_bAutoDelete = FALSE;
    {
        CDebugOutputRecorder recorder;
        CWorkerThread worker;
        worker.m_pThread = pThread;   // even with a thread recorded, idle means no stop
        EXPECT_FALSE(worker.Stop(200));
        EXPECT_EQ(0, worker.m_nState);
        EXPECT_TRUE(IsAlive(pThread->m_hThread));
        EXPECT_TRUE(recorder.Texts().empty());
    }
    g_bReleaseStubborn = TRUE;
    EXPECT_EQ(7u, ExitCodeAfterEnd(pThread->m_hThread));
    delete pThread;
}

TEST_F(WorkerThreadTest, StopOfRunningObjectWithoutThreadMarksStoppingOnly)
{
    CDebugOutputRecorder recorder;
    CWorkerThread worker;
    worker.m_nState = 1;
    EXPECT_TRUE(worker.IsRunning());
    EXPECT_TRUE(worker.Stop(200));
    EXPECT_EQ(2, worker.m_nState);
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_TRUE(worker.m_pThread == NULL);
    EXPECT_FALSE(worker.Stop(200));   // a second stop while stopping
    EXPECT_EQ(2, worker.m_nState);
    EXPECT_TRUE(recorder.Texts().empty());   // the end-time line is silent
}

TEST_F(WorkerThreadTest, WaitTimeIsTwoThirdsOfTheTimeOutAndAtLeast100ms)
{
    EXPECT_EQ(100u, CWorkerThread::GetStopWaitTime(0));
    EXPECT_EQ(100u, CWorkerThread::GetStopWaitTime(149));
    EXPECT_EQ(100u, CWorkerThread::GetStopWaitTime(150));
    EXPECT_EQ(100u, CWorkerThread::GetStopWaitTime(151));
    EXPECT_EQ(101u, CWorkerThread::GetStopWaitTime(152));
    EXPECT_EQ(133u, CWorkerThread::GetStopWaitTime(200));
    EXPECT_EQ(200u, CWorkerThread::GetStopWaitTime(300));
    EXPECT_EQ(666u, CWorkerThread::GetStopWaitTime(1000));
    // Beyond 2^31 ms the doubling would overflow; the wait stays two thirds.
    EXPECT_EQ(0xAAAAAAAAu, CWorkerThread::GetStopWaitTime(0xFFFFFFFF));
}

TEST_F(WorkerThreadTest, StopWithZeroTimeOutStillWaitsAndTerminatesAStubbornWorker)
{
    CWorkerStarter starter;
    CStubbornWorker worker;
    ASSERT_TRUE(starter.Start(&worker));
    EXPECT_TRUE(worker.Stop(0));
    EXPECT_EQ(0, worker.m_nState);
    EXPECT_TRUE(worker.m_pThread == NULL);
    EXPECT_EQ(EXIT_TERMINATED, ExitCodeAfterEnd(starter.m_pThread->m_hThread));
}

TEST_F(WorkerThreadTest, WorkerEndingWithinTheWaitKeepsStateStoppingAndItsThread)
{
    CDebugOutputRecorder recorder;
    CWorkerStarter starter;
    CPoliteWorker worker(50);
    worker.m_nAux2 = 22;
    worker.m_nAux3 = 33;
    ASSERT_TRUE(starter.Start(&worker));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(g_hEntered, END_WAIT));
    EXPECT_TRUE(worker.Stop(0));   // waits at least 100 ms: time enough to end
    EXPECT_EQ(2, worker.m_nState);
    EXPECT_EQ(starter.m_pThread, worker.m_pThread);
    EXPECT_EQ(5u, ExitCodeAfterEnd(starter.m_pThread->m_hThread));
    EXPECT_EQ(22, worker.m_nAux2);
    EXPECT_EQ(33, worker.m_nAux3);
    EXPECT_TRUE(recorder.Texts().empty());
}

TEST_F(WorkerThreadTest, WorkerNotEndingWithinTheWaitIsTerminatedAndReset)
{
    CDebugOutputRecorder recorder;
    CWorkerStarter starter;
    CStubbornWorker worker;
    worker.m_nAux1 = 11;
    worker.m_nAux2 = 22;
    worker.m_nAux3 = 33;
    ASSERT_TRUE(starter.Start(&worker));
    const DWORD dwStart = GetTickCount();
    EXPECT_TRUE(worker.Stop(3000));
    // Two thirds of the time-out, with room for a loaded machine.
    const DWORD dwWaited = GetTickCount() - dwStart;
    EXPECT_GE(dwWaited, 1900u);
    EXPECT_LE(dwWaited, 2900u);
    EXPECT_EQ(EXIT_TERMINATED, ExitCodeAfterEnd(starter.m_pThread->m_hThread));
    EXPECT_EQ(0, worker.m_nState);
    EXPECT_TRUE(worker.m_pThread == NULL);
    EXPECT_EQ(11, worker.m_nAux1);
    EXPECT_EQ(0x7FFFFFFF, worker.m_nAux2);
    EXPECT_EQ(0, worker.m_nAux3);
    EXPECT_TRUE(recorder.Texts().empty());
    EXPECT_TRUE(starter.Release(END_WAIT));
    EXPECT_TRUE(starter.m_pThread == NULL);
}

TEST_F(WorkerThreadTest, StopFromInsideRunReturnsAtOnceWithStateStopping)
{
    CWorkerStarter starter;
    CSelfStoppingWorker worker;
    ASSERT_TRUE(starter.Start(&worker));
    EXPECT_EQ(3u, ExitCodeAfterEnd(starter.m_pThread->m_hThread));
    EXPECT_TRUE(worker.m_bResult);
    EXPECT_EQ(2, worker.m_nStateAfter);
    EXPECT_EQ(starter.m_pThread, worker.m_pThreadAfter);
    EXPECT_EQ(2, worker.m_nState);   // the starter leaves a stopped worker to Stop
}

TEST_F(WorkerThreadTest, DestroyingARunningWorkerStopsIt)
{
    CWorkerStarter politeStarter;
    CPoliteWorker* pPolite = new CPoliteWorker;
    ASSERT_TRUE(politeStarter.Start(pPolite));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(g_hEntered, END_WAIT));
    delete pPolite;
    EXPECT_EQ(5u, ExitCodeAfterEnd(politeStarter.m_pThread->m_hThread));

    CWorkerStarter stubbornStarter;
    CStubbornWorker* pStubborn = new CStubbornWorker;
    ResetEvent(g_hEntered);
    ASSERT_TRUE(stubbornStarter.Start(pStubborn));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(g_hEntered, END_WAIT));
    delete pStubborn;
    EXPECT_EQ(EXIT_TERMINATED, ExitCodeAfterEnd(stubbornStarter.m_pThread->m_hThread));
}

TEST_F(WorkerThreadTest, DestroyingAStoppingWorkerDoesNotStopItAgain)
{
    CWinThread* pThread = AfxBeginThread(StubbornProc, NULL);
    ASSERT_TRUE(pThread != NULL);
    pThread->m_bAutoDelete = FALSE;
    {
        CWorkerThread worker;
        worker.m_pThread = pThread;
        worker.m_nState = 2;
    }
    EXPECT_TRUE(IsAlive(pThread->m_hThread));
    g_bReleaseStubborn = TRUE;
    EXPECT_EQ(7u, ExitCodeAfterEnd(pThread->m_hThread));
    delete pThread;
}

TEST_F(WorkerThreadTest, StarterRecordsTheWorkerAsRunningBeforeRunAndSignalsTheWakeUp)
{
    CEvent wakeUp(FALSE, TRUE);
    CWorkerStarter starter;
    CObservingWorker worker(wakeUp.m_hObject);
    ASSERT_TRUE(starter.Start(&worker, &wakeUp));
    EXPECT_EQ(9u, ExitCodeAfterEnd(starter.m_pThread->m_hThread));
    EXPECT_TRUE(worker.m_bRunningAtStart);
    EXPECT_EQ(starter.m_pThread, worker.m_pThreadAtStart);
    EXPECT_TRUE(worker.m_bWokenAtStart);
    // A Run that ends by itself leaves the worker idle, without a thread.
    EXPECT_EQ(0, worker.m_nState);
    EXPECT_TRUE(worker.m_pThread == NULL);
    EXPECT_TRUE(starter.Release(END_WAIT));
    EXPECT_TRUE(starter.m_pThread == NULL);
}

TEST_F(WorkerThreadTest, StarterRefusesABusyWorkerOrASecondThread)
{
    CWorkerStarter starter;
    CWorkerThread running;
    running.m_nState = 1;
    EXPECT_FALSE(starter.Start(&running));
    EXPECT_TRUE(starter.m_pThread == NULL);
    running.m_nState = 0;

    CWorkerThread base;
    ASSERT_TRUE(starter.Start(&base));
    EXPECT_EQ(1u, ExitCodeAfterEnd(starter.m_pThread->m_hThread));   // the base Run's result
    CWorkerThread other;
    EXPECT_FALSE(starter.Start(&other));   // still holds the first thread
    EXPECT_TRUE(starter.Release(END_WAIT));
    EXPECT_TRUE(starter.Start(&other));
    EXPECT_EQ(1u, ExitCodeAfterEnd(starter.m_pThread->m_hThread));
}

TEST_F(WorkerThreadTest, ReleaseKeepsTheThreadObjectWhileItsThreadRuns)
{
    CWorkerStarter starter;
    CStubbornWorker worker;
    ASSERT_TRUE(starter.Start(&worker));
    EXPECT_FALSE(starter.Release(0));
    EXPECT_TRUE(starter.m_pThread != NULL);
    g_bReleaseStubborn = TRUE;
    EXPECT_EQ(7u, ExitCodeAfterEnd(starter.m_pThread->m_hThread));
    EXPECT_TRUE(starter.Release(END_WAIT));
}

TEST(CWinThread, BeginThreadRunsTheProcedureAndHonoursSuspendedStart)
{
    g_bReleaseStubborn = TRUE;
    CWinThread* pThread = AfxBeginThread(StubbornProc, NULL, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_TRUE(pThread != NULL);
    pThread->m_bAutoDelete = FALSE;
    EXPECT_TRUE(pThread->m_hThread != NULL);
    EXPECT_NE(0u, pThread->m_nThreadID);
    EXPECT_TRUE(IsAlive(pThread->m_hThread));   // suspended: cannot have ended
    EXPECT_EQ(1u, pThread->ResumeThread());
    EXPECT_EQ(7u, ExitCodeAfterEnd(pThread->m_hThread));
    delete pThread;
}
