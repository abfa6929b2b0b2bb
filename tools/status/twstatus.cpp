// twstatus - shows an operator the machine's state in one look: which
// receiving applications are alive, what waits in the mailbox, and what
// Tickward's last runs did.
//
//   twstatus
//
// It only reads. Exit code: 0 the state was read and printed; 1 a part of
// it could not be read, or the heartbeat table stayed busy for longer than
// its bounded wait (one line on standard error says which); 2 wrong
// arguments.
#include "tools/status/CStatusReport.h"

#include <stdio.h>

int main(int argc, char* argv[])
{
    (void)argv;
    if (argc != 1)
    {
        fprintf(stderr, "usage: twstatus\n");
        return 2;
    }
    CStatusReport report;
    const BOOL bRead = report.PrintHeartbeats() && report.PrintMailboxes() && report.PrintJournal();
    fflush(stdout);
    if (bRead)
        return 0;
    fprintf(stderr, "%s\n", static_cast<LPCSTR>(report.m_strError));
    return 1;
}
