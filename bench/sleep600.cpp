// sleep600 - the floor of the delivery benchmarks: a Windows program that
// does nothing but wait 600 ms, the time a delivery must spend on the
// liveness test. Started the same way as tickward.exe, so the difference
// between the two is what Tickward costs beyond its one unavoidable wait.
#include "instance/HeartbeatTable.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    Sleep(HeartbeatTable::SAMPLE_PAUSE);
    return 0;
}
