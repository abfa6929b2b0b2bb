// CInstanceCheck.h - is the receiving application of a device alive?
//
// Holds: CInstanceCheck. Every running receiving application keeps raising
// the heartbeat counter of the device it serves in the shared heartbeat
// table (HeartbeatTable.h). CheckInstance reads the device's counter twice,
// one sample pause apart, and calls the application alive when the counter
// rose in between.
#ifndef INSTANCE_CINSTANCECHECK_H
#define INSTANCE_CINSTANCECHECK_H

#include <windows.h>

#include "afx/CString.h"
#include "instance/CSharedMemory.h"

class CInstanceCheck
{
public:
// Constructors
    CInstanceCheck();
    virtual ~CInstanceCheck();

// Operations
    // 1 for the supported product: the table is opened (or made) and, with
    // bClear, every counter set back to 0. Any other code: a message box and 0.
    int Init(LPCSTR pszProduct, BOOL bClear = TRUE);
    // 1 when both readings succeeded; bAlive is 1 when the counter rose.
    int CheckInstance(int nCategory, int nIndex, int& bAlive);
    // Reads one counter (the name is historical: nothing is written).
    int SetCounter(int nCategory, int nIndex, DWORD& dwValue);
    // Byte offset of a counter in the table, -1 when out of range.
    int GetSharedMemoryOffset(int nCategory, int nIndex);
    // Sets every counter of the table to 0, within the bytes the view has.
    void ClearCounters();

// Attributes
    CSharedMemory m_SharedMemory;
    CString m_strSharedMemoryName;
    char m_szProduct[50];

// Implementation
protected:
    // The pause between the two readings; a seam for tests.
    virtual void Pause(DWORD dwMilliseconds);

private:
    CInstanceCheck(const CInstanceCheck&);
    CInstanceCheck& operator=(const CInstanceCheck&);
};

#endif // INSTANCE_CINSTANCECHECK_H
