// CDeliveryResult.h - what the part of a delivery under the delivery mutex
// found out, for the launch decision after it.
//
// Holds: CDeliveryResult.
#ifndef APP_CDELIVERYRESULT_H
#define APP_CDELIVERYRESULT_H

#include "afx/CString.h"

class CDeliveryResult
{
public:
    CDeliveryResult() : m_nExitCode(0), m_bAlive(TRUE), m_bPosted(FALSE) {}
    virtual ~CDeliveryResult() {}

    int m_nExitCode;        // the run's exit code when the delivery ended before the mailbox
    BOOL m_bAlive;          // the application's heartbeat counter grew
    BOOL m_bPosted;         // the job is in a mailbox slot
    CString m_strCmdLine;   // the job in mailbox form
};

#endif // APP_CDELIVERYRESULT_H
