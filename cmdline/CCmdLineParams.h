// CCmdLineParams.h - one timer command (a recording job for one receiving
// device), as parsed from the command line or from a mailbox slot.
//
// Holds: CCmdLineParams.
//
// The device list is a run of hexadecimal digit pairs: the entry count N,
// then per entry the device type and the device index; a well-formed list
// has exactly 4N+2 characters. Only entry 0 is ever used.
#ifndef CMDLINE_CCMDLINEPARAMS_H
#define CMDLINE_CCMDLINEPARAMS_H

#include "afx/CString.h"

class CCmdLineParams
{
public:
// Constructors
    CCmdLineParams();
    virtual ~CCmdLineParams();

// Attributes & Operations
    // Each accessor trims m_strDevices in place first; -1 means no valid value.
    int GetDeviceCount();
    int GetDeviceType(int nEntry);
    int GetDeviceIndex(int nEntry);
    // The job for an operator's eyes: product, devices and file, and of the
    // key only its length, since such texts are kept for months.
    CString Describe();

    int m_nD;               // after "D:"
    CString m_strProduct;   // after "P:", e.g. "_SEL"
    CString m_strAppPath;   // receiving application (command-line form only)
    CString m_strDevices;   // the device list exactly as its token was found
    CString m_strKey;       // after "Key:"
    CString m_strFile;      // after "File:", without its double quotes
    int m_nFM;
    int m_nTO;
    int m_nSO;
    int m_nEO;

// Implementation
private:
    int GetDevicePair(int nEntry, int nOffset);
};

#endif // CMDLINE_CCMDLINEPARAMS_H
