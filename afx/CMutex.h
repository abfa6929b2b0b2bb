// CMutex.h - the framework's mutex: a named or unnamed kernel mutex.
#ifndef AFX_CMUTEX_H
#define AFX_CMUTEX_H

#include "afx/CSyncObject.h"

class CMutex : public CSyncObject
{
public:
    // Creates the named mutex, or opens it when it exists already (then the
    // initial ownership is not granted).
    CMutex(BOOL bInitiallyOwn = FALSE, LPCSTR lpszName = NULL,
           LPSECURITY_ATTRIBUTES lpsaAttribute = NULL);
    virtual ~CMutex();

    virtual BOOL Unlock();
};

#endif // AFX_CMUTEX_H
