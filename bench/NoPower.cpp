// NoPower.cpp - tickward.exe whose power requests are only said, on the
// debugger output, never made: the demo and the benchmark show a power
// command's wait for a recording without putting the machine to sleep.
// Linked into tickward_nopower.exe in place of the application object.
#include "app/COrvaneApp.h"
#include "app/CPowerApi.h"

namespace
{
class CSayingPowerApi : public CPowerApi
{
public:
    virtual BOOL SetSystemPowerState(BOOL bSuspend, BOOL /*bForce*/)
    {
        ::OutputDebugStringA(bSuspend ? "tickward_nopower: the standby request (not made)"
                                      : "tickward_nopower: the hibernation request (not made)");
        return TRUE;
    }
    virtual BOOL ExitWindowsEx(UINT /*uFlags*/, DWORD /*dwReason*/)
    {
        ::OutputDebugStringA("tickward_nopower: the shutdown request (not made)");
        return TRUE;
    }
};

CSayingPowerApi g_sayingPowerApi;

class CNoPowerApp : public COrvaneApp
{
public:
    CNoPowerApp() { SetPowerApi(&g_sayingPowerApi); }
};
}

CNoPowerApp theApp;
