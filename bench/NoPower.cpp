// NoPower.cpp - tickward.exe whose power requests are only said, on the
// debugger output, never made: the demo and the benchmark show a power
// command's wait for a recording without putting the machine to sleep.
// With TICKWARD_NOPOWER_SLEPT set, its clocks tell that the machine slept
// an hour right after a wait began, for the tests of what a run then does.
// Linked into tickward_nopower.exe in place of the application object.
#include "app/COrvaneApp.h"
#include "app/CPowerApi.h"

namespace
{
class CSayingPowerApi : public CPowerApi
{
public:
    CSayingPowerApi() : m_nReads(0) {}

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
    virtual BOOL GetSleepClocks(ULONGLONG& ullWithSleep, ULONGLONG& ullAwake)
    {
        if (!CPowerApi::GetSleepClocks(ullWithSleep, ullAwake))
            return FALSE;
        if (::GetEnvironmentVariableA("TICKWARD_NOPOWER_SLEPT", NULL, 0) != 0 && m_nReads++ > 0)
            ullWithSleep += HOUR;
        return TRUE;
    }

private:
    static const ULONGLONG HOUR = 3600000;
    int m_nReads;
};

CSayingPowerApi g_sayingPowerApi;

class CNoPowerApp : public COrvaneApp
{
public:
    CNoPowerApp() { SetPowerApi(&g_sayingPowerApi); }
};
}

CNoPowerApp theApp;
