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
    const char* pszNote;    // the journal's last fact of the run, NULL when a stage noted it
};

typedef CDeliveryOutcome O;
const int DONE = COrvaneApp::exitDone;
const int UNUSABLE = COrvaneApp::exitUnusable;
const int NOT_DELIVERED = COrvaneApp::exitNotDelivered;

// The first row that matches decides. A job reached the application when
// the application was started with it on its command line, or when it is in
// the mailbox of an application that beats; a job in the mailbox of a dead
// application that could not be started has no reader.
const SOutcomeRow OUTCOMES[] = {
    // liveness           post             launch            exit           journal
    { O::livenessUnusable, ANY,            ANY,              UNUSABLE,      NULL },
    { O::livenessFailed,   ANY,            ANY,              NOT_DELIVERED, NULL },
    { ANY,                 O::postNoKey,   ANY,              NOT_DELIVERED, NULL },
    { ANY,                 ANY,            O::launchStarted, DONE,          NULL },   // "started"
    { ANY,                 ANY,            O::launchFailed,  NOT_DELIVERED, NULL },   // "start failed ..."
    { O::livenessAlive,    O::postWritten, ANY,              DONE,          "not started" },
    { O::livenessAlive,    O::postWaiting, ANY,              DONE,          "not started" },
    { O::livenessStarted,  O::postWritten, ANY,              DONE,          "not started again" },
    { O::livenessStarted,  O::postWaiting, ANY,              DONE,          "not started again" },
    { O::livenessAlive,    ANY,            ANY,              NOT_DELIVERED, "not started" },   // in no slot
    { ANY,                 ANY,            ANY,              NOT_DELIVERED, NULL },
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

int CDeliveryOutcome::Decide(const char*& pszNote) const
{
    const int nRows = static_cast<int>(sizeof(OUTCOMES) / sizeof(OUTCOMES[0]));
    for (int i = 0; i < nRows; ++i)
    {
        const SOutcomeRow& row = OUTCOMES[i];
        if (Matches(row.nLiveness, m_nLiveness) && Matches(row.nPost, m_nPost) && Matches(row.nLaunch, m_nLaunch))
        {
            pszNote = row.pszNote;
            return row.nExitCode;
        }
    }
    pszNote = NULL;
    return NOT_DELIVERED;
}
