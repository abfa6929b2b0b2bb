// afxmt.h - the framework layer's synchronisation objects.
#ifndef AFX_AFXMT_H
#define AFX_AFXMT_H

#include "afx/CSyncObject.h"
#include "afx/CMutex.h"
#include "afx/CEvent.h"
#include "afx/CCriticalSection.h"
#include "afx/CSingleLock.h"

#endif // AFX_AFXMT_H
