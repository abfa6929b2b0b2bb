// CWinApp.h - the framework's application class and its startup.
//
// Holds: CWinApp, AfxGetApp, AfxWinMain, AfxGetCmdTail.
//
// One global application object exists; its constructor registers it. The
// startup code (WinMain in AfxWinMain.cpp) computes the command tail, calls
// InitInstance and, when that returns FALSE, ends the process with what
// ExitInstance returns.
#ifndef AFX_CWINAPP_H
#define AFX_CWINAPP_H

#include <windows.h>

class CWinApp
{
public:
// Constructors
    explicit CWinApp(LPCSTR lpszAppName = NULL);
    virtual ~CWinApp();

// Attributes
    LPCSTR m_pszAppName;    // caption of message boxes
    LPCSTR m_pszExeName;    // executable's base name without extension
    HINSTANCE m_hInstance;
    LPSTR m_lpCmdLine;      // command tail: the command line without the program name
    int m_nCmdShow;

// Overridables
    virtual BOOL InitInstance();
    virtual int Run();
    virtual int ExitInstance();

// Implementation
    void SetStartupInfo(HINSTANCE hInstance, LPSTR lpCmdLine, int nCmdShow);

private:
    char m_szExeName[MAX_PATH];
};

CWinApp* AfxGetApp();

// The command tail as the runtime library's startup computes it: a program
// name in double quotes runs to the next double quote (skipped too), an
// unquoted one to the first character of code 32 or below; then every
// character of code 1 to 32 is skipped.
LPSTR AfxGetCmdTail(LPSTR lpszCommandLine);

int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);

#endif // AFX_CWINAPP_H
