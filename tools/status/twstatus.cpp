// twstatus - shows an operator the machine's state in one look: which
// receiving applications are alive, what waits in the mailbox, and what
// Tickward's last runs did.
//
//   twstatus
//
// It only reads. Every part is shown, also when another could not be read.
// Exit code: 0 the state was read and printed; 1 a part of it could not be
// read, or the heartbeat table stayed busy for longer than its bounded wait
// (a line a part on standard error, at the end, says which, with the
// Windows error and what to try); 2 wrong arguments.
#include "tools/ProgramOptions.h"
#include "tools/status/CStatusReport.h"

#include <stdio.h>

namespace
{
const char USAGE[] =
    "usage: twstatus\n"
    "Shows in one look which receiving applications are alive (by their heartbeat),\n"
    "which recordings they declared, which power commands wait and what for, which\n"
    "of Tickward's tasks start within a day, what waits in the mailbox, and what\n"
    "Tickward's last 20 runs did. It only reads.\n"
    "Exit code: 0 all shown; 1 a part could not be read (the reason is on standard\n"
    "error); 2 wrong arguments.\n"
    "Example: twstatus > state.txt\n";
}

int main(int argc, char* argv[])
{
    if (argc == 2 && ProgramOptions::Answer(argv[1], "twstatus", USAGE))
        return 0;
    if (argc != 1)
    {
        fputs(USAGE, stderr);
        return 2;
    }
    CStatusReport report;
    // Each part is shown whatever became of the one before: a busy table
    // must not hide the mailbox and the journal.
    const BOOL bHeartbeats = report.PrintHeartbeats();
    const BOOL bRecordings = report.PrintRecordings();
    const BOOL bWaiting = report.PrintWaitingRuns();
    const BOOL bSchedule = report.PrintSchedule();
    const BOOL bMailboxes = report.PrintMailboxes();
    const BOOL bJournal = report.PrintJournal();
    fflush(stdout);
    if (bHeartbeats && bRecordings && bWaiting && bSchedule && bMailboxes && bJournal)
        return 0;
    fprintf(stderr, "%s\n", static_cast<LPCSTR>(report.m_strError));
    return 1;
}
