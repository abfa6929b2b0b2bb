// WaitAnswering.h - a wait that answers the messages other threads send to
// the waiting thread.
//
// A thread that owns windows and waits for another thread must go on
// answering SendMessage calls: the thread it waits for may be sending one
// to it (a callback that updates a window), and both would wait for ever.
#ifndef THREAD_WAITANSWERING_H
#define THREAD_WAITANSWERING_H

#include <windows.h>

// As WaitForSingleObject (WAIT_OBJECT_0, WAIT_ABANDONED, WAIT_TIMEOUT or
// WAIT_FAILED), delivering the messages sent to this thread meanwhile.
// Posted messages stay queued.
DWORD WaitAnswering(HANDLE hObject, DWORD dwTimeout);

#endif // THREAD_WAITANSWERING_H
