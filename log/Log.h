// Log.h - Tickward's diagnostic channels.
//
// The program has no window, console or log file: what it reports goes to
// the debugger output (OutputDebugStringA) or nowhere. Each message belongs
// to one channel:
//   Trace      nothing at all, not even formatting
//   LogSilent  "\n%s\t" framed and dropped
//   LogDebug   "\n%s\t" to the debugger output
//   LogTagged  "\n$TP$ %s\t" to the debugger output
//   LogError   "\nError: %s\t" to the debugger output
// Messages are formatted with the wsprintf conversions into 255-byte
// buffers; a longer message is cut, never written past the buffer.
#ifndef LOG_LOG_H
#define LOG_LOG_H

#include <windows.h>

#if defined(__GNUC__)
#define TW_FORMAT_CHECK __attribute__((format(printf, 1, 2)))
#else
#define TW_FORMAT_CHECK
#endif

void Trace(LPCSTR pszFormat, ...) TW_FORMAT_CHECK;
void LogSilent(LPCSTR pszFormat, ...) TW_FORMAT_CHECK;
void LogDebug(LPCSTR pszFormat, ...) TW_FORMAT_CHECK;
void LogTagged(LPCSTR pszFormat, ...) TW_FORMAT_CHECK;
void LogError(LPCSTR pszFormat, ...) TW_FORMAT_CHECK;

// A fixed text straight to the debugger output, unformatted.
void DebugOutput(LPCSTR pszText);

// Where debugger output goes: OutputDebugStringA unless a test redirects it.
// Returns the previous sink.
typedef void (WINAPI *PFNDEBUGOUTPUT)(LPCSTR pszText);
PFNDEBUGOUTPUT SetDebugOutput(PFNDEBUGOUTPUT pfnSink);

#endif // LOG_LOG_H
