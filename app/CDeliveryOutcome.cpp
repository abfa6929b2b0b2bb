// CDeliveryOutcome.cpp - what a delivery found and did.
#include "app/CDeliveryOutcome.h"

#include "app/COrvaneApp.h"

namespace
{
const int ANY = -1;

struct SOutcomeRow
{
    int nLiveness;
    int nPost;
    int nLaunch;
    int nExitCode;
};

// The first row that matches decides. A job reached the application when
// the application was started with it on its command line, or when it is in
// the mailbox of an application that beats; a job in the mailbox of a dead
// application that could not be started has no reader.
const SOutcomeRow OUTCOMES[] = {
    // liveness                          post                          launch                           exit
    { CDeliveryOutcome::livenessUnusable, ANY,                         ANY,                             COrvaneApp::exitUnusable },
    { CDeliveryOutcome::livenessFailed,   ANY,                         ANY,                             COrvaneApp::exitNotDelivered },
    { ANY,                                CDeliveryOutcome::postNoKey, ANY,                             COrvaneApp::exitNotDelivered },
    { ANY,                                ANY,                         CDeliveryOutcome::launchStarted, COrvaneApp::exitDone },
    { ANY,                                ANY,                         CDeliveryOutcome::launchFailed,  COrvaneApp::exitNotDelivered },
    { CDeliveryOutcome::livenessAlive,    CDeliveryOutcome::postWritten, ANY,                           COrvaneApp::exitDone },
    { CDeliveryOutcome::livenessAlive,    CDeliveryOutcome::postWaiting, ANY,                           COrvaneApp::exitDone },
    { CDeliveryOutcome::livenessStarted,  CDeliveryOutcome::postWritten, ANY,                           COrvaneApp::exitDone },
    { CDeliveryOutcome::livenessStarted,  CDeliveryOutcome::postWaiting, ANY,                           COrvaneApp::exitDone },
    { ANY,                                ANY,                         ANY,                             COrvaneApp::exitNotDelivered },
};

BOOL Matches(int nRow, int nValue)
{
    return nRow == ANY || nRow == nValue;
}
}

CDeliveryOutcome::CDeliveryOutcome()
    : m_nLiveness(livenessNotTested), m_nPost(postNotTried), m_nLaunch(launchNone)
{
}

CDeliveryOutcome::~CDeliveryOutcome()
{
}

int CDeliveryOutcome::GetExitCode() const
{
    const int nRows = static_cast<int>(sizeof(OUTCOMES) / sizeof(OUTCOMES[0]));
    for (int i = 0; i < nRows; ++i)
    {
        const SOutcomeRow& row = OUTCOMES[i];
        if (Matches(row.nLiveness, m_nLiveness) && Matches(row.nPost, m_nPost) && Matches(row.nLaunch, m_nLaunch))
            return row.nExitCode;
    }
    return COrvaneApp::exitNotDelivered;
}
