// CDeviceClaim.cpp - one device, one serving process.
#include "instance/CDeviceClaim.h"

#include "afx/CString.h"
#include "instance/HeartbeatTable.h"

CDeviceClaim::CDeviceClaim()
    : m_hClaim(NULL)
{
}

CDeviceClaim::~CDeviceClaim()
{
    Release();
}

// Only the object's existence counts, never its ownership: whichever
// creates it first holds the claim until its handle is closed.
BOOL CDeviceClaim::Take(int nDeviceType, int nDeviceIndex)
{
    if (m_hClaim != NULL)
        return FALSE;
    CString strName;
    strName.Format("%s%d.%d", HeartbeatTable::CLAIM_PREFIX, nDeviceType, nDeviceIndex);
    HANDLE hClaim = ::CreateMutexA(NULL, FALSE, strName);
    if (hClaim != NULL && ::GetLastError() == ERROR_ALREADY_EXISTS)
    {
        ::CloseHandle(hClaim);
        hClaim = NULL;
    }
    m_hClaim = hClaim;
    return m_hClaim != NULL;
}

void CDeviceClaim::Release()
{
    if (m_hClaim == NULL)
        return;
    ::CloseHandle(m_hClaim);
    m_hClaim = NULL;
}
