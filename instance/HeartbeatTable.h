// HeartbeatTable.h - the heartbeat table that Tickward and every receiving
// application share.
//
// Holds: the namespace HeartbeatTable. A receiving application keeps the
// counter of the device it serves growing; Tickward reads it twice, one
// sample pause apart, and calls the application alive when it grew. The
// table is a named shared memory block of 6 categories by 10 indexes of
// 32-bit counters, the counter of a device at byte offset
// category * 40 + index * 4. Both sides include this header: a table that
// moved on one side only would make a live application look dead.
#ifndef INSTANCE_HEARTBEATTABLE_H
#define INSTANCE_HEARTBEATTABLE_H

#include <windows.h>

namespace HeartbeatTable
{
// The block's name; letter case matters.
const char NAME[] = "1474027C-7CB4-436a-9158-89850D76B319";
const int CATEGORY_COUNT = 6;
const int INDEX_COUNT = 10;
const DWORD SIZE = CATEGORY_COUNT * INDEX_COUNT * sizeof(DWORD);

// Tickward's two readings lie this far apart: a counter must grow more often.
const DWORD SAMPLE_PAUSE = 600;

// One process serves a device: its claim is a named object of this name
// followed by "<type>.<index>", which every serving side makes alike.
const char CLAIM_PREFIX[] = "MUTEX_TickwardServing_";

inline BOOL IsValidIndex(int nIndex)
{
    return nIndex >= 0 && nIndex < INDEX_COUNT;
}

inline BOOL IsValidCategory(int nCategory)
{
    return nCategory >= 0 && nCategory < CATEGORY_COUNT;
}

// Byte offset of a device's counter, -1 outside the table.
inline int GetCounterOffset(int nCategory, int nIndex)
{
    if (!IsValidCategory(nCategory) || !IsValidIndex(nIndex))
        return -1;
    return (nCategory * INDEX_COUNT + nIndex) * static_cast<int>(sizeof(DWORD));
}

// Device types 1 to 3 have categories of their own; all others share 0.
inline int GetCategory(int nDeviceType)
{
    return (nDeviceType >= 1 && nDeviceType <= 3) ? nDeviceType : 0;
}
}

#endif // INSTANCE_HEARTBEATTABLE_H
