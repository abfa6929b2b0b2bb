// ProgramOptions.h - what every shipped tool answers besides its work:
// "--help", "-h" and "/?" with its usage, "--version" with its version, on
// standard output, and exit code 0. Not tickward.exe: its command line
// belongs to the scheduler.
//
// Holds: the namespace ProgramOptions. TICKWARD_VERSION is the project's
// version, which every shipped program is compiled with.
#ifndef TOOLS_PROGRAMOPTIONS_H
#define TOOLS_PROGRAMOPTIONS_H

#include <stdio.h>
#include <string.h>

namespace ProgramOptions
{
inline bool IsHelp(const char* pszWord)
{
    return strcmp(pszWord, "--help") == 0 || strcmp(pszWord, "-h") == 0 || strcmp(pszWord, "/?") == 0;
}

// TRUE when pszWord (the first word after the program's name, blanks
// around it removed) asked for the usage or the version, which are printed.
inline bool Answer(const char* pszWord, const char* pszProgram, const char* pszUsage)
{
    if (IsHelp(pszWord))
    {
        fputs(pszUsage, stdout);
        return true;
    }
    if (strcmp(pszWord, "--version") != 0)
        return false;
    printf("%s %s\n", pszProgram, TICKWARD_VERSION);
    return true;
}
}

#endif // TOOLS_PROGRAMOPTIONS_H
