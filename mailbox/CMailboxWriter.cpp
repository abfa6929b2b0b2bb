// CMailboxWriter.cpp - the writing end of the registry command mailbox.
#include "mailbox/CMailboxWriter.h"

#include "log/Log.h"
#include "mailbox/CRegistry.h"
#include "mailbox/MailboxLayout.h"

CMailboxWriter::CMailboxWriter()
    : m_nResult(resultNone)
{
}

CMailboxWriter::~CMailboxWriter()
{
}

BOOL CMailboxWriter::Post(const CString& strKey, const CString& strCmdLine)
{
    m_strSlot.Empty();
    m_nResult = resultTooLong;
    // A job a reader cannot read whole could never be taken, and the next
    // writer would see its slot as free and overwrite it.
    if (static_cast<DWORD>(strCmdLine.GetLength()) >= MailboxLayout::TEXT_LIMIT)
    {
        LogDebug("Tickward::StartCmdlineProcess() CmdLine too long for the mailbox!");
        return FALSE;
    }

    CRegistry reg;
    // After the lock's time-out the scan goes ahead anyway: a lock left by a
    // writer that died must not block the mailbox.
    const BOOL bLocked = reg.LockKey(strKey, TRUE);
    CString strName;
    m_nResult = resultFull;
    if (FindFreeSlot(reg, strKey, bLocked, strName))
    {
        Trace("Write new CmdLine: %s - %s", static_cast<LPCSTR>(strName), static_cast<LPCSTR>(strCmdLine));
        m_nResult = reg.WriteString(strKey, strName, strCmdLine) ? resultWritten : resultWriteFailed;
    }
    reg.UnlockKey(strKey, TRUE);
    if (m_nResult != resultWritten)
        return FALSE;
    m_strSlot = strName;
    return TRUE;
}

// The first slot that cannot be read is free. Failing that, a slot marked
// consumed will do: a reader keeps its consumed slots until its whole drain
// ends, ten seconds a job, and a mailbox full of them would turn every job
// posted meanwhile away. Writing over the mark is safe only under the lock,
// which keeps readers from deleting the slot between the scan and the write
// (they delete only slots that still read as consumed); without the lock
// the mailbox counts as full.
BOOL CMailboxWriter::FindFreeSlot(CRegistry& reg, const CString& strKey, BOOL bLocked, CString& strName)
{
    CString strConsumed;
    for (int nSlot = MailboxLayout::FIRST_SLOT; nSlot <= MailboxLayout::LAST_SLOT; ++nSlot)
    {
        strName = MailboxLayout::GetSlotName(nSlot);
        CString strExisting;
        if (!reg.ReadString(strKey, strName, strExisting))
            return TRUE;
        Trace("CmdLine exist already: %s - %s", static_cast<LPCSTR>(strName), static_cast<LPCSTR>(strExisting));
        if (bLocked && strConsumed.IsEmpty() && strExisting == MailboxLayout::CONSUMED_MARK)
            strConsumed = strName;
    }
    strName = strConsumed;
    return !strName.IsEmpty();
}
