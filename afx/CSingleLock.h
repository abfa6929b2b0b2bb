// CSingleLock.h - the framework's scoped lock on one synchronisation object:
// what it holds when it goes out of scope, it gives back.
#ifndef AFX_CSINGLELOCK_H
#define AFX_CSINGLELOCK_H

#include "afx/CSyncObject.h"

class CSingleLock
{
public:
    explicit CSingleLock(CSyncObject* pObject, BOOL bInitialLock = FALSE);
    virtual ~CSingleLock();

    BOOL Lock(DWORD dwTimeout = INFINITE);
    BOOL Unlock();
    BOOL IsLocked() const { return m_bAcquired; }

private:
    CSyncObject* m_pObject;
    BOOL m_bAcquired;

    CSingleLock(const CSingleLock&);
    CSingleLock& operator=(const CSingleLock&);
};

#endif // AFX_CSINGLELOCK_H
