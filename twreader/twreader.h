/* twreader.h - the receiving side of Tickward as a DLL with a C interface
 * (twreader.dll), for receiving applications of any framework, compiler or
 * language.
 *
 * A receiving application serves each of its devices (tuners): while
 * served, the device's heartbeat tells Tickward that the application is
 * alive, and the device's mailbox reader takes each recording job that
 * Tickward posts for it. The reader gives each job to the application's
 * callback, on a thread of the reader's own (TwServeDevice), or keeps it
 * until the application takes it on a thread of its own (TwServeDeviceQueued
 * and TwGetJob), for runtimes that cannot be called on a foreign thread.
 * When Tickward finds the application not alive, it starts it with the job
 * on its command line: TwReadCommandLineJob shows that job. The application
 * schedules its recordings, and power actions, as tasks of the Task
 * Scheduler that start Tickward (TwScheduleRecording, TwSchedulePower,
 * TwListTasks, TwRemoveTask).
 *
 * The contract:
 * - Calls. Every function uses the WINAPI (stdcall) convention and is
 *   exported under its plain name; each returns TW_OK or one of the TW_E_
 *   codes below, and none raises an exception or shows a window. Any thread
 *   may call any function, in any order, except where a function says
 *   otherwise. None may be called from DllMain or from a static destructor
 *   of a library that is being unloaded: the loader lock is held there.
 * - Threads. Each device served with a callback has a reader thread of its
 *   own, which makes every call of that device's callback, one at a time;
 *   the callbacks of two devices may run at once. A callback may call
 *   TwServeDevice, TwServeDeviceQueued, TwStopDevice for another device,
 *   and the job functions; TwStopDevice for its own device returns
 *   TW_E_INCALLBACK. It must not wait for a thread that is stopping its
 *   device; SendMessage to that thread is safe (the stop answers it). An
 *   exception must never leave a callback.
 * - Texts are 8-bit, zero-terminated, in the system's ANSI code page,
 *   whatever UNICODE says.
 * - Lifetime. The DLL starts no thread while it loads. Once a device has
 *   been served, the DLL stays loaded for the life of the process; stop
 *   every device before the process ends, or the jobs its reader holds are
 *   lost with it.
 * - Versions. TwGetVersion gives the DLL's version. A later version keeps
 *   every function and code of this one, and adds fields only at the end of
 *   TWJOB: its cbSize tells the caller how much of it the DLL has filled.
 */
#ifndef TWREADER_TWREADER_H
#define TWREADER_TWREADER_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Results, and the state a handle is left in. */
typedef int TWRESULT;
#define TW_OK               0   /* done; a handle given to TwStopDevice is freed */
#define TW_E_INVALIDARG     1   /* a NULL pointer, a device out of range, an unknown handle, a cbSize
                                   too small; nothing done */
#define TW_E_OUTOFMEMORY    2   /* nothing done */
#define TW_E_SERVED         3   /* this process serves that device already (or is stopping it) */
#define TW_E_HEARTBEAT      4   /* the heartbeat table could not be opened; nothing served */
#define TW_E_READER         5   /* the mailbox reader could not be started; nothing served */
#define TW_E_INCALLBACK     6   /* TwStopDevice on the device's own reader thread: nothing done */
#define TW_E_NOJOB          7   /* no job: nothing after the program name, or none waiting */
#define TW_E_BADJOB         8   /* what the command line holds cannot be read as a job */
#define TW_E_SERVEDELSEWHERE 9  /* another process serves that device; nothing served */
#define TW_E_STOPPENDING    10  /* see TwStopDevice: the handle stays valid */
#define TW_E_RECORDINGS     11  /* the table of declared recordings cannot be opened or is full */
#define TW_E_NOXMLTASKS     12  /* Windows XP or older: no Task Scheduler 2.0; nothing scheduled */
#define TW_E_SCHEDULER      13  /* the Task Scheduler cannot be reached, or refused */
#define TW_E_BADWHEN        14  /* pszWhen is in none of the forms */
#define TW_E_PAST           15  /* a single start that has passed: the task would never run */
#define TW_E_TASKEXISTS     16  /* a task of that name exists already; nothing changed */
#define TW_E_NOTASK         17  /* no task of that name (taken off Tickward's list if it was on it) */
#define TW_E_NOTICKWARD     18  /* pszTickward names no program */
#define TW_E_NOTLISTED      19  /* scheduled, but not on Tickward's list: TwListTasks and an
                                   uninstall will not see it */

