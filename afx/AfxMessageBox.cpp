// AfxMessageBox.cpp - the framework's message box.
#include "afx/AfxMessageBox.h"
#include "afx/CWinApp.h"

namespace
{
AFX_MESSAGEBOX_HOOK g_pfnMessageBoxHook = NULL;

typedef int (WINAPI *PFN_MESSAGEBOXA)(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType);
}

int AfxMessageBox(LPCSTR lpszText, UINT nType, UINT /*nIDHelp*/)
{
    if (g_pfnMessageBoxHook != NULL)
        return g_pfnMessageBoxHook(lpszText, nType);
    CWinApp* pApp = AfxGetApp();
    LPCSTR lpszCaption = (pApp != NULL && pApp->m_pszAppName != NULL) ? pApp->m_pszAppName : "";
    // The user-interface library is loaded only for a box: a windowless
    // program that shows none should not pay for loading it at every start.
    HMODULE hUser = ::LoadLibraryA("user32.dll");
    if (hUser == NULL)
        return 0;
    PFN_MESSAGEBOXA pfnMessageBox =
        reinterpret_cast<PFN_MESSAGEBOXA>(reinterpret_cast<void*>(::GetProcAddress(hUser, "MessageBoxA")));
    const int nResult = pfnMessageBox != NULL ? pfnMessageBox(NULL, lpszText, lpszCaption, nType) : 0;
    ::FreeLibrary(hUser);
    return nResult;
}

AFX_MESSAGEBOX_HOOK AfxSetMessageBoxHook(AFX_MESSAGEBOX_HOOK pfnHook)
{
    AFX_MESSAGEBOX_HOOK pfnOld = g_pfnMessageBoxHook;
    g_pfnMessageBoxHook = pfnHook;
    return pfnOld;
}
