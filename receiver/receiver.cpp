// receiver - an example receiving application, written the way a real one
// uses Tickward's code base: it keeps its heartbeat counter growing in the
// shared table, runs the mailbox reader on a worker thread, and handles the
// recording jobs that reach it, from its own command line (when Tickward
// started it) and through the mailbox. Here "handling" a job means printing
// all its fields, to standard output and to "<exe path>.log".
//
//   receiver [--type N] [--index N]        run until stopped (Ctrl+C or --stop)
//   receiver --stop [--type N] [--index N] ask the running receiver to stop
//   receiver <job in mailbox form>         as Tickward starts it
//   receiver --pause MS ...                the pause after each job, for tests
//                                          (a real application pauses 10 s)
//
// The device is the one given with --type and --index; else, when started
// with a job, the job's device (Tickward starts it without options); else
// type 1, index 2. A job that arrives both on the command line and through
// the mailbox (Tickward sends both when it had to start the application) is
// handled once.
#include "receiver/CReceiver.h"

#include "cmdline/CCmdLineParams.h"
#include "cmdline/ParseCmdLine.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace
{
CReceiver* g_pReceiver = NULL;

BOOL WINAPI OnConsoleCtrl(DWORD /*dwCtrlType*/)
{
    if (g_pReceiver != NULL)
        g_pReceiver->RequestStop();
    return TRUE;
}

const int NOT_GIVEN = -1;
const int DEFAULT_TYPE = 1;
const int DEFAULT_INDEX = 2;

struct SOptions
{
    int nType;
    int nIndex;
    DWORD dwJobPause;
    BOOL bStop;
};

// Reads "--type N", "--index N", "--pause MS" and "--stop" from the front of
// the command tail; whatever follows them is a job.
LPCSTR ReadOptions(LPCSTR pszTail, SOptions& options)
{
    for (;;)
    {
        while (*pszTail == ' ' || *pszTail == '\t')
            ++pszTail;
        if (strncmp(pszTail, "--stop", 6) == 0)
        {
            options.bStop = TRUE;
            pszTail += 6;
        }
        else if (strncmp(pszTail, "--type ", 7) == 0)
        {
            options.nType = static_cast<int>(strtol(pszTail + 7, const_cast<char**>(&pszTail), 0));
        }
        else if (strncmp(pszTail, "--index ", 8) == 0)
        {
            options.nIndex = static_cast<int>(strtol(pszTail + 8, const_cast<char**>(&pszTail), 0));
        }
        else if (strncmp(pszTail, "--pause ", 8) == 0)
        {
            options.dwJobPause = strtoul(pszTail + 8, const_cast<char**>(&pszTail), 0);
        }
        else
        {
            return pszTail;
        }
    }
}

// Fills in what the options left open: from the first device of the job
// (read as the reader reads it), then the defaults.
void ChooseDevice(LPCSTR pszJob, SOptions& options)
{
    CCmdLineParams params;
    if (*pszJob != '\0' && ParseCmdLine(pszJob, &params, FALSE, TRUE)
        && params.GetDeviceType(0) >= 0 && params.GetDeviceIndex(0) >= 0)
    {
        if (options.nType == NOT_GIVEN)
            options.nType = params.GetDeviceType(0);
        if (options.nIndex == NOT_GIVEN)
            options.nIndex = params.GetDeviceIndex(0);
    }
    if (options.nType == NOT_GIVEN)
        options.nType = DEFAULT_TYPE;
    if (options.nIndex == NOT_GIVEN)
        options.nIndex = DEFAULT_INDEX;
}
}

int main()
{
    SOptions options = { NOT_GIVEN, NOT_GIVEN, CCmdLineProcess::COMMAND_PAUSE, FALSE };
    char szCommandLine[4096];
    lstrcpynA(szCommandLine, GetCommandLineA(), sizeof(szCommandLine));
    LPCSTR pszJob = ReadOptions(AfxGetCmdTail(szCommandLine), options);
    ChooseDevice(pszJob, options);

    if (options.bStop)
        return CReceiver::SignalStop(options.nType, options.nIndex) ? 0 : 1;

    CReceiver receiver(options.nType, options.nIndex, options.dwJobPause);
    g_pReceiver = &receiver;
    SetConsoleCtrlHandler(OnConsoleCtrl, TRUE);
    const int nResult = receiver.Run(pszJob);
    SetConsoleCtrlHandler(OnConsoleCtrl, FALSE);
    g_pReceiver = NULL;
    return nResult;
}
