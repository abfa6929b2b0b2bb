// CMutex.cpp - the framework's mutex.
#include "afx/CMutex.h"

CMutex::CMutex(BOOL bInitiallyOwn, LPCSTR lpszName, LPSECURITY_ATTRIBUTES lpsaAttribute)
    : CSyncObject(lpszName)
{
    m_hObject = ::CreateMutexA(lpsaAttribute, bInitiallyOwn, lpszName);
}

CMutex::~CMutex()
{
}

BOOL CMutex::Unlock()
{
    return m_hObject != NULL && ::ReleaseMutex(m_hObject);
}
