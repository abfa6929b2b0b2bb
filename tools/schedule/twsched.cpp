// twsched - creates a Task Scheduler task that runs Tickward with a given
// command line once, every day or on given days of every week, lists such
// tasks, or removes one.
//
//   twsched add <task name> <when> <tickward path> <tickward command line...>
//   twsched remove <task name>
//   twsched list
//   twsched write <xml file> <when> <tickward path> <tickward command line...>
//   twsched cleanup [--journal] [--quiet]
//
// <when> is <YYYY-MM-DD> <HH:MM> (once), daily <HH:MM>, or weekly <days>
// <HH:MM> with days such as Mon,Thu; a recurring task starts at the next
// such time. A command that Tickward would refuse, a single start in the
// past and, for add, a Tickward path that does not exist are refused with
// the reason: otherwise the mistake would show only at night.
//
// The words before the Tickward command line may be put in double quotes
// (for blanks); the Tickward command line is everything after the blanks
// that follow the Tickward path, taken exactly as typed: timer commands are
// full of double quotes and ";" that the usual argument splitting would
// take apart. "write" only writes the task definition (to look at it or to
// import it by hand). "cleanup" removes what Tickward made for this user,
// as an uninstall does: every task twsched has created (it keeps their
// names) and the start records; with --journal the run journal too; with
// --quiet it prints nothing (an uninstall's silent run). "list" shows each
// task with its next start, and takes off the list a task removed by hand.
//
// Exit code: 0 done; 1 the Task Scheduler refused (its error is printed),
// a task of that name exists already (or, for remove, does not), or
// cleanup could not remove something; 2 wrong arguments or a job refused
// (the reason is printed); 3 the definition file could not be written or
// the Task Scheduler could not be reached.
#include "app/CStartRecord.h"
#include "journal/CRunJournal.h"
#include "schedule/CScheduledTask.h"
#include "schedule/CTaskDefinition.h"
#include "schedule/CTickwardTasks.h"
#include "tools/ProgramOptions.h"

#include <stdio.h>

namespace
{
enum
{
    exitOk = 0,
    exitSchtasksFailed = 1,
    exitUsage = 2,
    exitSystem = 3
};

const char USAGE[] =
    "usage: twsched add <task name> <when> <tickward path> <tickward command line...>\n"
    "       twsched remove <task name>\n"
    "       twsched list\n"
    "       twsched write <xml file> <when> <tickward path> <tickward command line...>\n"
    "       twsched cleanup [--journal] [--quiet]\n"
    "  <when>: <YYYY-MM-DD> <HH:MM> | daily <HH:MM> | weekly <Mon,Tue,...,Sun> <HH:MM>\n"
    "Creates (add) or removes a Task Scheduler task that runs Tickward with the given\n"
    "command line once, every day or every week, or only writes its definition (write).\n"
    "list shows each task twsched created with its next start and whether it wakes the\n"
    "machine. cleanup removes them all and the start records (and the journal).\n"
    "Exit code: 0 done; 1 the Task Scheduler refused, the name exists (or, to remove,\n"
    "does not) or not all removed; 2 wrong arguments or a job refused; 3 no file or no\n"
    "Task Scheduler.\n"
    "Example: twsched add Standby 2026-12-24 23:30 \"C:\\Program Files\\Tickward\\tickward.exe\" -E;2\n";

int Usage()
{
    fputs(USAGE, stderr);
    return exitUsage;
}

BOOL IsBlank(char ch)
{
    return ch == ' ' || ch == '\t';
}

// Skips this program's own name the way the runtime's startup code does.
const char* SkipProgramName(const char* p)
{
    if (*p == '"')
    {
        for (++p; *p != '\0' && *p != '"'; ++p)
        {
        }
        if (*p == '"')
            ++p;
    }
    else
    {
        while (*p != '\0' && !IsBlank(*p))
            ++p;
    }
    return p;
}

// Takes the next word: blanks end it except between double quotes, which
// are removed. Leaves p after the blanks that follow the word.
BOOL NextWord(const char*& p, CString& strWord)
{
    strWord.Empty();
    while (IsBlank(*p))
        ++p;
    if (*p == '\0')
        return FALSE;
    BOOL bQuoted = FALSE;
    for (; *p != '\0' && (bQuoted || !IsBlank(*p)); ++p)
    {
        if (*p == '"')
            bQuoted = !bQuoted;
        else
            strWord += *p;
    }
    while (IsBlank(*p))
        ++p;
    return TRUE;
}

BOOL Refuse(const char* pszWhy, const CString& strWhat)
{
    fprintf(stderr, "twsched: %s: %s\n", static_cast<LPCSTR>(strWhat), pszWhy);
    return FALSE;
}

// When the task starts: once, daily or weekly.
BOOL ReadWhen(const char*& p, CTaskDefinition& task)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    CString strFirst, strSecond, strThird;
    if (!NextWord(p, strFirst) || !NextWord(p, strSecond))
        return FALSE;
    if (strFirst == "daily")
        return task.SetDaily(strSecond, now) || Refuse("not a time HH:MM", strSecond);
    if (strFirst == "weekly")
        return NextWord(p, strThird)
               && (task.SetWeekly(strSecond, strThird, now)
                   || Refuse("not days such as Mon,Thu and a time HH:MM", strSecond + " " + strThird));
    if (!task.SetStart(strFirst, strSecond))
        return Refuse("not a date YYYY-MM-DD and a time HH:MM", strFirst + " " + strSecond);
    return !task.IsStartPast(now) || Refuse("the time has passed: the task would never run", strFirst + " " + strSecond);
}

