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
#include "afx/CWinApp.h"
#include "tools/dbgrun/CDebuggee.h"

#include <stdio.h>

namespace
{
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
    if (*pszTail == '\0')
    {
        fprintf(stderr, "usage: dbgrun <program> [arguments...]\n");
        return 255;
    }
    CString strCommand(pszTail);
    if (pszTail[0] == '@' && !ReadFirstLine(pszTail + 1, strCommand))
    {
        fprintf(stderr, "dbgrun: cannot read %s\n", pszTail + 1);
        return 255;
    }
    CPrintingDebuggee run;
    if (!run.Run(strCommand, INFINITE))
    {
        fprintf(stderr, "dbgrun: cannot run %s (error %lu)\n", static_cast<const char*>(strCommand), GetLastError());
        return 255;
    }
    printf("exit code: %lu\n", run.m_dwExitCode);
    fflush(stdout);
    return static_cast<int>(run.m_dwExitCode);
}
