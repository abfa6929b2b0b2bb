// CWinApp.cpp - the framework's application class.
#include "afx/CWinApp.h"

namespace
{
CWinApp* g_pApp = NULL;
}

CWinApp::CWinApp(LPCSTR lpszAppName)
    : m_pszAppName(lpszAppName), m_pszExeName(NULL), m_hInstance(NULL),
      m_lpCmdLine(NULL), m_nCmdShow(SW_SHOWNORMAL)
{
    m_szExeName[0] = '\0';
    if (g_pApp == NULL)
        g_pApp = this;
}

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = NULL;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

// The framework would pump messages here; this layer has no windows, so the
// application ends as soon as it has started.
int CWinApp::Run()
{
    return ExitInstance();
}

int CWinApp::ExitInstance()
{
    return 0;
}

void CWinApp::SetStartupInfo(HINSTANCE hInstance, LPSTR lpCmdLine, int nCmdShow)
{
    m_hInstance = hInstance;
    m_lpCmdLine = lpCmdLine;
    m_nCmdShow = nCmdShow;

    char szModule[MAX_PATH] = { 0 };
    GetModuleFileNameA(hInstance, szModule, MAX_PATH - 1);
    const char* pszBase = szModule;
    for (const char* p = szModule; *p != '\0'; ++p)
        if (*p == '\\' || *p == '/' || *p == ':')
            pszBase = p + 1;
    lstrcpynA(m_szExeName, pszBase, MAX_PATH);
    char* pszDot = NULL;
    for (char* p = m_szExeName; *p != '\0'; ++p)
        if (*p == '.')
            pszDot = p;
    if (pszDot != NULL)
        *pszDot = '\0';
    m_pszExeName = m_szExeName;
    if (m_pszAppName == NULL)
        m_pszAppName = m_pszExeName;
}

CWinApp* AfxGetApp()
{
    return g_pApp;
}

LPSTR AfxGetCmdTail(LPSTR lpszCommandLine)
{
    if (lpszCommandLine == NULL)
        return NULL;
    unsigned char* p = reinterpret_cast<unsigned char*>(lpszCommandLine);
    if (*p == '"')
    {
        ++p;
        while (*p != '\0' && *p != '"')
            ++p;
        if (*p == '"')
            ++p;
    }
    else
    {
        while (*p > ' ')
            ++p;
    }
    while (*p != '\0' && *p <= ' ')
        ++p;
    return reinterpret_cast<LPSTR>(p);
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, LPSTR /*lpCmdLine*/, int nCmdShow)
{
    CWinApp* pApp = AfxGetApp();
    if (pApp == NULL)
        return -1;
    // The tail is taken from the process command line itself, so that it is
    // computed the same way whichever runtime started the process.
    pApp->SetStartupInfo(hInstance, AfxGetCmdTail(GetCommandLineA()), nCmdShow);
    if (!pApp->InitInstance())
        return pApp->ExitInstance();
    return pApp->Run();
}
