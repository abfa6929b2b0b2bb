// TimeTicks.h - a local date and time as a count of 100 ns ticks, the unit
// of a FILETIME, to add to and compare.
#ifndef SCHEDULE_TIMETICKS_H
#define SCHEDULE_TIMETICKS_H

#include <windows.h>

namespace TimeTicks
{
const ULONGLONG PER_MS = 10000;
const ULONGLONG PER_HOUR = 60ULL * 60 * 1000 * PER_MS;
const ULONGLONG PER_DAY = 24 * PER_HOUR;

inline ULONGLONG FromSystemTime(const SYSTEMTIME& time)
{
    FILETIME file = { 0, 0 };
    ::SystemTimeToFileTime(&time, &file);
    return (static_cast<ULONGLONG>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
}

inline SYSTEMTIME ToSystemTime(ULONGLONG ullTicks)
{
    const FILETIME file = { static_cast<DWORD>(ullTicks), static_cast<DWORD>(ullTicks >> 32) };
    SYSTEMTIME time;
    ::FileTimeToSystemTime(&file, &time);
    return time;
}
}

#endif // SCHEDULE_TIMETICKS_H
