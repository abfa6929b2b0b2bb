// CString.cpp - the framework's reference-counted 8-bit string.
#include "afx/CString.h"

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace
{
// The one empty block every empty string points at; never freed, never written.
struct CEmptyString
{
    CStringData header;
    char chNil;
};
CEmptyString g_emptyString = { { -1, 0, 0 }, 0 };

char* EmptyData() { return &g_emptyString.chNil; }

long AtomicIncrement(long* p) { return __atomic_add_fetch(p, 1, __ATOMIC_SEQ_CST); }
long AtomicDecrement(long* p) { return __atomic_sub_fetch(p, 1, __ATOMIC_SEQ_CST); }
}

// Constructors

CString::CString()
{
    Init();
}

CString::CString(const CString& stringSrc)
{
    if (stringSrc.GetData()->nRefs >= 0)
    {
        m_pchData = stringSrc.m_pchData;
        AtomicIncrement(&GetData()->nRefs);
    }
    else
    {
        Init();
        *this = stringSrc.m_pchData;
    }
}

CString::CString(const char* psz)
{
    Init();
    AssignCopy(SafeStrlen(psz), psz);
}

CString::CString(const char* pch, int nLength)
{
    Init();
    if (pch != NULL && nLength > 0)
        AssignCopy(nLength, pch);
}

CString::CString(char ch, int nRepeat)
{
    Init();
    if (nRepeat > 0)
    {
        AllocBuffer(nRepeat);
        memset(m_pchData, ch, nRepeat);
    }
}

CString::~CString()
{
    Release();
}

// Attributes & Operations

void CString::Empty()
{
    Release();
}

void CString::SetAt(int nIndex, char ch)
{
    CopyBeforeWrite();
    m_pchData[nIndex] = ch;
}

const CString& CString::operator=(const CString& stringSrc)
{
    if (m_pchData == stringSrc.m_pchData)
        return *this;
    // Only a locked buffer is copied; the shared empty block, locked as it
    // is, simply gives way to the source's buffer.
    if ((GetData()->nRefs < 0 && GetData() != &g_emptyString.header) || stringSrc.GetData()->nRefs < 0)
    {
        AssignCopy(stringSrc.GetLength(), stringSrc.m_pchData);
    }
    else
    {
        Release();
        m_pchData = stringSrc.m_pchData;
        AtomicIncrement(&GetData()->nRefs);
    }
    return *this;
}

const CString& CString::operator=(const char* psz)
{
    AssignCopy(SafeStrlen(psz), psz);
    return *this;
}

const CString& CString::operator=(char ch)
{
    AssignCopy(1, &ch);
    return *this;
}

const CString& CString::operator+=(const CString& string)
{
    ConcatInPlace(string.GetLength(), string.m_pchData);
    return *this;
}

const CString& CString::operator+=(const char* psz)
{
    ConcatInPlace(SafeStrlen(psz), psz);
    return *this;
}

const CString& CString::operator+=(char ch)
{
    ConcatInPlace(1, &ch);
    return *this;
}

CString operator+(const CString& string1, const CString& string2)
{
    CString s;
    s.ConcatCopy(string1.GetLength(), string1.m_pchData, string2.GetLength(), string2.m_pchData);
    return s;
}

CString operator+(const CString& string, const char* psz)
{
    CString s;
    s.ConcatCopy(string.GetLength(), string.m_pchData, CString::SafeStrlen(psz), psz);
    return s;
}

CString operator+(const char* psz, const CString& string)
{
    CString s;
    s.ConcatCopy(CString::SafeStrlen(psz), psz, string.GetLength(), string.m_pchData);
    return s;
}

CString operator+(const CString& string, char ch)
{
    CString s;
    s.ConcatCopy(string.GetLength(), string.m_pchData, 1, &ch);
    return s;
}

int CString::Compare(const char* psz) const
{
    return strcmp(m_pchData, psz != NULL ? psz : "");
}

CString CString::Mid(int nFirst) const
{
    return Mid(nFirst, GetLength());
}

// Out-of-range arguments are clamped, never refused.
CString CString::Mid(int nFirst, int nCount) const
{
    const int nLength = GetLength();
    if (nFirst < 0)
        nFirst = 0;
    if (nCount < 0)
        nCount = 0;
    if (nFirst > nLength)
        nFirst = nLength;
    if (nCount > nLength - nFirst)
        nCount = nLength - nFirst;
    if (nFirst == 0 && nCount == nLength)
        return *this;
    return CString(m_pchData + nFirst, nCount);
}

CString CString::Left(int nCount) const
{
    return Mid(0, nCount);
}

