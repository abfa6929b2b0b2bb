// WaitAnswering.cpp - a wait that answers sent messages.
#include "thread/WaitAnswering.h"

namespace
{
typedef DWORD(WINAPI* PFN_MSGWAIT)(DWORD nCount, const HANDLE* pHandles, BOOL bWaitAll, DWORD dwTimeout,
                                   DWORD dwWakeMask);
typedef BOOL(WINAPI* PFN_PEEKMESSAGEA)(LPMSG pMsg, HWND hWnd, UINT uFirst, UINT uLast, UINT uRemove);

template <class PFN>
PFN UserFunction(HMODULE hUser, LPCSTR pszName)
{
    return hUser == NULL ? NULL : reinterpret_cast<PFN>(reinterpret_cast<void*>(::GetProcAddress(hUser, pszName)));
}
}

DWORD WaitAnswering(HANDLE hObject, DWORD dwTimeout)
{
    // A thread can own a window only once the user-interface library is
    // loaded: a windowless program neither loads it nor needs the answering.
    const HMODULE hUser = ::GetModuleHandleA("user32.dll");
    const PFN_MSGWAIT pfnMsgWait = UserFunction<PFN_MSGWAIT>(hUser, "MsgWaitForMultipleObjects");
    const PFN_PEEKMESSAGEA pfnPeek = UserFunction<PFN_PEEKMESSAGEA>(hUser, "PeekMessageA");
    if (pfnMsgWait == NULL || pfnPeek == NULL)
        return ::WaitForSingleObject(hObject, dwTimeout);
    const DWORD dwStart = ::GetTickCount();
    for (;;)
    {
        const DWORD dwElapsed = ::GetTickCount() - dwStart;
        const DWORD dwLeft = dwTimeout == INFINITE ? INFINITE : dwElapsed < dwTimeout ? dwTimeout - dwElapsed : 0;
        const DWORD dwResult = pfnMsgWait(1, &hObject, FALSE, dwLeft, QS_SENDMESSAGE);
        if (dwResult == WAIT_OBJECT_0 || dwResult == WAIT_ABANDONED_0)
            return dwResult;
        if (dwResult != WAIT_OBJECT_0 + 1)
            return dwResult == WAIT_TIMEOUT ? WAIT_TIMEOUT : WAIT_FAILED;
        // Peeking delivers every message sent to this thread.
        MSG msg;
        pfnPeek(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}
