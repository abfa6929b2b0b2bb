// CRecordingTable.cpp - the table of declared recordings.
#include "recording/CRecordingTable.h"

#include "instance/CProcessIdentity.h"

namespace
{
LONG g_nNextCookie = 0;

void SignalChange()
{
    HANDLE hChanged = ::CreateEventA(NULL, TRUE, FALSE, RecordingTable::CHANGED_EVENT);
    if (hChanged == NULL)
        return;
    ::SetEvent(hChanged);
    ::CloseHandle(hChanged);
}
}

CRecordingTable::CRecordingTable()
{
}

CRecordingTable::~CRecordingTable()
{
}

BOOL CRecordingTable::Open()
{
    return m_table.Create(RecordingTable::SIZE, RecordingTable::NAME) != 0
           && m_table.GetValidSize() == RecordingTable::SIZE;
}

RecordingTable::SEntry* CRecordingTable::Entries() const
{
    return static_cast<RecordingTable::SEntry*>(m_table.m_pView);
}

int CRecordingTable::Declare(int nDeviceType, int nDeviceIndex, LPCSTR pszReason, DWORD& dwCookie)
{
    RecordingTable::SEntry entry;
    ZeroMemory(&entry, sizeof(entry));
    entry.dwProcessId = ::GetCurrentProcessId();
    entry.dwCookie = static_cast<DWORD>(::InterlockedIncrement(&g_nNextCookie));
    if (!CProcessIdentity::GetCreationTime(::GetCurrentProcess(), entry.created))
        ::GetSystemTimeAsFileTime(&entry.created);
    ::GetSystemTimeAsFileTime(&entry.since);
    entry.nDeviceType = nDeviceType;
    entry.nDeviceIndex = nDeviceIndex;
    ::lstrcpynA(entry.szReason, pszReason != NULL ? pszReason : "", RecordingTable::REASON_LIMIT);

    RecordingTable::SEntry aLive[RecordingTable::CAPACITY];
    ReadLive(aLive);    // frees the entries of ended processes
    if (m_table.Lock() == 0)
        return -1;
    int nEntry = -1;
    for (int i = 0; i < RecordingTable::CAPACITY && nEntry < 0; ++i)
        if (Entries()[i].dwProcessId == 0)
            nEntry = i;
    if (nEntry >= 0)
        Entries()[nEntry] = entry;
    m_table.Unlock();
    dwCookie = entry.dwCookie;
    return nEntry;
}

void CRecordingTable::End(int nEntry, DWORD dwCookie)
{
    if (nEntry < 0 || nEntry >= RecordingTable::CAPACITY || m_table.Lock() == 0)
        return;
    RecordingTable::SEntry& entry = Entries()[nEntry];
    if (entry.dwProcessId == ::GetCurrentProcessId() && entry.dwCookie == dwCookie)
        ZeroMemory(&entry, sizeof(entry));
    m_table.Unlock();
    SignalChange();
}

// A process is not asked about while the table is locked: the lock would
// wait for every OpenProcess of every entry.
int CRecordingTable::ReadLive(RecordingTable::SEntry* aEntries, DWORD dwLockWait)
{
    if (m_table.TryLock(dwLockWait) == 0)
        return m_table.GetValidSize() == 0 ? 0 : BUSY;
    CopyMemory(aEntries, Entries(), RecordingTable::SIZE);
    m_table.Unlock();
    int nLive = 0;
    for (int i = 0; i < RecordingTable::CAPACITY; ++i)
    {
        const RecordingTable::SEntry entry = aEntries[i];
        if (entry.dwProcessId == 0)
            continue;
        if (CProcessIdentity::IsRunning(entry.dwProcessId, entry.created))
        {
            aEntries[nLive++] = entry;
            continue;
        }
        if (m_table.TryLock(dwLockWait) == 0)
            continue;   // freed by a later look
        if (Entries()[i].dwProcessId == entry.dwProcessId && Entries()[i].dwCookie == entry.dwCookie)
            ZeroMemory(&Entries()[i], sizeof(entry));
        m_table.Unlock();
    }
    return nLive;
}
