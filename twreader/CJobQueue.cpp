// CJobQueue.cpp - the jobs of a device served without a callback.
#include "twreader/CJobQueue.h"

#include <new>

CJobQueue::CJobQueue()
    : m_pFirst(NULL), m_pLast(NULL), m_hJobReady(NULL), m_hWnd(NULL), m_uMessage(0), m_lParam(0)
{
}

CJobQueue::~CJobQueue()
{
    while (CJobRecord* pRecord = Take())
        delete pRecord;
}

void CJobQueue::Notify(HANDLE hJobReady, HWND hWnd, UINT uMessage, LPARAM lParam)
{
    m_hJobReady = hJobReady;
    m_hWnd = hWnd;
    m_uMessage = uMessage;
    m_lParam = lParam;
}

BOOL CJobQueue::Add(const CCmdLineParams& params)
{
    CJobRecord* pRecord = new (std::nothrow) CJobRecord;
    if (pRecord == NULL)
        return FALSE;
    pRecord->m_params = params;
    m_cs.Lock();
    if (m_pLast != NULL)
        m_pLast->m_pNext = pRecord;
    else
        m_pFirst = pRecord;
    m_pLast = pRecord;
    m_cs.Unlock();
    // The message first: an application woken by the event finds it queued.
    if (m_hWnd != NULL)
        PostToWindow();
    if (m_hJobReady != NULL)
        ::SetEvent(m_hJobReady);
    return TRUE;
}

// An application that gave a window has the user-interface library loaded;
// the DLL does not import it for the others.
void CJobQueue::PostToWindow()
{
    typedef BOOL(WINAPI * PFN_POSTMESSAGEA)(HWND hWnd, UINT uMessage, WPARAM wParam, LPARAM lParam);
    const HMODULE hUser = ::GetModuleHandleA("user32.dll");
    const PFN_POSTMESSAGEA pfnPost = hUser == NULL ? NULL : reinterpret_cast<PFN_POSTMESSAGEA>(
        reinterpret_cast<void*>(::GetProcAddress(hUser, "PostMessageA")));
    if (pfnPost != NULL)
        pfnPost(m_hWnd, m_uMessage, 0, m_lParam);
}

CJobRecord* CJobQueue::Take()
{
    CSingleLock lock(&m_cs, TRUE);
    CJobRecord* pRecord = m_pFirst;
    if (pRecord == NULL)
        return NULL;
    m_pFirst = pRecord->m_pNext;
    if (m_pFirst == NULL)
        m_pLast = NULL;
    pRecord->m_pNext = NULL;
    return pRecord;
}
