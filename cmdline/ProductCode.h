// ProductCode.h - the product codes of timer commands, as Tickward and every
// receiving application classify them.
//
// Holds: the namespace ProductCode. "_SEL" is supported: it has a heartbeat
// table and a mailbox. "_KVE", "_LOR", "_MIT", "_NAR" and "NAR2" are known
// products without either yet; any other code is unknown. Codes are
// compared byte for byte, the known ones first, in this order.
#ifndef CMDLINE_PRODUCTCODE_H
#define CMDLINE_PRODUCTCODE_H

#include <string.h>

namespace ProductCode
{
enum Class
{
    classUnknown,
    classWithoutMailbox,    // known, but nothing to deliver to yet
    classSupported
};

const char SUPPORTED[] = "_SEL";

inline Class Classify(const char* pszProduct)
{
    static const char* const s_aKnown[] = { "_KVE", "_LOR", "_MIT", "_NAR", "NAR2" };
    if (pszProduct == NULL)
        return classUnknown;
    for (size_t i = 0; i < sizeof(s_aKnown) / sizeof(s_aKnown[0]); ++i)
    {
        if (strcmp(pszProduct, s_aKnown[i]) == 0)
            return classWithoutMailbox;
    }
    return strcmp(pszProduct, SUPPORTED) == 0 ? classSupported : classUnknown;
}
}

#endif // CMDLINE_PRODUCTCODE_H
