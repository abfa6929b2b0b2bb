// CDeliveryOutcome.h - what a delivery found and did, and the run's exit
// code that follows from it.
//
// Holds: CDeliveryOutcome. Each stage of a delivery sets its own field once:
// the liveness test, the post into the mailbox, the launch of the
// application. Decide reads the three together in one table.
#ifndef APP_CDELIVERYOUTCOME_H
#define APP_CDELIVERYOUTCOME_H

#include "afx/CString.h"

class CDeliveryOutcome
{
public:
    enum Liveness
    {
        livenessNotTested,
        livenessUnusable,   // a product without a table, an invalid device
        livenessFailed,     // the counter could not be read
        livenessAlive,
        livenessStarting,   // not alive, but the application started for the device still starts
        livenessStarted,    // ... and its heartbeat came within the start-up window
        livenessDead
    };
    enum Post
    {
        postNotTried,
        postNoKey,
        postWritten,
        postWaiting,        // the same job already waits in a slot
        postNoSlot          // full, too long, or the write failed
    };
    enum Launch
    {
        launchNone,
        launchStarted,
        launchFailed
    };

    CDeliveryOutcome();
    virtual ~CDeliveryOutcome();

    BOOL IsPosted() const { return m_nPost == postWritten || m_nPost == postWaiting; }
    // The run's exit code (COrvaneApp::ExitCode), and the journal's last
    // fact of the run when no stage has noted one (NULL then).
    int Decide(const char*& pszNote) const;

    int m_nLiveness;
    int m_nPost;
    int m_nLaunch;
    CString m_strCmdLine;   // the job in mailbox form
};

#endif // APP_CDELIVERYOUTCOME_H
