// CCmdLineProcess.cpp - the command mailbox reader.
#include "mailbox/CCmdLineProcess.h"

#include "afx/AfxMessageBox.h"

namespace
{
// Products that are known but have no mailbox yet, in the order in which
// they are compared.
const char* const UNSUPPORTED_PRODUCTS[] = { "_KVE", "_LOR", "_MIT", "_NAR", "NAR2" };
const char SUPPORTED_PRODUCT[] = "_SEL";
const char SUPPORTED_KEY[] = "SOFTWARE\\Varenwick\\Korvix\\CmdLine";
}

BOOL CCmdLineProcess::GetRegistryKey(const CString& strProduct, CString& strKey)
{
    strKey.Empty();
    for (size_t i = 0; i < sizeof(UNSUPPORTED_PRODUCTS) / sizeof(UNSUPPORTED_PRODUCTS[0]); ++i)
    {
        if (strProduct == UNSUPPORTED_PRODUCTS[i])
        {
            AfxMessageBox("CCmdLineProcess::GetRegistryKey() Hier fehlt noch was!", MB_OK);
            return FALSE;
        }
    }
    if (strProduct == SUPPORTED_PRODUCT)
    {
        strKey = SUPPORTED_KEY;
        return TRUE;
    }
    AfxMessageBox("CCmdLineProcess::GetRegistryKey() Unknow Product!", MB_OK);
    return FALSE;
}
