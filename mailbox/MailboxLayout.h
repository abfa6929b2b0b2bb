// MailboxLayout.h - the registry mailbox that Tickward writes and every
// receiving application reads.
//
// Holds: the namespace MailboxLayout. The mailbox of the supported product
// is a key under HKEY_CURRENT_USER with the slots "1" to "20", each a text
// value holding one job in mailbox form, and the REG_DWORD value "Lock", the
// advisory lock that brackets every scan of the slots. A reader marks a slot
// it has taken with "xxx" and deletes it when its drain ends. Both sides
// include this header: a slot or bound that moved on one side only would
// leave jobs where no reader looks.
#ifndef MAILBOX_MAILBOXLAYOUT_H
#define MAILBOX_MAILBOXLAYOUT_H

#include <windows.h>

#include "afx/CString.h"
#include "instance/HeartbeatTable.h"

namespace MailboxLayout
{
// The key of the supported product's mailbox.
const char KEY[] = "SOFTWARE\\Varenwick\\Korvix\\CmdLine";

const int FIRST_SLOT = 1;
const int SLOT_COUNT = 20;
const int LAST_SLOT = FIRST_SLOT + SLOT_COUNT - 1;
// Every reader reads a slot into this many bytes, the terminating zero
// included: a longer text can never be taken.
const DWORD TEXT_LIMIT = 520;
// What a reader writes into a slot it has taken.
const char CONSUMED_MARK[] = "xxx";

const char LOCK_VALUE[] = "Lock";
const DWORD LOCK_HELD = 1;
const DWORD LOCK_FREE = 0;
// Held by a writer or reader only while it tests "Lock" and sets it: the two
// are separate registry calls, and without it two of them can both find the
// lock free and both take it.
const char LOCK_GUARD_MUTEX[] = "MUTEX_TickwardMailboxLock";

// Held by every Tickward run from its liveness test to its post (and the
// start of a dead application), and by a reader's stop while it ends its
// heartbeat and marks its last jobs: once a stop holds it, every run that
// could have seen the heartbeat has posted, and every later run sees the
// application dead. Named after the heartbeat table whose runs it orders.
const char DELIVERY_MUTEX_PREFIX[] = "MUTEX_TickwardDelivery_";

inline CString GetDeliveryMutexName()
{
    return CString(DELIVERY_MUTEX_PREFIX) + HeartbeatTable::NAME;
}

inline CString GetSlotName(int nSlot)
{
    CString strName;
    strName.Format("%i", nSlot);
    return strName;
}
}

#endif // MAILBOX_MAILBOXLAYOUT_H
