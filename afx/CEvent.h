// CEvent.h - the framework's event: a named or unnamed kernel event.
#ifndef AFX_CEVENT_H
#define AFX_CEVENT_H

#include "afx/CSyncObject.h"

class CEvent : public CSyncObject
{
public:
    CEvent(BOOL bInitiallyOwn = FALSE, BOOL bManualReset = FALSE, LPCSTR lpszName = NULL,
           LPSECURITY_ATTRIBUTES lpsaAttribute = NULL);
    virtual ~CEvent();

    BOOL SetEvent();
    BOOL PulseEvent();
    BOOL ResetEvent();
    virtual BOOL Unlock();
};

#endif // AFX_CEVENT_H
