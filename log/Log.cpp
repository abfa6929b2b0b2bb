// Log.cpp - Tickward's diagnostic channels.
#include "log/Log.h"

#include <stdio.h>

namespace
{
const int LOG_BUFFER_SIZE = 255;

PFNDEBUGOUTPUT g_pfnDebugOutput = OutputDebugStringA;

// Formats the caller's message, then the channel's frame around it, each into
// its own cleared 255-byte buffer. The runtime's bounded formatter knows the
// conversions of the Windows formatter (%s, %d, %i, %u, %x, %c with widths)
// but, unlike it, stops at the buffer's end; a cut text stays terminated.
void FormatFramed(char* pszFramed, LPCSTR pszFrame, LPCSTR pszFormat, va_list args)
{
    char szMessage[LOG_BUFFER_SIZE];
    ZeroMemory(szMessage, sizeof(szMessage));
    ZeroMemory(pszFramed, LOG_BUFFER_SIZE);
    vsnprintf(szMessage, LOG_BUFFER_SIZE, pszFormat, args);
    szMessage[LOG_BUFFER_SIZE - 1] = '\0';
    snprintf(pszFramed, LOG_BUFFER_SIZE, pszFrame, szMessage);
    pszFramed[LOG_BUFFER_SIZE - 1] = '\0';
}
}

void Trace(LPCSTR /*pszFormat*/, ...)
{
}

void LogSilent(LPCSTR pszFormat, ...)
{
    char szFramed[LOG_BUFFER_SIZE];
    va_list args;
    va_start(args, pszFormat);
    FormatFramed(szFramed, "\n%s\t", pszFormat, args);
    va_end(args);
}

void LogDebug(LPCSTR pszFormat, ...)
{
    char szFramed[LOG_BUFFER_SIZE];
    va_list args;
    va_start(args, pszFormat);
    FormatFramed(szFramed, "\n%s\t", pszFormat, args);
    va_end(args);
    DebugOutput(szFramed);
}

void LogTagged(LPCSTR pszFormat, ...)
{
    char szFramed[LOG_BUFFER_SIZE];
    va_list args;
    va_start(args, pszFormat);
    FormatFramed(szFramed, "\n$TP$ %s\t", pszFormat, args);
    va_end(args);
    DebugOutput(szFramed);
}

void LogError(LPCSTR pszFormat, ...)
{
    char szFramed[LOG_BUFFER_SIZE];
    va_list args;
    va_start(args, pszFormat);
    FormatFramed(szFramed, "\nError: %s\t", pszFormat, args);
    va_end(args);
    DebugOutput(szFramed);
}

void DebugOutput(LPCSTR pszText)
{
    g_pfnDebugOutput(pszText);
}

PFNDEBUGOUTPUT SetDebugOutput(PFNDEBUGOUTPUT pfnSink)
{
    PFNDEBUGOUTPUT pfnOld = g_pfnDebugOutput;
    g_pfnDebugOutput = pfnSink != NULL ? pfnSink : OutputDebugStringA;
    return pfnOld;
}
