// CTokenizer.cpp - reentrant strtok.
#include "cmdline/CTokenizer.h"

#include <stddef.h>

CTokenizer::CTokenizer(char* pszText, char chSeparator)
    : m_pszNext(pszText), m_chSeparator(chSeparator)
{
}

CTokenizer::~CTokenizer()
{
}

char* CTokenizer::Next()
{
    if (m_pszNext == NULL)
        return NULL;
    char* pszToken = m_pszNext;
    while (*pszToken == m_chSeparator)
        ++pszToken;
    if (*pszToken == '\0')
    {
        m_pszNext = NULL;
        return NULL;
    }
    char* pszEnd = pszToken;
    while (*pszEnd != '\0' && *pszEnd != m_chSeparator)
        ++pszEnd;
    if (*pszEnd == '\0')
    {
        m_pszNext = NULL;
    }
    else
    {
        *pszEnd = '\0';
        m_pszNext = pszEnd + 1;
    }
    return pszToken;
}
