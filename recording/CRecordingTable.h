// CRecordingTable.h - the table of declared recordings (RecordingTable.h),
// as the declaring side and the waiting side use it.
#ifndef RECORDING_CRECORDINGTABLE_H
#define RECORDING_CRECORDINGTABLE_H

#include "instance/CSharedMemory.h"
#include "recording/RecordingTable.h"

class CRecordingTable
{
public:
    CRecordingTable();
    virtual ~CRecordingTable();

    // Opens the table, making it when no process has it yet.
    BOOL Open();
    // Enters a recording of this process; its entry's index (with dwCookie
    // for End), or -1 when the table is full or not open.
    int Declare(int nDeviceType, int nDeviceIndex, LPCSTR pszReason, DWORD& dwCookie);
    // Takes the recording out and tells the waiters.
    void End(int nEntry, DWORD dwCookie);
    // What ReadLive gives when another process held the table longer than
    // the wait allowed (a process that hangs holding its lock).
    enum { BUSY = -1 };
    // Copies the recordings whose processes still run into aEntries
    // (CAPACITY of them) and frees the others; their number, or BUSY.
    int ReadLive(RecordingTable::SEntry* aEntries, DWORD dwLockWait = INFINITE);

private:
    RecordingTable::SEntry* Entries() const;

    CSharedMemory m_table;

    CRecordingTable(const CRecordingTable&);
    CRecordingTable& operator=(const CRecordingTable&);
};

#endif // RECORDING_CRECORDINGTABLE_H
