// receiver - an example receiving application, written the way a real one
// uses Tickward's code base: it keeps its heartbeat counter growing in the
// shared table, runs the mailbox reader on a worker thread, and handles the
// recording jobs that reach it, from its own command line (when Tickward
// started it) and through the mailbox. Here "handling" a job means printing
// all its fields, to standard output and to its job log (CReceiver::
// GetDefaultLogPath, or the file --log names).
//
//   receiver [--type N] [--index N]        run until stopped (Ctrl+C or --stop)
//   receiver --stop [--type N] [--index N] ask the running receiver to stop
//   receiver <job in mailbox form>         as Tickward starts it
//   receiver --pause MS ...                the pause after each job, for tests
//                                          (a real application pauses 10 s)
//   receiver --log FILE ...                the job log (tests and the benchmark)
//   receiver --record MS ...               declares a recording of MS ms after
//                                          each job (reason: the job's file)
//
// The device is the one given with --type and --index; else, when started
// with a job, the job's device (Tickward starts it without options); else
// type 1, index 2. A job that arrives both on the command line and through
// the mailbox (Tickward sends both when it had to start the application) is
// handled once. A device that another process serves is left to it: the
// receiver says so and ends with exit code 2.
#include "receiver/CReceiver.h"

#include "cmdline/CCmdLineParams.h"
#include "cmdline/ParseCmdLine.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

// Built as a shipped program it carries the project's version; built from
// the SDK elsewhere (as an application of its own would be), it has none.
#ifndef TICKWARD_VERSION
#define TICKWARD_VERSION "(built from the SDK)"
#endif

