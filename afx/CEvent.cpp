// CEvent.cpp - the framework's event.
#include "afx/CEvent.h"

CEvent::CEvent(BOOL bInitiallyOwn, BOOL bManualReset, LPCSTR lpszName,
               LPSECURITY_ATTRIBUTES lpsaAttribute)
    : CSyncObject(lpszName)
{
    m_hObject = ::CreateEventA(lpsaAttribute, bManualReset, bInitiallyOwn, lpszName);
}

CEvent::~CEvent()
{
}

BOOL CEvent::SetEvent()
{
    return m_hObject != NULL && ::SetEvent(m_hObject);
}

BOOL CEvent::PulseEvent()
{
    return m_hObject != NULL && ::PulseEvent(m_hObject);
}

BOOL CEvent::ResetEvent()
{
    return m_hObject != NULL && ::ResetEvent(m_hObject);
}

BOOL CEvent::Unlock()
{
    return TRUE;
}
