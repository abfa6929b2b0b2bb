// CCmdLineProcess.h - the reading end of the registry command mailbox.
//
// Holds: CCmdLineProcess, g_RegistryCallback.
//
// The receiving application runs one reader on a worker thread (started
// with CWorkerStarter, which signals the event once so that the first round
// drains what is already waiting and arms the change notification on the
// worker thread itself). Each wake-up of the event is one round: take every
// slot meant for this device (marking it "xxx"), hand each parsed command to
// g_RegistryCallback and pause 10 s, delete the consumed slots, pause 100 ms,
// arm the change notification again (and go round at once if a job for this
// device was posted meanwhile, which no notification caught).
//
// The owner sets m_pRegistryChangeEvent (an event; the reader owns and
// deletes it), m_strRegistryKey, m_wDeviceType and m_wDeviceIndex before the
// start, and m_pHeartbeat, its heartbeat, which StopReader ends, and
// m_pClaim, its claim of the device, which StopReader gives up with the
// heartbeat. Until the device pair is set (0xFFFF) no slot is ever taken.
//
// StopReader loses no job that a Tickward run saw the application alive
// for, and takes none that a run posted for the next copy: under the
// delivery mutex it ends the heartbeat and marks every job left for its
// device, then the worker hands those over and ends (docs/design.md). The
// worker is never terminated: a stop whose bound runs out while the worker
// is held up in the application's callback puts the jobs not yet handed
// over back into the mailbox, for the device's next reader.
#ifndef MAILBOX_CCMDLINEPROCESS_H
#define MAILBOX_CCMDLINEPROCESS_H

#include "afx/afxmt.h"
#include "afx/CString.h"
#include "mailbox/CMarkedJobs.h"
#include "mailbox/CStartJob.h"
#include "thread/CWorkerThread.h"

class CCmdLineParams;
class CDeviceClaim;
class CHeartbeat;
class CRegistry;

// The receiving application's handler of one parsed command, called on the
// reader's worker thread. The record lives until the pause after the call.
typedef void (*PFN_REGISTRYCALLBACK)(CCmdLineParams* pParams);
extern PFN_REGISTRYCALLBACK g_RegistryCallback;

class CCmdLineProcess : public CWorkerThread
{
public:
    // Pauses of a round.
    static const DWORD COMMAND_PAUSE = 10000;   // after each command handed over
    static const DWORD REARM_PAUSE = 100;       // between the drain and the re-arming
    static const DWORD IDLE_PAUSE = 100;        // no event to wait on, or the wait failed
    // How long a stop waits for the runs that test the heartbeat; as long as
    // a run waits for another.
    static const DWORD STOP_DELIVERY_WAIT = 30000;

    // How StopReader ended.
    enum
    {
        stopNotRunning = 0,     // no worker was running, nor held up by an earlier stop
        stopAsked = 1,          // called on the worker: it stops once its callback returns
        stopEnded = 2,          // the worker has ended; every marked job was handed over
        stopWorkerHeld = 3      // the bound ran out with the worker still in its callback
    };

// Constructors
    CCmdLineProcess();
    virtual ~CCmdLineProcess();

// Overridables
    // The watcher loop; 0 when it ends.
    virtual int Run();

// Operations
    // TRUE for the supported product, with its mailbox key in strKey; for
    // every other code a message box tells the user, and strKey is empty.
    // Writer and reader both use it.
    static BOOL GetRegistryKey(const CString& strProduct, CString& strKey);

    // The one way for the owner to end the reader: asks the worker to stop
    // and wakes it from its wait or pause. On another thread than the
    // worker it then takes the delivery mutex (at most STOP_DELIVERY_WAIT),
    // ends m_pHeartbeat, gives m_pClaim up, marks every job for its device
    // and gives the mutex back; the worker takes no more jobs in its drain,
    // hands the marked ones over without pauses and ends. Messages sent to
    // the stopping thread are answered while it waits. Returns within
    // dwTimeout (and the mailbox lock's waits): stopWorkerHeld when the
    // worker is still in a callback then, with every job not yet handed
    // over put back into the mailbox; a later call waits for the worker
    // again. The worker is never terminated. Called on the worker (in the
    // callback), it only asks, and the worker does the rest once the
    // callback returns.
    int StopReader(DWORD dwTimeout);