namespace
{
// The device served, for the console handler, which asks the receiver to
// stop by its stop event's name: the receiver object may be gone by then.
int g_nType = -1;
int g_nIndex = -1;
// Set once the receiver has stopped: its last jobs are handed over.
HANDLE g_hStopped = NULL;
// Longer than a stop takes (two thirds of the reader's minute, and its
// release); Windows ends the process sooner.
const DWORD STOPPED_WAIT = 70000;

// Ctrl+C and Ctrl+Break only ask: the process goes on and main stops the
// receiver. After a console close, a log-off or a shutdown, Windows ends the
// process as soon as this handler returns (or when its own time is up), so
// the handler returns only once the stop has handed the last jobs over.
BOOL WINAPI OnConsoleCtrl(DWORD dwCtrlType)
{
    CReceiver::SignalStop(g_nType, g_nIndex);
    if (dwCtrlType == CTRL_CLOSE_EVENT || dwCtrlType == CTRL_LOGOFF_EVENT || dwCtrlType == CTRL_SHUTDOWN_EVENT)
        WaitForSingleObject(g_hStopped, STOPPED_WAIT);
    return TRUE;
}

const char USAGE[] =
    "usage: receiver [--type N] [--index N] [--pause MS] [--log FILE] [--record MS] [<job>]\n"
    "       receiver --stop [--type N] [--index N]\n"
    "The example receiving application: it keeps the heartbeat of one device, takes\n"
    "that device's recording jobs from Tickward's mailbox and prints them, until it is\n"
    "stopped (Ctrl+C, or receiver --stop). The device is --type and --index, else the\n"
    "job's (Tickward starts it with the job), else type 1, index 2. --pause: the pause\n"
    "after each job (10000 ms); --log: the job log (Tickward\\receiver-<type>-<index>.log\n"
    "in the local application data folder); --record: after each job, a recording of\n"
    "that many ms is declared, which a power command of Tickward waits for. Exit code:\n"
    "0 once stopped, 1 when it cannot serve, 2 when another process serves the device.\n"
    "Example: receiver --type 1 --index 2\n";

const int NOT_GIVEN = -1;
const int DEFAULT_TYPE = 1;
const int DEFAULT_INDEX = 2;

struct SOptions
{
    int nType;
    int nIndex;
    DWORD dwJobPause;
    DWORD dwRecord;
    BOOL bStop;
    CString strLog;     // empty: the default
};

// A path option's value: quoted, or up to the next blank.
LPCSTR ReadPath(LPCSTR psz, CString& strPath)
{
    strPath.Empty();
    const char chEnd = *psz == '"' ? '"' : ' ';
    if (chEnd == '"')
        ++psz;
    for (; *psz != '\0' && *psz != chEnd && (chEnd == '"' || *psz != '\t'); ++psz)
        strPath += *psz;
    return *psz == '"' ? psz + 1 : psz;
}

// The options: each name as typed (with its blank when a value follows) and
// the one field its value goes to.
struct SOptionRule
{
    const char* pszName;
    BOOL SOptions::*pbFlag;
    int SOptions::*pnNumber;
    DWORD SOptions::*pdwMilliseconds;
    CString SOptions::*pstrPath;
};
const SOptionRule OPTION_RULES[] = {
    { "--stop", &SOptions::bStop, NULL, NULL, NULL },
    { "--type ", NULL, &SOptions::nType, NULL, NULL },
    { "--index ", NULL, &SOptions::nIndex, NULL, NULL },
    { "--pause ", NULL, NULL, &SOptions::dwJobPause, NULL },
    { "--record ", NULL, NULL, &SOptions::dwRecord, NULL },
    { "--log ", NULL, NULL, NULL, &SOptions::strLog },
};

// Reads the options from the front of the command tail; whatever follows
// them is a job.
LPCSTR ReadOptions(LPCSTR pszTail, SOptions& options)
{
    for (;;)
    {
        while (*pszTail == ' ' || *pszTail == '\t')
            ++pszTail;
        const SOptionRule* pRule = NULL;
        for (size_t i = 0; pRule == NULL && i < sizeof(OPTION_RULES) / sizeof(OPTION_RULES[0]); ++i)
            if (strncmp(pszTail, OPTION_RULES[i].pszName, strlen(OPTION_RULES[i].pszName)) == 0)
                pRule = &OPTION_RULES[i];
        if (pRule == NULL)
            return pszTail;
        pszTail += strlen(pRule->pszName);
        char* pszEnd = const_cast<char*>(pszTail);
        if (pRule->pbFlag != NULL)
            options.*pRule->pbFlag = TRUE;
        else if (pRule->pnNumber != NULL)
            options.*pRule->pnNumber = static_cast<int>(strtol(pszTail, &pszEnd, 0));
        else if (pRule->pdwMilliseconds != NULL)
            options.*pRule->pdwMilliseconds = strtoul(pszTail, &pszEnd, 0);
        else
            pszEnd = const_cast<char*>(ReadPath(pszTail, options.*pRule->pstrPath));
        pszTail = pszEnd;
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
    SOptions options = { NOT_GIVEN, NOT_GIVEN, CCmdLineProcess::COMMAND_PAUSE, 0, FALSE, CString() };
    char szCommandLine[4096];
    lstrcpynA(szCommandLine, GetCommandLineA(), sizeof(szCommandLine));
    LPCSTR pszTail = AfxGetCmdTail(szCommandLine);
    CString strWord(pszTail);
    strWord.TrimRight();
    // As the tools answer them (tools/ProgramOptions.h, which is no part of the SDK).
    if (strWord == "--help" || strWord == "-h" || strWord == "/?")
    {
        fputs(USAGE, stdout);
        return 0;
    }
    if (strWord == "--version")
    {
        printf("receiver %s\n", TICKWARD_VERSION);
        return 0;
    }
    LPCSTR pszJob = ReadOptions(pszTail, options);
    ChooseDevice(pszJob, options);

    if (options.bStop)
        return CReceiver::SignalStop(options.nType, options.nIndex) ? 0 : 1;

    CReceiver receiver(options.nType, options.nIndex, options.dwJobPause,
                       options.strLog.IsEmpty() ? NULL : static_cast<LPCSTR>(options.strLog));
    receiver.m_dwRecord = options.dwRecord;
    g_nType = options.nType;
    g_nIndex = options.nIndex;
    g_hStopped = CreateEventA(NULL, TRUE, FALSE, NULL);
    SetConsoleCtrlHandler(OnConsoleCtrl, TRUE);
    const int nResult = receiver.Run(pszJob);
    // Before the handler is removed: a handler that waits holds the
    // console's handler list until it returns.
    SetEvent(g_hStopped);
    SetConsoleCtrlHandler(OnConsoleCtrl, FALSE);
    CloseHandle(g_hStopped);
    return nResult;
}
