// ParseCmdLine.cpp - parser and composer of the timer command texts.
#include "cmdline/ParseCmdLine.h"

#include <stdlib.h>
#include <string.h>

#include "cmdline/CTokenizer.h"
#include "cmdline/StrToInt32.h"

namespace
{
enum EConversion
{
    convText,       // trimmed at both ends
    convFile,       // trimmed, then its enclosing double quotes removed
    convNumber      // decimal, clamped to 32 bits
};

struct STaggedField
{
    const char* pszTag;
    EConversion eConversion;
    CString CCmdLineParams::*pstrField;
    int CCmdLineParams::*pnField;
};

// The tagged tokens in the order in which they must follow the device list.
const STaggedField g_taggedFields[] =
{
    { "P:",    convText,   &CCmdLineParams::m_strProduct, NULL },
    { "D:",    convNumber, NULL, &CCmdLineParams::m_nD },
    { "Key:",  convText,   &CCmdLineParams::m_strKey, NULL },
    { "File:", convFile,   &CCmdLineParams::m_strFile, NULL },
    { "FM:",   convNumber, NULL, &CCmdLineParams::m_nFM },
    { "TO:",   convNumber, NULL, &CCmdLineParams::m_nTO },
    { "SO:",   convNumber, NULL, &CCmdLineParams::m_nSO },
    { "EO:",   convNumber, NULL, &CCmdLineParams::m_nEO },
};

void Trim(CString& str)
{
    str.TrimLeft();
    str.TrimRight();
}

// Each end loses one double quote on its own, so a path that lost its
// closing quote (or never had an opening one) still comes through.
void RemoveQuotes(CString& str)
{
    if (str.GetLength() > 0 && str[0] == '"')
        str.Delete(0, 1);
    const int nLength = str.GetLength();
    if (nLength > 0 && str[nLength - 1] == '"')
        str.Delete(nLength - 1, 1);
}

// The tag may stand anywhere in its token, and at least one character,
// of any kind, must follow it.
BOOL StoreTaggedValue(const char* pszToken, const STaggedField& field, CCmdLineParams& params)
{
    const char* pszTag = strstr(pszToken, field.pszTag);
    if (pszTag == NULL)
        return FALSE;
    const char* pszValue = pszTag + strlen(field.pszTag);
    if (*pszValue == '\0')
        return FALSE;
    if (field.eConversion == convNumber)
    {
        params.*field.pnField = StrToInt32(pszValue, 10);
        return TRUE;
    }
    CString strValue(pszValue);
    Trim(strValue);
    if (field.eConversion == convFile)
        RemoveQuotes(strValue);
    params.*field.pstrField = strValue;
    return TRUE;
}

BOOL ParseTokens(char* pszCopy, CCmdLineParams& params, BOOL bWithAppPath, BOOL bDevicesOnly)
{
    CTokenizer tokens(pszCopy, ';');
    const char* pszToken = tokens.Next();
    if (bWithAppPath && !bDevicesOnly)
    {
        if (pszToken == NULL)
            return FALSE;
        params.m_strAppPath = pszToken;
        Trim(params.m_strAppPath);
        RemoveQuotes(params.m_strAppPath);
        pszToken = tokens.Next();
    }
    if (pszToken == NULL)
        return FALSE;
    // Kept as found; the device accessors trim it when they read it.
    params.m_strDevices = pszToken;
    if (bDevicesOnly)
        return TRUE;
    for (size_t i = 0; i < sizeof(g_taggedFields) / sizeof(g_taggedFields[0]); ++i)
    {
        pszToken = tokens.Next();
        if (pszToken == NULL)
            return FALSE;
        if (!StoreTaggedValue(pszToken, g_taggedFields[i], params))
            return FALSE;
    }
    // Whatever follows "EO:" belongs to no field.
    return TRUE;
}
}

BOOL ParseCmdLine(const char* pszText, CCmdLineParams* pParams, BOOL bWithAppPath, BOOL bDevicesOnly)
{
    if (pszText == NULL || pParams == NULL)
        return FALSE;
    // The tokenizer terminates tokens in place: it works on a private copy,
    // so that the caller's text (a mailbox slot, the program's command
    // buffer) stays as it was.
    const size_t nSize = strlen(pszText) + 1;
    char* pszCopy = static_cast<char*>(calloc(nSize, 1));
    if (pszCopy == NULL)
        return FALSE;
    memcpy(pszCopy, pszText, nSize);
    const BOOL bParsed = ParseTokens(pszCopy, *pParams, bWithAppPath, bDevicesOnly);
    free(pszCopy);
    return bParsed;
}

BOOL BuildRegistryCmdLine(const CCmdLineParams* pParams, CString& strCmdLine)
{
    if (pParams == NULL)
        return FALSE;
    // The leading blank and the blanks after the tags let an empty value
    // parse as empty; the blank after the closing quote is trimmed away.
    CString strNumbers;
    strNumbers.Format(";D: %d", pParams->m_nD);
    CString strTail;
    strTail.Format(" ;FM: %i;TO: %i;SO: %i;EO: %i",
        pParams->m_nFM, pParams->m_nTO, pParams->m_nSO, pParams->m_nEO);
    strCmdLine = " " + pParams->m_strDevices
        + ";P: " + pParams->m_strProduct
        + strNumbers
        + ";Key: " + pParams->m_strKey
        + ";File: \"" + pParams->m_strFile + "\""
        + strTail;
    return TRUE;
}
