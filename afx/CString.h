// CString.h - the framework's reference-counted 8-bit string.
//
// Holds: CString.
//
// The object is one pointer wide. A small header block (reference count,
// length, allocated length) sits right before the characters, so the
// conversion to const char* costs nothing and a copy is one interlocked
// increment. Every mutator first makes the buffer private (copy before
// write). The layer stays free of windows.h so that the text-format code
// built on it also compiles natively.
//
// Failed allocation: the framework's code raises no exceptions; a string
// that cannot get memory ends the process at once (abort), as a program
// that can no longer hold its own command text has nothing sound left to do.
#ifndef AFX_CSTRING_H
#define AFX_CSTRING_H

#include <stdarg.h>
#include "afx/afxtypes.h"

struct CStringData
{
    long nRefs;         // -1 for the shared, locked empty block
    int nDataLength;    // characters, without the terminating zero
    int nAllocLength;   // characters that fit, without the terminating zero
    char* data() { return reinterpret_cast<char*>(this + 1); }
};

class CString
{
public:
// Constructors
    CString();
    CString(const CString& stringSrc);
    CString(const char* psz);
    CString(const char* pch, int nLength);
    CString(char ch, int nRepeat = 1);
    ~CString();

// Attributes & Operations
    int GetLength() const { return GetData()->nDataLength; }
    BOOL IsEmpty() const { return GetData()->nDataLength == 0; }
    void Empty();
    char GetAt(int nIndex) const { return m_pchData[nIndex]; }
    char operator[](int nIndex) const { return m_pchData[nIndex]; }
    void SetAt(int nIndex, char ch);
    operator const char*() const { return m_pchData; }

    const CString& operator=(const CString& stringSrc);
    const CString& operator=(const char* psz);
    const CString& operator=(char ch);
    const CString& operator+=(const CString& string);
    const CString& operator+=(const char* psz);
    const CString& operator+=(char ch);
    friend CString operator+(const CString& string1, const CString& string2);
    friend CString operator+(const CString& string, const char* psz);
    friend CString operator+(const char* psz, const CString& string);
    friend CString operator+(const CString& string, char ch);

    // Byte-wise, case-sensitive: <0, 0 or >0 as strcmp.
    int Compare(const char* psz) const;

    CString Mid(int nFirst) const;
    CString Mid(int nFirst, int nCount) const;
    CString Left(int nCount) const;
    CString Right(int nCount) const;

    // White space here is blank, tab, line feed, vertical tab, form feed and
    // carriage return (codes 32 and 9 to 13), independent of any locale.
    void TrimLeft();
    void TrimRight();
    static BOOL IsWhiteSpace(char ch);

    int Find(char ch) const;
    int Find(const char* pszSub) const;
    int Find(const char* pszSub, int nStart) const;
    int ReverseFind(char ch) const;
    int Delete(int nIndex, int nCount = 1);

    void Format(const char* pszFormat, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    void FormatV(const char* pszFormat, va_list argList);

    char* GetBuffer(int nMinBufLength);
    void ReleaseBuffer(int nNewLength = -1);
    char* GetBufferSetLength(int nNewLength);

// Implementation
private:
    char* m_pchData;

    CStringData* GetData() const { return reinterpret_cast<CStringData*>(m_pchData) - 1; }
    void Init();
    void AllocBuffer(int nLen);
    void AssignCopy(int nSrcLen, const char* pszSrcData);
    void ConcatCopy(int nSrc1Len, const char* pszSrc1Data, int nSrc2Len, const char* pszSrc2Data);
    void ConcatInPlace(int nSrcLen, const char* pszSrcData);
    void CopyBeforeWrite();
    void Release();
    static void Release(CStringData* pData);
    static int SafeStrlen(const char* psz);
};

// Comparisons are byte-wise and case-sensitive.
bool operator==(const CString& s1, const CString& s2);
bool operator==(const CString& s1, const char* s2);
bool operator==(const char* s1, const CString& s2);
bool operator!=(const CString& s1, const CString& s2);
bool operator!=(const CString& s1, const char* s2);
bool operator!=(const char* s1, const CString& s2);
bool operator<(const CString& s1, const CString& s2);
bool operator>(const CString& s1, const CString& s2);

#endif // AFX_CSTRING_H