/* The structure is laid out with the compiler's default packing, whatever
 * packing the including code has set. */
#include <pshpack8.h>

/* One recording job: the fields of the timer command. The texts are
 * zero-terminated; the numbers are the command's, -1 where the device list
 * gives none. */
typedef struct TWJOB
{
    DWORD cbSize;           /* set by the caller to sizeof(TWJOB) before a call fills it;
                               the DLL sets it to the size it filled */
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

/* A task that Tickward scheduled, as TwListTasks shows it. */
#define TW_TASK_UNKNOWN     0   /* scheduled by an older Tickward, which kept only the name */
#define TW_TASK_RECORDING   1
#define TW_TASK_POWER       2
typedef struct TWTASK
{
    DWORD cbSize;           /* as in TWJOB */
    char szName[260];       /* the task's name, its folder included: "Tickward\News" */
    int nKind;              /* TW_TASK_ */
    int nPowerAction;       /* 2 standby, 3 shutdown, 4 hibernate; 0 for a recording */
    SYSTEMTIME stNextStart; /* local time; all zero when it starts no more */
    char szRepeat[32];      /* "once", "daily" or "weekly Mon,Thu" */
    int nDeviceType;        /* a recording's device; -1 for others */
    int nDeviceIndex;
    char szFile[260];       /* a recording's file; "" for others */
    BOOL bChecked;          /* the Task Scheduler was asked: the two below are its answer */
    BOOL bEnabled;
    BOOL bWakes;            /* it wakes the machine to run */
} TWTASK;

#include <poppack.h>

/* A served device. */
typedef struct TWDEVICE__* HTWDEVICE;
/* A declared recording. */
typedef struct TWRECORDING__* HTWRECORDING;

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

/* As TwServeDevice, without a callback: each job waits in the device's
 * queue until TwGetJob takes it. Whenever a job joins the queue, the DLL
 * sets hJobReady (an event, or NULL) and posts uMessage to hWnd (a window,
 * or NULL) with wParam 0 and lParam the device's handle. Take jobs until
 * TwGetJob returns TW_E_NOJOB. */
TWRESULT WINAPI TwServeDeviceQueued(int nDeviceType, int nDeviceIndex, HANDLE hJobReady, HWND hWnd,
                                    UINT uMessage, HTWDEVICE* phDevice);

/* Takes the oldest job waiting for a device served with TwServeDeviceQueued
 * into *pJob, whose texts stay valid until TwReleaseJob; TW_E_NOJOB when
 * none waits. A job taken is the application's: a stop never puts it back. */
TWRESULT WINAPI TwGetJob(HTWDEVICE hDevice, TWJOB* pJob);

/* Stops serving a device. Loses no job: under Tickward's delivery mutex
 * (waited for up to 30 s) it ends the heartbeat and marks every job left
 * for the device; the reader gives each to the callback (without the
 * pause) and ends. While it waits it answers messages sent to the calling
 * thread. Returns within 60 s, plus about 3 s for each job put back:
 * - TW_OK: every job was handed over, or put back; the handle is freed.
 * - TW_E_STOPPENDING: the callback had not returned after 60 s. The reader
 *   thread is never terminated: it finishes that callback and ends without
 *   another. Every job the callback had not been given is back in the
 *   mailbox, for the device's next reader; the heartbeat has ended and
 *   another process may serve the device. The handle stays valid: call
 *   TwStopDevice again (it waits up to 60 s more) until it returns TW_OK.
 * - TW_E_INCALLBACK: called in the device's own callback; nothing done.
 * - TW_E_INVALIDARG: not a handle of a served device.
 * A device served with TwServeDeviceQueued has the jobs still waiting in
 * its queue put back into the mailbox in the same way. */
TWRESULT WINAPI TwStopDevice(HTWDEVICE hDevice);

/* Reads the job on a command line as GetCommandLineA gives it (the program
 * name first, which is skipped) into *pJob, whose texts stay valid until
 * TwReleaseJob. *pJob is emptied on failure, but for cbSize. It only shows
 * a job: which job is the start job, it never changes. */
TWRESULT WINAPI TwReadCommandLineJob(const char* pszCommandLine, TWJOB* pJob);

/* Frees the texts of a job that TwReadCommandLineJob or TwGetJob filled and
 * empties it, but for cbSize; an empty job is left as it is. */
TWRESULT WINAPI TwReleaseJob(TWJOB* pJob);

/* Declares that the application records on a served device, from now until
 * TwEndRecording or the end of the process, whichever comes first: a power
 * command of Tickward (standby, shutdown, hibernation) waits for its end,
 * and the machine's own idle sleep is held off meanwhile (a power request
 * with pszReason where Windows has them, so that powercfg /requests names
 * it; before Windows 7 the calling thread's execution state, which holds
 * only while that thread lives: call both functions on one thread there).
 * pszReason, such as the file recorded into, is what an operator sees;
 * its first 127 bytes are kept. Several may overlap. A device's stop does
 * not end its recordings. TW_E_RECORDINGS when the table of recordings
 * cannot be opened or holds 32 already. */
TWRESULT WINAPI TwBeginRecording(HTWDEVICE hDevice, const char* pszReason, HTWRECORDING* phRecording);

/* Ends a declared recording and frees its handle. */
TWRESULT WINAPI TwEndRecording(HTWRECORDING hRecording);

/* Scheduling. A task starts Tickward (pszTickward: the full path of
 * tickward.exe) at the times of pszWhen, in the user's session, waking the
 * machine: "YYYY-MM-DD HH:MM" once, "daily HH:MM", or "weekly Mon,Thu HH:MM"
 * (Mon Tue Wed Thu Fri Sat Sun), local time; a recurring task's first start
 * is the next such time. pszName is the task's name in the Task Scheduler,
 * a folder before it if you like ("Tickward\News 20.15"). What Tickward
 * would refuse at night is refused now: the job (TW_E_BADJOB), the time
 * (TW_E_BADWHEN, TW_E_PAST), the program (TW_E_NOTICKWARD). A task is never
 * replaced: remove it first. Each function may take a few seconds; call it
 * on a thread that may wait, never in a job callback. */

/* Schedules the timer command pszTimerCommand ("<application path>";
 * <devices>;P: ...;EO: <n>, as Tickward takes it). */
TWRESULT WINAPI TwScheduleRecording(const char* pszName, const char* pszWhen, const char* pszTickward,
                                    const char* pszTimerCommand);

/* Schedules a power action: 2 standby, 3 shutdown, 4 hibernate. A power
 * action missed while the machine was off is not made up later. */
TWRESULT WINAPI TwSchedulePower(const char* pszName, const char* pszWhen, const char* pszTickward,
                                int nPowerAction);

/* Removes a task that Tickward scheduled, or any task of that name. */
TWRESULT WINAPI TwRemoveTask(const char* pszName);

/* Tickward's tasks, soonest first (those that start no more last), into
 * the array pTasks of nMax elements, whose first element's cbSize the
 * caller has set to sizeof(TWTASK); *pnTasks receives how many there are,
 * which may be more than nMax (pTasks may be NULL when nMax is 0). A task removed by hand in the
 * Task Scheduler is taken off the list, and not shown. Where the Task
 * Scheduler cannot be asked, the tasks are shown with bChecked clear. */
TWRESULT WINAPI TwListTasks(TWTASK* pTasks, DWORD nMax, DWORD* pnTasks);

#ifdef __cplusplus
}
#endif

#endif /* TWREADER_TWREADER_H */