// The job: when, Tickward path and the rest of the line.
BOOL ReadJob(const char*& p, CTaskDefinition& task)
{
    CString strProgram;
    if (!ReadWhen(p, task) || !NextWord(p, strProgram) || *p == '\0')
        return FALSE;
    if (!task.SetAction(strProgram, p))
        return Refuse("the Tickward path or command line cannot be used", strProgram);
    CString strWhy;
    return CTaskDefinition::IsUsableCommand(p, strWhy) || Refuse(strWhy, "Tickward would refuse this command");
}

// What became of a change through the Task Scheduler.
struct SOutcome
{
    int nResult;
    int nExitCode;
    const char* pszWhy;
};
const SOutcome OUTCOMES[] = {
    { CTickwardTasks::resultDone, exitOk, "done" },
    { CTickwardTasks::resultNotListed, exitOk, "done, but it is not on the list an uninstall removes" },
    { CTickwardTasks::resultNoXmlTasks, exitSystem,
      "this Windows has no XML tasks (Task Scheduler 2.0 came with Vista): use schtasks /sc, see the operator guide" },
    { CTickwardTasks::resultNoScheduler, exitSystem, "the Task Scheduler cannot be reached" },
    { CTickwardTasks::resultNoTask, exitSchtasksFailed, "there is no such task" },
    { CTickwardTasks::resultRefused, exitSchtasksFailed, "the Task Scheduler refused" },   // and the rest
};

int Report(const char* pszWhat, const CString& strName, int nResult, HRESULT hr)
{
    const int nLast = static_cast<int>(sizeof(OUTCOMES) / sizeof(OUTCOMES[0])) - 1;
    int i = 0;
    while (i < nLast && OUTCOMES[i].nResult != nResult)
        ++i;
    FILE* pOut = OUTCOMES[i].nExitCode == exitOk ? stdout : stderr;
    fprintf(pOut, "twsched: %s \"%s\": %s", pszWhat, static_cast<LPCSTR>(strName), OUTCOMES[i].pszWhy);
    if (FAILED(hr) && (nResult == CTickwardTasks::resultRefused || nResult == CTickwardTasks::resultNoScheduler))
        fprintf(pOut, " (error 0x%08lX)", static_cast<unsigned long>(hr));
    fputc('\n', pOut);
    return OUTCOMES[i].nExitCode;
}

int Add(const char* p)
{
    CString strName;
    CTaskDefinition task;
    if (!NextWord(p, strName) || !ReadJob(p, task))
        return Usage();
    CTickwardTasks tasks;
    const int nResult = tasks.Add(strName, task);
    // A task for another machine is written, not added: its path need not be here.
    if (nResult == CTickwardTasks::resultNoProgram)
    {
        Refuse("there is no such program", task.m_strProgram);
        return exitUsage;
    }
    if (nResult == CTickwardTasks::resultExists)
    {
        fprintf(stderr, "twsched: a task named \"%s\" exists already: remove it first (twsched remove) or choose another name\n",
                static_cast<LPCSTR>(strName));
        return exitSchtasksFailed;
    }
    return Report("create", strName, nResult, tasks.m_hrLast);
}

int Remove(const char* p)
{
    CString strName;
    if (!NextWord(p, strName) || *p != '\0')
        return Usage();
    CTickwardTasks tasks;
    const int nResult = tasks.Remove(strName);
    return Report("remove", strName, nResult, tasks.m_hrLast);
}

