// CSharedMemory.h - a block of memory shared between processes by name.
//
// Holds: CSharedMemory. The block is a named file mapping in the paging file
// ("FILE_" + name), mapped for reading and writing, with a named mutex
// ("MUTEX_" + name) through which every process that uses the block
// serialises its accesses. Create makes both objects or opens the ones
// another process made first; m_bCreated tells which.
#ifndef INSTANCE_CSHAREDMEMORY_H
#define INSTANCE_CSHAREDMEMORY_H

#include <windows.h>

#include "afx/CString.h"
#include "afx/CMutex.h"

class CSharedMemory
{
public:
// Constructors
    CSharedMemory();
    virtual ~CSharedMemory();

// Operations
    // 1 when the block is mapped and its mutex is in hand (not held), else 0.
    // A null name makes a fresh GUID name that no other process knows.
    int Create(DWORD dwSize, LPCSTR pszName);
    // Opens a block that another process made, for reading only, and makes
    // no block: 1 when it is mapped; 0 when there is none (GetLastError then
    // says ERROR_FILE_NOT_FOUND) or it cannot be mapped.
    int Open(DWORD dwSize, LPCSTR pszName);
    // 1 when a block was given back; 0, with a message to the debugger
    // output, when there was no valid block (the object is then unchanged).
    int Delete();
    // Bracket every access to the block. 0 when there is no block.
    int Lock();
    int Unlock();
    // Lock that waits at most dwTimeout ms: 0 also when another process
    // held the block longer. For tools that must not hang when a holder
    // hangs; the system's own accesses wait for as long as it takes.
    int TryLock(DWORD dwTimeout);

    // Bytes of the block that really lie in this process's view: m_dwSize,
    // or fewer when the block existed already with a smaller size than asked
    // for. 0 without a block.
    DWORD GetValidSize() const;

// Attributes
    void* m_pView;
    DWORD m_dwSize;
    HANDLE m_hMapping;
    CString m_strName;
    CMutex* m_pMutex;
    BOOL m_bCreated;

// Implementation
private:
    int Attach(HANDLE hMapping, DWORD dwAccess, BOOL bOwnMutex, DWORD dwSize, LPCSTR pszName);

    CSharedMemory(const CSharedMemory&);
    CSharedMemory& operator=(const CSharedMemory&);
};

#endif // INSTANCE_CSHAREDMEMORY_H
