// CSyncObject.h - base of the framework's synchronisation objects.
//
// Holds: CSyncObject. The kernel object's handle is m_hObject; it is null
// when the object could be neither created nor opened (the framework would
// throw there; this layer raises no exceptions, so callers test the handle).
#ifndef AFX_CSYNCOBJECT_H
#define AFX_CSYNCOBJECT_H

#include <windows.h>

class CSyncObject
{
public:
// Constructors
    explicit CSyncObject(LPCSTR pstrName);
    virtual ~CSyncObject();

// Attributes
    HANDLE m_hObject;
    operator HANDLE() const { return m_hObject; }

// Operations
    // TRUE when the object was acquired; an abandoned mutex counts as acquired.
    virtual BOOL Lock(DWORD dwTimeout = INFINITE);
    virtual BOOL Unlock() = 0;
    virtual BOOL Unlock(LONG lCount, LPLONG lpPrevCount = NULL);

private:
    CSyncObject(const CSyncObject&);
    CSyncObject& operator=(const CSyncObject&);
};

#endif // AFX_CSYNCOBJECT_H
