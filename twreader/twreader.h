/* twreader.h - the receiving side of Tickward as a DLL with a C interface
 * (twreader.dll), for receiving applications of any framework, compiler or
 * language.
 *
 * A receiving application serves each of its devices (tuners): while
 * served, the device's heartbeat tells Tickward that the application is
 * alive, and the device's mailbox reader hands each recording job that
 * Tickward posts for it to the application's callback, on a thread of the
 * reader's own. When Tickward finds the application not alive, it starts it
 * with the job on its command line: TwReadCommandLineJob reads that job.
 *
 * Every function uses the WINAPI (stdcall) convention and is exported under
 * its plain name; each returns TW_OK or one of the TW_E_ codes below, and
 * none raises an exception or shows a window. Texts are 8-bit, in the
 * system's ANSI code page, whatever UNICODE says. The DLL starts no thread
 * while it loads; stop every device it serves before the process unloads
 * it (it stays loaded until then).
 */
#ifndef TWREADER_TWREADER_H
#define TWREADER_TWREADER_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Results. */
typedef int TWRESULT;
#define TW_OK               0
#define TW_E_INVALIDARG     1   /* a NULL pointer, a device out of range, an unknown handle */
#define TW_E_OUTOFMEMORY    2
#define TW_E_SERVED         3   /* this process serves that device already */
#define TW_E_HEARTBEAT      4   /* the heartbeat table could not be opened */
#define TW_E_READER         5   /* the mailbox reader could not be started */
#define TW_E_INCALLBACK     6   /* TwStopDevice on the device's own reader thread: nothing done */
#define TW_E_NOJOB          7   /* the command line holds nothing after the program name */
#define TW_E_BADJOB         8   /* what it holds cannot be read as a job */
#define TW_E_SERVEDELSEWHERE 9  /* another process serves that device */

/* The structure is laid out with the compiler's default packing, whatever
 * packing the including code has set. */
#include <pshpack8.h>

/* One recording job: the fields of the timer command. The texts are
 * zero-terminated; the numbers are the command's, -1 where the device list
 * gives none. */
typedef struct TWJOB
{
    const char* pszDevices; /* the device list, hex pairs: "010102" */
    int nDeviceType;        /* of the list's first entry: the device the job is for */
    int nDeviceIndex;
    const char* pszProduct; /* P:, e.g. "_SEL" */
    int nD;                 /* D: */
    const char* pszKey;     /* Key: */
    const char* pszFile;    /* File:, without its double quotes */
    int nFM;                /* FM: */
    int nTO;                /* TO: */
    int nSO;                /* SO: */
    int nEO;                /* EO: */
    void* pvReserved;       /* the DLL's; NULL in a job given to a callback */
} TWJOB;

#include <poppack.h>

/* A served device. */
typedef struct TWDEVICE__* HTWDEVICE;

/* Receives a job from the mailbox, on the device's reader thread. pJob and
 * its texts are valid during the call only: copy what you keep. Return
 * soon; the reader takes the device's next job after a pause of 10 s that
 * follows the call. */
typedef void (CALLBACK* TWJOBCALLBACK)(const TWJOB* pJob, void* pvContext);

/* The DLL's version: major << 16 | minor << 8 | patch. */
DWORD WINAPI TwGetVersion(void);

/* Starts serving device nDeviceType (0 to 255), nDeviceIndex (0 to 9): its
 * heartbeat, and its reader, which first takes the jobs already waiting.
 * pfnCallback gets each job with pvContext. *phDevice receives the handle
 * (NULL on failure). The first call reads the job the process was started
 * with from its own command line: the reader of that job's device drops the
 * copy Tickward posted to the mailbox, without the pause, whatever the
 * application read before or reads after. */
TWRESULT WINAPI TwServeDevice(int nDeviceType, int nDeviceIndex, TWJOBCALLBACK pfnCallback,
                              void* pvContext, HTWDEVICE* phDevice);

/* Stops serving a device and frees its handle. Loses no job: under
 * Tickward's delivery mutex it ends the heartbeat and takes every job left
 * for the device, gives each to the callback (without the pause), then
 * ends the reader. Waits up to a minute while Tickward runs are delivering.
 * On the device's own reader thread (in its callback) it does nothing and
 * returns TW_E_INCALLBACK. */
TWRESULT WINAPI TwStopDevice(HTWDEVICE hDevice);

/* Reads the job on a command line as GetCommandLineA gives it (the program
 * name first, which is skipped) into *pJob, whose texts stay valid until
 * TwReleaseJob. *pJob is emptied on failure. It only shows a job: which
 * job is the start job, it never changes. */
TWRESULT WINAPI TwReadCommandLineJob(const char* pszCommandLine, TWJOB* pJob);

/* Frees the texts of a job that TwReadCommandLineJob filled and empties it;
 * an empty job is left as it is. */
TWRESULT WINAPI TwReleaseJob(TWJOB* pJob);

#ifdef __cplusplus
}
#endif

#endif /* TWREADER_TWREADER_H */
