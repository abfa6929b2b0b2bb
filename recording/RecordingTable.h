// RecordingTable.h - the recordings that receiving applications declare,
// which a power command waits for.
//
// Holds: the namespace RecordingTable. A receiving application built on
// Tickward's receiving side enters each recording it makes into a named
// shared memory block (CSharedMemory: "FILE_" and "MUTEX_" + NAME) and
// takes it out at its end, then sets the CHANGED_EVENT. An entry counts
// only while the process that made it runs (its id and creation time
// match): a process that ends or crashes leaves no recording behind, and
// the block itself goes with the last process that has it open. The
// layout has fixed-size fields only, the same for 32- and 64-bit programs.
// Both sides include this header.
#ifndef RECORDING_RECORDINGTABLE_H
#define RECORDING_RECORDINGTABLE_H

#include <windows.h>

namespace RecordingTable
{
const char NAME[] = "TickwardRecordings";
// Manual-reset; set by every end of a recording, reset by a waiter before it looks.
const char CHANGED_EVENT[] = "TickwardRecordingsChanged";
const int CAPACITY = 32;
const int REASON_LIMIT = 128;   // bytes of a reason, the terminating zero included

struct SEntry
{
    DWORD dwProcessId;      // 0: a free entry
    DWORD dwCookie;         // tells the declaration's end from a later one in the entry
    FILETIME created;       // the declaring process's creation time
    FILETIME since;         // when the recording was declared (UTC)
    LONG nDeviceType;
    LONG nDeviceIndex;
    char szReason[REASON_LIMIT];
};

const DWORD SIZE = CAPACITY * sizeof(SEntry);
}

#endif // RECORDING_RECORDINGTABLE_H