    void CheckRegistryComanndos();
    // Takes the next job for this device. Named with the A of its 8-bit
    // text: windows.h turns GetCommandLine into GetCommandLineW in a UNICODE
    // build, which would declare a member that the library does not have.
    // Beware in a class derived from the reader: this member hides the
    // Windows function of the same name there, so an unqualified
    // GetCommandLineA() in one of its members does not compile; write
    // ::GetCommandLineA() for the process's own command line.
    BOOL GetCommandLineA(CString& strCmdLine);
    BOOL IsValidCmdLine(LPCSTR pszCmdLine);
    void DeleteAllRegistryKeys();
    void SetRegistryNotifyOn();
    BOOL OpenRegistry();

// Attributes
    BOOL m_bBusy;                           // a drain is in progress
    HKEY m_hRegKey;                         // the armed mailbox key
    CSyncObject* m_pRegistryChangeEvent;    // owned from the moment the owner sets it
    BOOL m_bStop;                           // stop request of the owner
    CString m_strRegistryKey;               // mailbox key under HKEY_CURRENT_USER
    WORD m_wDeviceType;
    WORD m_wDeviceIndex;
    CHeartbeat* m_pHeartbeat;               // not owned; NULL when the owner keeps none
    CDeviceClaim* m_pClaim;                 // not owned; NULL when the owner holds none
    // The job the application was started with, remembered by the owner
    // before the start: its mailbox copy is dropped, with no callback and
    // no pause, until a drain ends having taken every job for the device.
    CStartJob m_startJob;

protected:
    // Every pause of the reader goes through here (a test shortens them).
    // The reader's own ends early when a stop is asked.
    virtual void Pause(DWORD dwMilliseconds);
    // Arms the change notification of hKey on hEvent (a test changes the
    // mailbox right after it).
    virtual LONG ArmNotification(HKEY hKey, HANDLE hEvent);
    // Writes the consumed mark into a slot just found; FALSE when the
    // registry refused it (a test refuses it).
    virtual BOOL MarkConsumed(CRegistry& registry, LPCSTR pszSlot);
    // Hands one parsed command to the application, on the worker: to
    // g_RegistryCallback, unless a derived reader has a handler of its own.
    virtual void OnCommand(CCmdLineParams* pParams);
    // Called on the worker for the mailbox copy of m_startJob, which is dropped.
    virtual void OnStartJobCopy(CCmdLineParams* pParams);
    // Called on the worker when a drain has ended having taken every job for
    // this device, and its slots are deleted; m_startJob is forgotten then.
    // A drain cut short by a stop, or one that left a job it could not mark,
    // does not end so: the stop's hand-over or the next drain takes the rest.
    virtual void OnDrainEnd();
    // Posts a job the application was never given back into the mailbox,
    // for the device's next reader; the start job's copy is dropped.
    void PutBack(const CString& strCmdLine);

private:
    // The device filter without its messages; bParsed tells whether the
    // device list could be read at all.
    BOOL IsForThisDevice(LPCSTR pszCmdLine, BOOL& bParsed) const;
    BOOL HasJobWaiting() const;
    BOOL WaitForChange();
    void HandOver(const CString& strCmdLine, BOOL bPause);
    void HandOverAtStop();
    void EndAndMark();
    void Keep(const CString& strCmdLine);
    int WaitForWorker(DWORD dwStart, DWORD dwTimeout);
    void NoteUnmarked(LPCSTR pszSlot, const CString& strCmdLine);
    void CloseRegistry();

    CEvent m_evStopAsked;       // set by StopReader: pauses end early
    CEvent m_evMarked;          // set by a stopping thread once it has marked the last jobs
    BOOL m_bHandOverAtStop;     // StopReader asked: the last jobs go under the delivery mutex
    BOOL m_bStopOnWorker;       // asked in a callback: the worker marks the last jobs itself
    BOOL m_bWorkerHeld;         // the last stop ran out of time; the owner's thread only
    CMarkedJobs m_marked;       // marked, not yet handed over
    BOOL m_bMarkFailed;         // in this drain
    CString m_strUnmarked;      // the last job whose mark failed, reported once

    CCmdLineProcess(const CCmdLineProcess&);
    CCmdLineProcess& operator=(const CCmdLineProcess&);
};

#endif // MAILBOX_CCMDLINEPROCESS_H
