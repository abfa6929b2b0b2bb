// frameworkapp - an application of the application framework whose class
// names Tickward's C++ SDK uses too: it defines its own CString and
// CWinApp, as that framework's headers do, and calls twreader.dll. It only
// has to compile and link: the DLL's header brings no class of its own, and
// its structure keeps its layout under the application's packing.
#include <windows.h>

class CString
{
public:
    CString(const char* psz) : m_psz(psz) {}
    operator const char*() const { return m_psz; }

private:
    const char* m_psz;
};

class CWinApp
{
public:
    virtual ~CWinApp() {}
    virtual BOOL InitInstance() { return TRUE; }
};

// Left packed by some header of the application's.
#pragma pack(push, 1)
#include "twreader/twreader.h"
#pragma pack(pop)

// The layout the DLL was built with: 13 fields of 4 bytes or a pointer, a
// 64-bit pointer aligned to 8.
static_assert(sizeof(TWJOB) == (sizeof(void*) == 8 ? 80 : 52), "TWJOB is laid out as in the DLL");

class CRecorderApp : public CWinApp
{
public:
    virtual BOOL InitInstance()
    {
        const CString strLine(GetCommandLineA());
        TWJOB job;
        job.cbSize = sizeof(job);
        if (TwReadCommandLineJob(strLine, &job) == TW_OK)
            TwReleaseJob(&job);
        return TwGetVersion() != 0;
    }
};

int main()
{
    CRecorderApp app;
    return app.InitInstance() ? 0 : 1;
}