int List(const char* p)
{
    if (*p != '\0')
        return Usage();
    SYSTEMTIME now;
    GetLocalTime(&now);
    CScheduledTask* aTasks = new CScheduledTask[CScheduledTask::MAX_TASKS];
    CTickwardTasks tasks;
    const int nConnected = tasks.Connect();
    const int nTasks = tasks.List(aTasks, CScheduledTask::MAX_TASKS, now, TRUE);
    for (int i = 0; i < nTasks; ++i)
        printf("\"%s\": %s%s\n", static_cast<LPCSTR>(aTasks[i].m_strName), static_cast<LPCSTR>(aTasks[i].GetSummary(now)),
               aTasks[i].m_nState == CScheduledTask::stateGone ? ": taken off the list" : "");
    delete[] aTasks;
    printf("twsched: %d task%s\n", nTasks, nTasks == 1 ? "" : "s");
    return nConnected == CTickwardTasks::resultDone ? exitOk : Report("check", "the list", nConnected, tasks.m_hrLast);
}

// Every listed task, each printed (one removed by hand already is only
// taken off the list). FALSE when one could not be removed.
BOOL RemoveAll(CTickwardTasks& tasks)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    CScheduledTask* aTasks = new CScheduledTask[CScheduledTask::MAX_TASKS];
    const int nTasks = CScheduledTask::ReadAll(aTasks, CScheduledTask::MAX_TASKS, now);
    BOOL bAllGone = TRUE;
    for (int i = 0; i < nTasks; ++i)
    {
        const int nResult = tasks.Remove(aTasks[i].m_strName);
        printf("twsched: remove \"%s\": %s\n", static_cast<LPCSTR>(aTasks[i].m_strName),
               nResult == CTickwardTasks::resultDone ? "done" : nResult == CTickwardTasks::resultNoTask ? "gone already" : "FAILED");
        bAllGone = bAllGone && nResult != CTickwardTasks::resultRefused;
    }
    delete[] aTasks;
    return bAllGone;
}

// What an uninstall removes for this user.
int Cleanup(const char* p)
{
    BOOL bJournal = FALSE, bQuiet = FALSE;
    for (CString strOption; NextWord(p, strOption);)
    {
        if (strOption == "--journal")
            bJournal = TRUE;
        else if (strOption == "--quiet")
            bQuiet = TRUE;
        else
            return Usage();
    }
    if (bQuiet)
    {
        freopen("NUL", "w", stdout);
        freopen("NUL", "w", stderr);
    }
    CTickwardTasks tasks;
    if (tasks.Connect() != CTickwardTasks::resultDone)
    {
        fputs("twsched: the Task Scheduler cannot be reached\n", stderr);
        return exitSystem;
    }
    BOOL bDone = RemoveAll(tasks);
    bDone = (CStartRecord::ForgetAll() || Refuse("could not be removed", "the start records")) && bDone;
    if (bJournal)
        bDone = (CRunJournal::Remove() || Refuse("could not be removed", "the run journal")) && bDone;
    // Tickward's key goes when nothing of an operator's is left in it.
    CScheduledTask::RemoveKeyIfEmpty("SOFTWARE\\Tickward");
    printf("twsched: cleanup: %s\n", bDone ? "done" : "FAILED");
    return bDone ? exitOk : exitSchtasksFailed;
}

int Write(const char* p)
{
    CString strFile;
    CTaskDefinition task;
    if (!NextWord(p, strFile) || !ReadJob(p, task))
        return Usage();
    if (!task.WriteFile(strFile))
    {
        fprintf(stderr, "twsched: could not write %s (error %lu)\n", static_cast<LPCSTR>(strFile), GetLastError());
        return exitSystem;
    }
    printf("twsched: wrote %s\n", static_cast<LPCSTR>(strFile));
    return exitOk;
}
}

int main()
{
    const char* p = SkipProgramName(GetCommandLineA());
    CString strVerb;
    if (!NextWord(p, strVerb))
        return Usage();
    if (*p == '\0' && ProgramOptions::Answer(strVerb, "twsched", USAGE))
        return exitOk;
    if (strVerb == "add")
        return Add(p);
    if (strVerb == "remove")
        return Remove(p);
    if (strVerb == "list")
        return List(p);
    if (strVerb == "write")
        return Write(p);
    if (strVerb == "cleanup")
        return Cleanup(p);
    return Usage();
}
