// sdkcheck - a receiving application's own allocation-failure handling with
// the Tickward SDK linked in: its new of a size no heap can give throws
// std::bad_alloc, which it catches. Exit code 0 when it did, 1 when the new
// succeeded; a new that ends the process instead fails the consumer test too.
#include "afx/CString.h"

#include <new>
#include <stdio.h>

namespace
{
// Read at run time, so that the compiler can neither reject nor drop the new.
volatile size_t g_nImpossible = static_cast<size_t>(-1) - 0xFFFF;
char* volatile g_pBlock = NULL;
}

int main()
{
    // A piece of the SDK, so that its libraries take part in the link.
    const CString strName("sdkcheck");
    try
    {
        g_pBlock = new char[g_nImpossible];
    }
    catch (const std::bad_alloc&)
    {
        printf("%s: new of an impossible size threw std::bad_alloc\n", static_cast<const char*>(strName));
        return 0;
    }
    delete[] g_pBlock;
    printf("%s: new of an impossible size succeeded\n", static_cast<const char*>(strName));
    return 1;
}
