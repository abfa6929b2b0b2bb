// afxwin.h - the project's framework layer: the subset of the application
// framework that the program is written against, with its class names and
// semantics. The layer never includes the program's headers.
#ifndef AFX_AFXWIN_H
#define AFX_AFXWIN_H

#include <windows.h>
#include "afx/CString.h"
#include "afx/CWinApp.h"
#include "afx/CWinThread.h"
#include "afx/AfxMessageBox.h"
#include "afx/AfxIsValidAddress.h"

#endif // AFX_AFXWIN_H
