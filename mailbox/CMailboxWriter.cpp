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
    // writer that died must not block the mailbox. That is safe because only
    // a slot that cannot be read is written, and readers delete only slots
    // that read as consumed.
    reg.LockKey(strKey, TRUE);
    CString strName;
    m_nResult = resultFull;
    if (FindFreeSlot(reg, strKey, strName))
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

// The first slot that cannot be read as text is free; every other one is
// passed over, a consumed one ("xxx") too. Writing over the consumed mark
// would be safe only if every reader took the lock in one step: a reader
// that tests and sets "Lock" in two registry calls can hold it together
// with this writer, and would then delete the job written over its mark.
BOOL CMailboxWriter::FindFreeSlot(CRegistry& reg, const CString& strKey, CString& strName)
{
    for (int nSlot = MailboxLayout::FIRST_SLOT; nSlot <= MailboxLayout::LAST_SLOT; ++nSlot)
    {
        strName = MailboxLayout::GetSlotName(nSlot);
        CString strExisting;
        if (!reg.ReadString(strKey, strName, strExisting))
            return TRUE;
        Trace("CmdLine exist already: %s - %s", static_cast<LPCSTR>(strName), static_cast<LPCSTR>(strExisting));
    }
    strName.Empty();
    return FALSE;
}
