// dbgrun - runs a program and prints what it wrote to the debugger output,
// one text per line in C escapes, then its exit code; ends with that code.
//
//   dbgrun <program> [arguments...]
// The arguments are passed on as they stand; the whole command line after
// dbgrun's own name is the program's command line.
#include "tools/dbgrun/CDebuggeeRun.h"

#include <stdio.h>

namespace
{
// The command line after this program's own name, exactly as it was given.
const char* GetCommandTail()
{
    const char* p = GetCommandLineA();
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
        while (static_cast<unsigned char>(*p) > ' ')
            ++p;
    }
    while (*p == ' ' || *p == '\t')
        ++p;
    return p;
}
}

int main()
{
    const char* pszTail = GetCommandTail();
    if (*pszTail == '\0')
    {
        fprintf(stderr, "usage: dbgrun <program> [arguments...]\n");
        return 255;
    }
    CDebuggeeRun run;
    if (!run.Run(pszTail, INFINITE))
    {
        fprintf(stderr, "dbgrun: cannot run %s (error %lu)\n", pszTail, GetLastError());
        return 255;
    }
    for (size_t i = 0; i < run.m_outputs.size(); ++i)
        printf("debugger output: \"%s\"\n", EscapeText(run.m_outputs[i]).c_str());
    printf("exit code: %lu\n", run.m_dwExitCode);
    fflush(stdout);
    return static_cast<int>(run.m_dwExitCode);
}
