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
    CString strFree;
    m_nResult = FindSlot(reg, strKey, strCmdLine, strFree);
    if (m_nResult == resultNone)
    {
        Trace("Write new CmdLine: %s - %s", static_cast<LPCSTR>(strFree), static_cast<LPCSTR>(strCmdLine));
        m_nResult = reg.WriteString(strKey, strFree, strCmdLine) ? resultWritten : resultWriteFailed;
        if (m_nResult == resultWritten)
            m_strSlot = strFree;
    }
    reg.UnlockKey(strKey, TRUE);
    return m_nResult == resultWritten || m_nResult == resultAlreadyWaiting;
}

// The first slot that cannot be read as text is free; every other one is
// passed over, a consumed one ("xxx") too. Writing over the consumed mark
// would be safe only if every reader took the lock in one step: a reader
// that tests and sets "Lock" in two registry calls can hold it together
// with this writer, and would then delete the job written over its mark.
// Every slot is read, also past a free one: the same job may wait further on.
int CMailboxWriter::FindSlot(CRegistry& reg, const CString& strKey, const CString& strCmdLine, CString& strFree)
{
    CString astrNames[MailboxLayout::SLOT_COUNT];
    CString astrTexts[MailboxLayout::SLOT_COUNT];
    BOOL abFound[MailboxLayout::SLOT_COUNT];
    for (int i = 0; i < MailboxLayout::SLOT_COUNT; ++i)
        astrNames[i] = MailboxLayout::GetSlotName(MailboxLayout::FIRST_SLOT + i);
    strFree.Empty();
    // No key yet: every slot is free, and writing the first makes the key.
    if (!reg.ReadStrings(strKey, astrNames, MailboxLayout::SLOT_COUNT, astrTexts, abFound))
    {
        strFree = astrNames[0];
        return resultNone;
    }
    for (int i = 0; i < MailboxLayout::SLOT_COUNT; ++i)
    {
        if (!abFound[i])
        {
            if (strFree.IsEmpty())
                strFree = astrNames[i];
            continue;
        }
        Trace("CmdLine exist already: %s - %s", static_cast<LPCSTR>(astrNames[i]), static_cast<LPCSTR>(astrTexts[i]));
        if (astrTexts[i] == strCmdLine)
        {
            m_strSlot = astrNames[i];
            return resultAlreadyWaiting;
        }
    }
    return strFree.IsEmpty() ? resultFull : resultNone;
}
