// CInstanceCheck.cpp - is the receiving application of a device alive?
#include "instance/CInstanceCheck.h"

#include <string.h>

#include "afx/AfxMessageBox.h"
#include "cmdline/ProductCode.h"
#include "instance/HeartbeatTable.h"
#include "log/Log.h"

CInstanceCheck::CInstanceCheck()
{
    ZeroMemory(m_szProduct, sizeof(m_szProduct));
}

CInstanceCheck::~CInstanceCheck()
{
    m_strSharedMemoryName.Empty();
}

int CInstanceCheck::Init(LPCSTR pszProduct, BOOL bClear)
{
    switch (ProductCode::Classify(pszProduct))
    {
    case ProductCode::classWithoutMailbox:
        AfxMessageBox("CInstanceCheck::Init() Hier fehlt noch was!", MB_OK, 0);
        return 0;
    case ProductCode::classUnknown:
        AfxMessageBox("CInstanceCheck::Init() Unknow Product!", MB_OK, 0);
        return 0;
    default:
        break;
    }

    m_strSharedMemoryName = HeartbeatTable::NAME;
    ZeroMemory(m_szProduct, sizeof(m_szProduct));
    strncpy(m_szProduct, pszProduct, sizeof(m_szProduct) - 1);

    // Every run starts all devices from 0, whoever made the table. Without a
    // table the product is still known; the first reading then fails.
    if (m_SharedMemory.Create(HeartbeatTable::SIZE, m_strSharedMemoryName) == 1 && bClear)
        ClearCounters();
    return 1;
}

void CInstanceCheck::ClearCounters()
{
    if (m_SharedMemory.Lock() != 1)
        return;
    ZeroMemory(m_SharedMemory.m_pView, m_SharedMemory.GetValidSize());
    m_SharedMemory.Unlock();
}

int CInstanceCheck::CheckInstance(int nCategory, int nIndex, int& bAlive)
{
    bAlive = 0;
    DWORD dwFirst = 0;
    if (!SetCounter(nCategory, nIndex, dwFirst))
    {
        LogDebug("%s", "COrvaneApp::CheckInstance(P) GetCounter(A) fail!");
        return 0;
    }

    // Never under the table's mutex: the applications must go on counting.
    Pause(HeartbeatTable::SAMPLE_PAUSE);

    DWORD dwSecond = 0;
    if (!SetCounter(nCategory, nIndex, dwSecond))
    {
        LogDebug("%s", "COrvaneApp::CheckInstance(P) GetCounter(B) fail!");
        return 0;
    }
    if (dwSecond > dwFirst)
        bAlive = 1;
    return 1;
}

int CInstanceCheck::SetCounter(int nCategory, int nIndex, DWORD& dwValue)
{
    if (nIndex >= HeartbeatTable::INDEX_COUNT)
    {
        LogDebug("%s", "CInstanceCheck::SetCounter() Invalid Device Index!");
        return 0;
    }
    const int nOffset = GetSharedMemoryOffset(nCategory, nIndex);
    if (nOffset < 0)
    {
        DebugOutput("\nCInstanceCheck::SetCounter() Could't get SharedMemoryOffset!");
        return 0;
    }

    // No table (its Create failed), or a table that another process made
    // smaller than ours: never read outside the view.
    if (static_cast<DWORD>(nOffset) + sizeof(DWORD) > m_SharedMemory.GetValidSize())
        return 0;
    if (m_SharedMemory.Lock() != 1)
        return 0;
    const BYTE* pTable = static_cast<const BYTE*>(m_SharedMemory.m_pView);
    CopyMemory(&dwValue, pTable + nOffset, sizeof(DWORD));
    m_SharedMemory.Unlock();
    return 1;
}

int CInstanceCheck::GetSharedMemoryOffset(int nCategory, int nIndex)
{
    if (!HeartbeatTable::IsValidIndex(nIndex))
        return -1;
    if (!HeartbeatTable::IsValidCategory(nCategory))
    {
        DebugOutput("\nCInstanceCheck::GetSharedMemoryOffset() Invalid Device Category!\t");
        return -1;
    }
    return HeartbeatTable::GetCounterOffset(nCategory, nIndex);
}

void CInstanceCheck::Pause(DWORD dwMilliseconds)
{
    ::Sleep(dwMilliseconds);
}
