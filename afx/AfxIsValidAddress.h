// AfxIsValidAddress.h - the framework's test of a memory range.
#ifndef AFX_AFXISVALIDADDRESS_H
#define AFX_AFXISVALIDADDRESS_H

#include <windows.h>

// TRUE when every byte of [p, p + nBytes) lies in committed memory that can
// be read, and also written when bReadWrite is TRUE. A null address is never
// valid; an empty range at a non-null address is. The range is examined with
// VirtualQuery region by region, so nothing is touched and no access fault
// can be raised.
BOOL AfxIsValidAddress(const void* p, UINT nBytes, BOOL bReadWrite = TRUE);

#endif // AFX_AFXISVALIDADDRESS_H
