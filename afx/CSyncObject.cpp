// CSyncObject.cpp - base of the framework's synchronisation objects.
#include "afx/CSyncObject.h"

CSyncObject::CSyncObject(LPCSTR /*pstrName*/)
    : m_hObject(NULL)
{
}

CSyncObject::~CSyncObject()
{
    if (m_hObject != NULL)
    {
        ::CloseHandle(m_hObject);
        m_hObject = NULL;
    }
}

BOOL CSyncObject::Lock(DWORD dwTimeout)
{
    if (m_hObject == NULL)
        return FALSE;
    const DWORD dwResult = ::WaitForSingleObject(m_hObject, dwTimeout);
    return dwResult == WAIT_OBJECT_0 || dwResult == WAIT_ABANDONED;
}

BOOL CSyncObject::Unlock(LONG /*lCount*/, LPLONG /*lpPrevCount*/)
{
    return TRUE;
}
