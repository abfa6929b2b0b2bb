// AfxNew.cpp - the operator new and delete of Tickward's own programs.
//
// The framework's code raises no exceptions, so a failed allocation cannot be
// thrown either: it ends the process, as a failed CString allocation does.
// Replacing the runtime's throwing versions also keeps its exception and
// name-demangling machinery out of the executable. Linked into the shipped
// programs only, never into the SDK: a receiving application that handles
// std::bad_alloc must keep getting it.
#include <new>
#include <stdlib.h>

namespace
{
void* Allocate(size_t nSize)
{
    void* p = malloc(nSize != 0 ? nSize : 1);
    if (p == NULL)
        abort();
    return p;
}
}

void* operator new(size_t nSize)
{
    return Allocate(nSize);
}

void* operator new[](size_t nSize)
{
    return Allocate(nSize);
}

void* operator new(size_t nSize, const std::nothrow_t&) noexcept
{
    return malloc(nSize != 0 ? nSize : 1);
}

void* operator new[](size_t nSize, const std::nothrow_t&) noexcept
{
    return malloc(nSize != 0 ? nSize : 1);
}

void operator delete(void* p) noexcept
{
    free(p);
}

void operator delete[](void* p) noexcept
{
    free(p);
}

void operator delete(void* p, size_t) noexcept
{
    free(p);
}

void operator delete[](void* p, size_t) noexcept
{
    free(p);
}
