// CSchtasks.h - runs the system's schtasks.exe to create a task from a
// definition file or to delete one, and hands back its exit code.
#ifndef TOOLS_SCHEDULE_CSCHTASKS_H
#define TOOLS_SCHEDULE_CSCHTASKS_H

#include <windows.h>

#include "afx/CString.h"

class CSchtasks
{
public:
    CSchtasks();
    virtual ~CSchtasks();

// Operations
    // Each returns FALSE when schtasks could not be started (or the name
    // cannot be passed to it); otherwise TRUE with schtasks' own exit code,
    // 0 for success, in dwExitCode.
    BOOL Create(const CString& strName, const CString& strXmlPath, DWORD& dwExitCode);
    BOOL Delete(const CString& strName, DWORD& dwExitCode);

// Implementation
protected:
    virtual BOOL Run(const CString& strArguments, DWORD& dwExitCode);
    static BOOL IsPlainName(const CString& strName);
};

#endif // TOOLS_SCHEDULE_CSCHTASKS_H
