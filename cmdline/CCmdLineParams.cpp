// CCmdLineParams.cpp - the parsed timer command and its device list.
#include "cmdline/CCmdLineParams.h"

#include "cmdline/StrToInt32.h"

namespace
{
// A device list holds pairs of hexadecimal digits; each pair is read on its
// own, so a digit of the next pair never joins it.
int HexPair(const CString& strList, int nFirst)
{
    const char szPair[3] = { strList[nFirst], strList[nFirst + 1], '\0' };
    return StrToInt32(szPair, 16);
}
}

// Constructors

CCmdLineParams::CCmdLineParams()
    : m_nD(0), m_nFM(1), m_nTO(1), m_nSO(0), m_nEO(0)
{
}

CCmdLineParams::~CCmdLineParams()
{
}

// Attributes & Operations

int CCmdLineParams::GetDeviceCount()
{
    // The list is stored as found; a mailbox text carries it after a blank.
    m_strDevices.TrimLeft();
    m_strDevices.TrimRight();
    if (m_strDevices.GetLength() < 6)
        return -1;
    return HexPair(m_strDevices, 0);
}

int CCmdLineParams::GetDeviceType(int nEntry)
{
    return GetDevicePair(nEntry, 2);
}

int CCmdLineParams::GetDeviceIndex(int nEntry)
{
    return GetDevicePair(nEntry, 4);
}

CString CCmdLineParams::Describe()
{
    GetDeviceCount();   // trims the device list
    CString strText;
    strText.Format("P: %s, devices %s, File: \"%s\", Key: %d characters", static_cast<const char*>(m_strProduct),
                   static_cast<const char*>(m_strDevices), static_cast<const char*>(m_strFile), m_strKey.GetLength());
    return strText;
}

// Implementation

int CCmdLineParams::GetDevicePair(int nEntry, int nOffset)
{
    const int nCount = GetDeviceCount();
    if (m_strDevices.GetLength() != 4 * nCount + 2)
        return -1;
    // Only an entry that the list holds can be read; anything else would
    // read past its end.
    if (nEntry < 0 || nEntry >= nCount)
        return -1;
    return HexPair(m_strDevices, 4 * nEntry + nOffset);
}
