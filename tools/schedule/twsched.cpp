// twsched - creates a Task Scheduler task that runs Tickward with a given
// command line once, every day or on given days of every week, or removes
// such a task.
//
//   twsched add <task name> <when> <tickward path> <tickward command line...>
//   twsched remove <task name>
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
// --quiet it prints nothing (an uninstall's silent run).
//
// Exit code: 0 done; 1 schtasks reported a failure (its code is printed), a
// task of that name exists already, or cleanup could not remove something;
// 2 wrong arguments or a job refused (the reason is printed); 3 the
// definition file could not be written or schtasks (or the Task
// Scheduler) could not be reached.
#include "app/CStartRecord.h"
#include "journal/CRunJournal.h"
#include "tools/ProgramOptions.h"
#include "tools/schedule/CSchtasks.h"
#include "tools/schedule/CTaskDefinition.h"
#include "tools/schedule/CTickwardTasks.h"

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
    "       twsched write <xml file> <when> <tickward path> <tickward command line...>\n"
    "       twsched cleanup [--journal] [--quiet]\n"
    "  <when>: <YYYY-MM-DD> <HH:MM> | daily <HH:MM> | weekly <Mon,Tue,...,Sun> <HH:MM>\n"
    "Creates (add) or removes a Task Scheduler task that runs Tickward with the given\n"
    "command line once, every day or every week, or only writes its definition (write).\n"
    "cleanup removes every task twsched created and the start records (and the journal).\n"
    "Exit code: 0 done; 1 schtasks failed, the name exists or not all removed;\n"
    "2 wrong arguments or a job refused; 3 no file, no schtasks or no Task Scheduler.\n"
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

int ReportSchtasks(const char* pszWhat, const CString& strName, BOOL bRan, DWORD dwExitCode)
{
    if (!bRan)
    {
        fprintf(stderr, "twsched: could not run schtasks to %s \"%s\" (error %lu)\n", pszWhat,
                static_cast<LPCSTR>(strName), GetLastError());
        return exitSystem;
    }
    if (dwExitCode != 0)
    {
        fprintf(stderr, "twsched: schtasks could not %s \"%s\": exit code %lu\n", pszWhat,
                static_cast<LPCSTR>(strName), dwExitCode);
        return exitSchtasksFailed;
    }
    printf("twsched: %s \"%s\": done (schtasks exit code 0)\n", pszWhat, static_cast<LPCSTR>(strName));
    return exitOk;
}

int Add(const char* p)
{
    CString strName;
    CTaskDefinition task;
    if (!NextWord(p, strName) || !ReadJob(p, task))
        return Usage();
    // A task for another machine is written, not added: its path need not be here.
    const DWORD dwAttributes = GetFileAttributesA(task.m_strProgram);
    if (dwAttributes == INVALID_FILE_ATTRIBUTES || (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    {
        Refuse("there is no such program", task.m_strProgram);
        return exitUsage;
    }
    // schtasks would only say that it failed.
    CTickwardTasks tasks;
    if (tasks.Connect() && tasks.Exists(strName))
    {
        fprintf(stderr, "twsched: a task named \"%s\" exists already: remove it first (twsched remove) or choose another name\n",
                static_cast<LPCSTR>(strName));
        return exitSchtasksFailed;
    }

    char szFolder[MAX_PATH];
    char szFile[MAX_PATH];
    const DWORD dwFolder = GetTempPathA(MAX_PATH, szFolder);
    if (dwFolder == 0 || dwFolder >= MAX_PATH || GetTempFileNameA(szFolder, "tws", 0, szFile) == 0)
    {
        fprintf(stderr, "twsched: no temporary file for the task definition (error %lu)\n", GetLastError());
        return exitSystem;
    }
    int nResult = exitSystem;
    if (task.WriteFile(szFile))
    {
        CSchtasks schtasks;
        DWORD dwExitCode = 0;
        const BOOL bRan = schtasks.Create(strName, szFile, dwExitCode);
        nResult = ReportSchtasks("create", strName, bRan, dwExitCode);
        if (nResult == exitOk && !CTickwardTasks::Remember(strName))
            fprintf(stderr, "twsched: \"%s\" is not on the list an uninstall removes\n", static_cast<LPCSTR>(strName));
    }
    else
    {
        fprintf(stderr, "twsched: could not write %s (error %lu)\n", szFile, GetLastError());
    }
    DeleteFileA(szFile);
    return nResult;
}

int Remove(const char* p)
{
    CString strName;
    if (!NextWord(p, strName) || *p != '\0')
        return Usage();
    CSchtasks schtasks;
    DWORD dwExitCode = 0;
    const BOOL bRan = schtasks.Delete(strName, dwExitCode);
    const int nResult = ReportSchtasks("remove", strName, bRan, dwExitCode);
    if (nResult == exitOk)
        CTickwardTasks::Forget(strName);
    return nResult;
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
    if (!tasks.Connect())
    {
        fputs("twsched: the Task Scheduler cannot be reached\n", stderr);
        return exitSystem;
    }
    BOOL bDone = tasks.RemoveAll();
    bDone = (CStartRecord::ForgetAll() || Refuse("could not be removed", "the start records")) && bDone;
    if (bJournal)
        bDone = (CRunJournal::Remove() || Refuse("could not be removed", "the run journal")) && bDone;
    // Tickward's key goes when nothing of an operator's is left in it.
    CTickwardTasks::RemoveKeyIfEmpty("SOFTWARE\\Tickward");
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
    if (strVerb == "write")
        return Write(p);
    if (strVerb == "cleanup")
        return Cleanup(p);
    return Usage();
}
