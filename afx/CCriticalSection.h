// CCriticalSection.h - the framework's critical section: a lock between the
// threads of one process, without a kernel handle.
#ifndef AFX_CCRITICALSECTION_H
#define AFX_CCRITICALSECTION_H

#include "afx/CSyncObject.h"

class CCriticalSection : public CSyncObject
{
public:
    CCriticalSection();
    virtual ~CCriticalSection();

    operator CRITICAL_SECTION*() { return &m_sect; }

    BOOL Lock();
    virtual BOOL Lock(DWORD dwTimeout);  // waits without time-out, as the framework does
    virtual BOOL Unlock();

    CRITICAL_SECTION m_sect;
};

#endif // AFX_CCRITICALSECTION_H
