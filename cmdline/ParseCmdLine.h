// ParseCmdLine.h - the two text forms of a timer command.
//
// The command-line form, which a scheduler hands to Tickward:
//   "<application path>";<devices>;P: <product>;D: <n>;Key: <key>;File: "<file>";FM: <n>;TO: <n>;SO: <n>;EO: <n>
// The mailbox form, which goes into a mailbox slot and onto the command line
// of a started receiving application: the same without the path, composed as
//    <devices>;P: <product>;D: <n>;Key: <key>;File: "<file>" ;FM: <n>;TO: <n>;SO: <n>;EO: <n>
// (its first character is a blank).
#ifndef CMDLINE_PARSECMDLINE_H
#define CMDLINE_PARSECMDLINE_H

#include "afx/CString.h"
#include "afx/afxtypes.h"
#include "cmdline/CCmdLineParams.h"

// Tickward keeps a received command in a buffer of this many bytes, its
// terminating zero included: a longer command is refused whole.
const int TIMER_COMMAND_LIMIT = 1040;

// Splits pszText at ";" (runs of separators count as one) and fills pParams
// in token order: with bWithAppPath (and not bDevicesOnly) the path first,
// then the device list; with bDevicesOnly nothing after the device list;
// otherwise the tagged tokens P:, D:, Key:, File:, FM:, TO:, SO:, EO:.
// The record is not reset: on failure the fields read before the failing
// token hold their new values and all others are unchanged. pszText is never
// modified; either pointer may be NULL (FALSE).
BOOL ParseCmdLine(const char* pszText, CCmdLineParams* pParams, BOOL bWithAppPath, BOOL bDevicesOnly);

// Composes the mailbox form of *pParams into strCmdLine. FALSE, and
// strCmdLine untouched, only for a NULL record.
BOOL BuildRegistryCmdLine(const CCmdLineParams* pParams, CString& strCmdLine);

#endif // CMDLINE_PARSECMDLINE_H
