// AfxMessageBox.h - the framework's message box, with a hook for tests.
//
// The caption is the application's name (the executable's base name when
// the application was given none). A hook, when installed, receives the
// text and style instead of a box being shown; programs never install one.
#ifndef AFX_AFXMESSAGEBOX_H
#define AFX_AFXMESSAGEBOX_H

#include <windows.h>

int AfxMessageBox(LPCSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);

typedef int (*AFX_MESSAGEBOX_HOOK)(LPCSTR lpszText, UINT nType);
AFX_MESSAGEBOX_HOOK AfxSetMessageBoxHook(AFX_MESSAGEBOX_HOOK pfnHook);

#endif // AFX_AFXMESSAGEBOX_H
