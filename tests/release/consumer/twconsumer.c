/* twconsumer - a receiving application in plain C on twreader.dll. It
 * serves its two tuners (device type 1, indexes 2 and 3): it handles the
 * job it was started with, then every job that reaches a tuner through the
 * mailbox, and writes each to its log (twconsumer.exe.log beside it), until
 * "twconsumer --stop" asks it to end. */
#include "twreader/twreader.h"

#include <stdio.h>
#include <string.h>

#define TUNER_COUNT 2
#define STOP_EVENT "TwConsumerStop"

static const int g_anTunerIndex[TUNER_COUNT] = { 2, 3 };
static const char* const g_apszTunerName[TUNER_COUNT] = { "tuner 1", "tuner 2" };
static FILE* g_pLog;    /* one fprintf a line: the stream's lock keeps the tuners' threads apart */

static void PrintJob(const char* pszSource, const TWJOB* pJob)
{
    fprintf(g_pLog, "job from %s: devices=\"%s\" type=%d index=%d P=\"%s\" D=%d Key=\"%s\" File=\"%s\" "
            "FM=%d TO=%d SO=%d EO=%d\n", pszSource, pJob->pszDevices, pJob->nDeviceType, pJob->nDeviceIndex,
            pJob->pszProduct, pJob->nD, pJob->pszKey, pJob->pszFile, pJob->nFM, pJob->nTO, pJob->nSO, pJob->nEO);
    fflush(g_pLog);
}

/* On the tuner's reader thread; the context is the tuner's name. */
static void CALLBACK OnJob(const TWJOB* pJob, void* pvContext)
{
    PrintJob((const char*)pvContext, pJob);
}

static void Serve(HANDLE hStop)
{
    HTWDEVICE ahTuner[TUNER_COUNT];
    TWJOB job;
    int i;
    DWORD dwVersion = TwGetVersion();

    job.cbSize = sizeof(job);
    fprintf(g_pLog, "twreader %u.%u.%u\n", (unsigned)(dwVersion >> 16), (unsigned)((dwVersion >> 8) & 0xFF),
            (unsigned)(dwVersion & 0xFF));
    /* The job Tickward started this program with; the DLL drops the copy
     * it posted to the mailbox too, whenever this is read. */
    if (TwReadCommandLineJob(GetCommandLineA(), &job) == TW_OK)
    {
        PrintJob("the command line", &job);
        TwReleaseJob(&job);
    }
    for (i = 0; i < TUNER_COUNT; ++i)
    {
        TWRESULT nResult = TwServeDevice(1, g_anTunerIndex[i], OnJob, (void*)g_apszTunerName[i], &ahTuner[i]);
        fprintf(g_pLog, "%s: serving device type 1, index %d: %d\n", g_apszTunerName[i], g_anTunerIndex[i],
                nResult);
        fflush(g_pLog);
    }
    WaitForSingleObject(hStop, INFINITE);
    for (i = 0; i < TUNER_COUNT; ++i)
        fprintf(g_pLog, "%s: stopped: %d\n", g_apszTunerName[i], TwStopDevice(ahTuner[i]));
}

int main(int argc, char* argv[])
{
    char szLog[MAX_PATH + 8];
    HANDLE hStop;
    if (argc == 2 && strcmp(argv[1], "--stop") == 0)
    {
        hStop = OpenEventA(EVENT_MODIFY_STATE, FALSE, STOP_EVENT);
        return hStop != NULL && SetEvent(hStop) ? 0 : 1;
    }
    GetModuleFileNameA(NULL, szLog, MAX_PATH);
    strcat(szLog, ".log");
    hStop = CreateEventA(NULL, TRUE, FALSE, STOP_EVENT);
    g_pLog = fopen(szLog, "a");
    if (hStop == NULL || g_pLog == NULL)
        return 1;
    Serve(hStop);
    fclose(g_pLog);
    CloseHandle(hStop);
    return 0;
}
