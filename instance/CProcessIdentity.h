// CProcessIdentity.h - a process told by its id and its creation time: an
// id is given again once its process has ended.
#ifndef INSTANCE_CPROCESSIDENTITY_H
#define INSTANCE_CPROCESSIDENTITY_H

#include <windows.h>

class CProcessIdentity
{
public:
    // The creation time of a process; FALSE where Windows keeps none (98, ME).
    static BOOL GetCreationTime(HANDLE hProcess, FILETIME& created);
    // TRUE while the process of that id runs and, where Windows keeps the
    // time, was created at that time.
    static BOOL IsRunning(DWORD dwProcessId, const FILETIME& created);
};

#endif // INSTANCE_CPROCESSIDENTITY_H
