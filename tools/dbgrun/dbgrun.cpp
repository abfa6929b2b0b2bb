// dbgrun - runs a program and prints what it wrote to the debugger output,
// one text per line in C escapes, then its exit code; ends with that code.
//
//   dbgrun <program> [arguments...]
//   dbgrun @<file>
// The arguments are passed on as they stand; the whole command line after
// dbgrun's own name is the program's command line. With @<file> the command
// line is the file's first line, byte for byte: a shell that starts dbgrun
// (Wine's loader among them) may quote or escape arguments on the way, and a
// timer command is full of double quotes.
//
// Exit code: the program's own; dbgrun's own failures (no program given, the
// file unreadable, the program not started) exit with 255 and a line on
// standard error that begins with "dbgrun:", and print no "exit code:" line.
#include "afx/CWinApp.h"
#include "tools/ProgramOptions.h"
#include "tools/dbgrun/CDebuggee.h"

#include <stdio.h>

namespace
{
const int OWN_FAILURE = 255;

const char USAGE[] =
    "usage: dbgrun <program> [arguments...]\n"
    "       dbgrun @<file>     the command line is the file's first line, byte for byte\n"
    "Runs the program and prints every text it writes to the debugger output, one a\n"
    "line, then \"exit code: <n>\"; ends with the program's exit code. dbgrun's own\n"
    "failures end with 255 and a line \"dbgrun: ...\" on standard error instead.\n"
    "Example: dbgrun @job.txt   (job.txt: \"C:\\Program Files\\Tickward\\tickward.exe\" <timer command>)\n";

// Prints each text as it comes.
class CPrintingDebuggee : public CDebuggee
{
protected:
    virtual void OnOutput(const char* pchText, int nLength)
    {
        printf("debugger output: \"%s\"\n", static_cast<const char*>(Escape(pchText, nLength)));
    }
};

BOOL ReadFirstLine(const char* pszPath, CString& strLine)
{
    FILE* pFile = fopen(pszPath, "rb");
    if (pFile == NULL)
        return FALSE;
    strLine.Empty();
    int ch;
    while ((ch = fgetc(pFile)) != EOF && ch != '\r' && ch != '\n')
        strLine += static_cast<char>(ch);
    fclose(pFile);
    return !strLine.IsEmpty();
}
}

int main()
{
    CString strOwnLine(::GetCommandLineA());
    const char* pszTail = AfxGetCmdTail(strOwnLine.GetBuffer(0));
    CString strWord(pszTail);
    strWord.TrimRight();
    if (ProgramOptions::Answer(strWord, "dbgrun", USAGE))
        return 0;
    if (*pszTail == '\0')
    {
        fputs("dbgrun: no program given\n", stderr);
        fputs(USAGE, stderr);
        return OWN_FAILURE;
    }
    CString strCommand(pszTail);
    if (pszTail[0] == '@' && !ReadFirstLine(pszTail + 1, strCommand))
    {
        fprintf(stderr, "dbgrun: cannot read %s\n", pszTail + 1);
        return OWN_FAILURE;
    }
    CPrintingDebuggee run;
    if (!run.Run(strCommand, INFINITE))
    {
        fprintf(stderr, "dbgrun: cannot run %s (error %lu)\n", static_cast<const char*>(strCommand), GetLastError());
        return OWN_FAILURE;
    }
    printf("exit code: %lu\n", run.m_dwExitCode);
    fflush(stdout);
    return static_cast<int>(run.m_dwExitCode);
}