CString CString::Right(int nCount) const
{
    const int nLength = GetLength();
    if (nCount < 0)
        nCount = 0;
    if (nCount > nLength)
        nCount = nLength;
    return Mid(nLength - nCount, nCount);
}

BOOL CString::IsWhiteSpace(char ch)
{
    return ch == ' ' || (ch >= '\t' && ch <= '\r');
}

void CString::TrimLeft()
{
    const char* p = m_pchData;
    while (*p != '\0' && IsWhiteSpace(*p))
        ++p;
    const int nSkip = static_cast<int>(p - m_pchData);
    if (nSkip > 0)
        Delete(0, nSkip);
}

void CString::TrimRight()
{
    int nLength = GetLength();
    while (nLength > 0 && IsWhiteSpace(m_pchData[nLength - 1]))
        --nLength;
    if (nLength < GetLength())
    {
        CopyBeforeWrite();
        m_pchData[nLength] = '\0';
        GetData()->nDataLength = nLength;
    }
}

int CString::Find(char ch) const
{
    const char* p = strchr(m_pchData, ch);
    return (p == NULL || ch == '\0') ? -1 : static_cast<int>(p - m_pchData);
}

int CString::ReverseFind(char ch) const
{
    const char* p = strrchr(m_pchData, ch);
    return (p == NULL || ch == '\0') ? -1 : static_cast<int>(p - m_pchData);
}

int CString::Find(const char* pszSub) const
{
    return Find(pszSub, 0);
}

int CString::Find(const char* pszSub, int nStart) const
{
    if (pszSub == NULL || nStart < 0 || nStart > GetLength())
        return -1;
    const char* p = strstr(m_pchData + nStart, pszSub);
    return p == NULL ? -1 : static_cast<int>(p - m_pchData);
}

// Returns the new length; indexes and counts beyond the text are clamped.
int CString::Delete(int nIndex, int nCount)
{
    const int nLength = GetLength();
    if (nIndex < 0)
        nIndex = 0;
    if (nCount > 0 && nIndex < nLength)
    {
        if (nCount > nLength - nIndex)
            nCount = nLength - nIndex;
        CopyBeforeWrite();
        const int nTail = nLength - (nIndex + nCount);
        memmove(m_pchData + nIndex, m_pchData + nIndex + nCount, nTail + 1);
        GetData()->nDataLength = nLength - nCount;
    }
    return GetLength();
}

void CString::Format(const char* pszFormat, ...)
{
    va_list argList;
    va_start(argList, pszFormat);
    FormatV(pszFormat, argList);
    va_end(argList);
}

void CString::FormatV(const char* pszFormat, va_list argList)
{
    va_list argMeasure;
    va_copy(argMeasure, argList);
    const int nLength = vsnprintf(NULL, 0, pszFormat, argMeasure);
    va_end(argMeasure);
    if (nLength <= 0)
    {
        Empty();
        return;
    }
    char* pszBuffer = GetBuffer(nLength);
    vsnprintf(pszBuffer, static_cast<size_t>(nLength) + 1, pszFormat, argList);
    ReleaseBuffer(nLength);
}

// Hands out a private buffer of at least nMinBufLength characters plus the
// terminating zero, keeping the current text.
char* CString::GetBuffer(int nMinBufLength)
{
    if (nMinBufLength < 0)
        nMinBufLength = 0;
    if (GetData()->nRefs > 1 || nMinBufLength > GetData()->nAllocLength)
    {
        CStringData* pOldData = GetData();
        const int nOldLength = pOldData->nDataLength;
        if (nMinBufLength < nOldLength)
            nMinBufLength = nOldLength;
        AllocBuffer(nMinBufLength);
        memcpy(m_pchData, pOldData->data(), nOldLength + 1);
        GetData()->nDataLength = nOldLength;
        Release(pOldData);
    }
    return m_pchData;
}

// Measures the text again when nNewLength is -1; never looks past the buffer,
// so a buffer that was filled without a terminating zero is cut at its end.
void CString::ReleaseBuffer(int nNewLength)
{
    CopyBeforeWrite();
    if (GetData()->nRefs < 0)
        return;     // the shared empty block stays as it is
    const int nAlloc = GetData()->nAllocLength;
    if (nNewLength < 0)
    {
        const void* pZero = memchr(m_pchData, '\0', nAlloc);
        nNewLength = pZero != NULL ? static_cast<int>(static_cast<const char*>(pZero) - m_pchData) : nAlloc;
    }
    if (nNewLength > nAlloc)
        nNewLength = nAlloc;
    GetData()->nDataLength = nNewLength;
    m_pchData[nNewLength] = '\0';
}

