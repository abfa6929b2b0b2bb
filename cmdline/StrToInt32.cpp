// StrToInt32.cpp - clamped strtol.
#include "cmdline/StrToInt32.h"

#include <stdint.h>
#include <stdlib.h>

int StrToInt32(const char* psz, int nBase)
{
    if (psz == NULL)
        return 0;
    const long lValue = strtol(psz, NULL, nBase);
    if (lValue > INT32_MAX)
        return INT32_MAX;
    if (lValue < INT32_MIN)
        return INT32_MIN;
    return static_cast<int>(lValue);
}
