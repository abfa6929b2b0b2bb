// AfxMessageBox.cpp - the framework's message box.
#include "afx/AfxMessageBox.h"
#include "afx/CWinApp.h"

namespace
{
AFX_MESSAGEBOX_HOOK g_pfnMessageBoxHook = NULL;
}

int AfxMessageBox(LPCSTR lpszText, UINT nType, UINT /*nIDHelp*/)
{
    if (g_pfnMessageBoxHook != NULL)
        return g_pfnMessageBoxHook(lpszText, nType);
    CWinApp* pApp = AfxGetApp();
    LPCSTR lpszCaption = (pApp != NULL && pApp->m_pszAppName != NULL) ? pApp->m_pszAppName : "";
    return MessageBoxA(NULL, lpszText, lpszCaption, nType);
}

AFX_MESSAGEBOX_HOOK AfxSetMessageBoxHook(AFX_MESSAGEBOX_HOOK pfnHook)
{
    AFX_MESSAGEBOX_HOOK pfnOld = g_pfnMessageBoxHook;
    g_pfnMessageBoxHook = pfnHook;
    return pfnOld;
}