char* CString::GetBufferSetLength(int nNewLength)
{
    GetBuffer(nNewLength);
    ReleaseBuffer(nNewLength < 0 ? 0 : nNewLength);
    return m_pchData;
}

// Implementation

void CString::Init()
{
    m_pchData = EmptyData();
}

// Makes a fresh private block for nLen characters; the old block is the
// caller's to release.
void CString::AllocBuffer(int nLen)
{
    if (nLen == 0)
    {
        Init();
        return;
    }
    if (nLen < 0 || static_cast<unsigned>(nLen) > INT_MAX - sizeof(CStringData) - 1)
        abort();
    CStringData* pData = static_cast<CStringData*>(malloc(sizeof(CStringData) + nLen + 1));
    if (pData == NULL)
        abort();
    pData->nRefs = 1;
    pData->nDataLength = nLen;
    pData->nAllocLength = nLen;
    pData->data()[nLen] = '\0';
    m_pchData = pData->data();
}

// The source may lie inside the current block (an assignment from a part of
// this string), so the old block is released only after the copy.
void CString::AssignCopy(int nSrcLen, const char* pszSrcData)
{
    CStringData* pOldData = GetData();
    if (nSrcLen == 0)
    {
        Release();
        return;
    }
    if (pOldData->nRefs != 1 || nSrcLen > pOldData->nAllocLength)
    {
        AllocBuffer(nSrcLen);
        memcpy(m_pchData, pszSrcData, nSrcLen);
        Release(pOldData);
    }
    else
    {
        memmove(m_pchData, pszSrcData, nSrcLen);
        pOldData->nDataLength = nSrcLen;
        m_pchData[nSrcLen] = '\0';
    }
}

void CString::ConcatCopy(int nSrc1Len, const char* pszSrc1Data, int nSrc2Len, const char* pszSrc2Data)
{
    if (nSrc2Len > INT_MAX - nSrc1Len)
        abort();
    const int nNewLen = nSrc1Len + nSrc2Len;
    if (nNewLen == 0)
        return;
    AllocBuffer(nNewLen);
    memcpy(m_pchData, pszSrc1Data, nSrc1Len);
    memcpy(m_pchData + nSrc1Len, pszSrc2Data, nSrc2Len);
}

void CString::ConcatInPlace(int nSrcLen, const char* pszSrcData)
{
    if (nSrcLen == 0)
        return;
    CStringData* pData = GetData();
    if (pData->nRefs > 1 || pData->nDataLength + nSrcLen > pData->nAllocLength)
    {
        // Keep the source alive: it may be this very string.
        CStringData* pOldData = pData;
        ConcatCopy(pOldData->nDataLength, pOldData->data(), nSrcLen, pszSrcData);
        Release(pOldData);
    }
    else
    {
        memcpy(m_pchData + pData->nDataLength, pszSrcData, nSrcLen);
        pData->nDataLength += nSrcLen;
        m_pchData[pData->nDataLength] = '\0';
    }
}

void CString::CopyBeforeWrite()
{
    if (GetData()->nRefs > 1)
    {
        CStringData* pData = GetData();
        AllocBuffer(pData->nDataLength);
        memcpy(m_pchData, pData->data(), pData->nDataLength + 1);
        Release(pData);
    }
}

void CString::Release()
{
    Release(GetData());
    Init();
}

void CString::Release(CStringData* pData)
{
    if (pData->nRefs >= 0 && AtomicDecrement(&pData->nRefs) <= 0)
        free(pData);
}

int CString::SafeStrlen(const char* psz)
{
    if (psz == NULL)
        return 0;
    const size_t nLength = strlen(psz);
    if (nLength > static_cast<size_t>(INT_MAX) - sizeof(CStringData) - 1)
        abort();
    return static_cast<int>(nLength);
}

// Comparisons

bool operator==(const CString& s1, const CString& s2) { return s1.Compare(s2) == 0; }
bool operator==(const CString& s1, const char* s2) { return s1.Compare(s2) == 0; }
bool operator==(const char* s1, const CString& s2) { return s2.Compare(s1) == 0; }
bool operator!=(const CString& s1, const CString& s2) { return s1.Compare(s2) != 0; }
bool operator!=(const CString& s1, const char* s2) { return s1.Compare(s2) != 0; }
bool operator!=(const char* s1, const CString& s2) { return s2.Compare(s1) != 0; }
bool operator<(const CString& s1, const CString& s2) { return s1.Compare(s2) < 0; }
bool operator>(const CString& s1, const CString& s2) { return s1.Compare(s2) > 0; }
