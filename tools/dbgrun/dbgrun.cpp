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
#include "tools/dbgrun/CDebuggeeRun.h"

#include <stdio.h>

namespace
{
BOOL ReadFirstLine(const char* pszPath, std::string& strLine)
{
    FILE* pFile = fopen(pszPath, "rb");
    if (pFile == NULL)
        return FALSE;
    strLine.clear();
    int ch;
    while ((ch = fgetc(pFile)) != EOF && ch != '\r' && ch != '\n')
        strLine += static_cast<char>(ch);
    fclose(pFile);
    return !strLine.empty();
}
}

int main()
{
    std::string strOwnLine(GetCommandLineA());
    const char* pszTail = AfxGetCmdTail(&strOwnLine[0]);
    if (*pszTail == '\0')
    {
        fprintf(stderr, "usage: dbgrun <program> [arguments...]\n");
        return 255;
    }
    std::string strCommand(pszTail);
    if (pszTail[0] == '@' && !ReadFirstLine(pszTail + 1, strCommand))
    {
        fprintf(stderr, "dbgrun: cannot read %s\n", pszTail + 1);
        return 255;
    }
    CDebuggeeRun run;
    if (!run.Run(strCommand, INFINITE))
    {
        fprintf(stderr, "dbgrun: cannot run %s (error %lu)\n", strCommand.c_str(), GetLastError());
        return 255;
    }
    for (size_t i = 0; i < run.m_outputs.size(); ++i)
        printf("debugger output: \"%s\"\n", EscapeText(run.m_outputs[i]).c_str());
    printf("exit code: %lu\n", run.m_dwExitCode);
    fflush(stdout);
    return static_cast<int>(run.m_dwExitCode);
}
