// AfxIsValidAddress.cpp - the framework's test of a memory range.
#include "afx/AfxIsValidAddress.h"

namespace
{
const DWORD READABLE = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY
    | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
const DWORD WRITABLE = PAGE_READWRITE | PAGE_WRITECOPY
    | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;

// A guard page faults on its first touch, so it counts as not accessible.
BOOL IsAccessible(const MEMORY_BASIC_INFORMATION& info, BOOL bReadWrite)
{
    if (info.State != MEM_COMMIT || (info.Protect & PAGE_GUARD) != 0)
        return FALSE;
    const DWORD dwNeeded = bReadWrite ? WRITABLE : READABLE;
    return (info.Protect & dwNeeded) != 0;
}
}

BOOL AfxIsValidAddress(const void* p, UINT nBytes, BOOL bReadWrite)
{
    if (p == NULL)
        return FALSE;
    const ULONG_PTR uStart = reinterpret_cast<ULONG_PTR>(p);
    const ULONG_PTR uEnd = uStart + nBytes;
    if (uEnd < uStart)
        return FALSE;   // the range wraps around the address space

    ULONG_PTR uNext = uStart;
    while (uNext < uEnd)
    {
        MEMORY_BASIC_INFORMATION info;
        ZeroMemory(&info, sizeof(info));
        if (::VirtualQuery(reinterpret_cast<LPCVOID>(uNext), &info, sizeof(info)) != sizeof(info))
            return FALSE;
        if (!IsAccessible(info, bReadWrite))
            return FALSE;
        const ULONG_PTR uRegionEnd = reinterpret_cast<ULONG_PTR>(info.BaseAddress) + info.RegionSize;
        if (uRegionEnd <= uNext)
            return FALSE;   // no progress: never loop on a broken answer
        uNext = uRegionEnd;
    }
    return TRUE;
}
