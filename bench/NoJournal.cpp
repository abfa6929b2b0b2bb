// NoJournal.cpp - a run journal that writes nothing. Linked into
// tickward_nojournal.exe only, in place of the real one, so that the
// benchmark can time what the journal costs a delivery.
#include "journal/CRunJournal.h"

CRunJournal::CRunJournal()
{
}

CRunJournal::~CRunJournal()
{
}

BOOL CRunJournal::Append(const CString& /*strEntry*/)
{
    return TRUE;
}

CString CRunJournal::Escape(const CString& strField)
{
    return strField;
}

BOOL CRunJournal::IsNtFamily() const
{
    return TRUE;
}
