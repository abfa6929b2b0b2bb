// CReceiver.h - the example receiving application: heartbeat, mailbox
// reader and the handling of received jobs.
#ifndef RECEIVER_CRECEIVER_H
#define RECEIVER_CRECEIVER_H

#include "afx/afxmt.h"
#include "afx/afxwin.h"
#include "cmdline/CCmdLineParams.h"
#include "instance/CDeviceClaim.h"
#include "instance/CHeartbeat.h"
#include "receiver/CJobReader.h"
#include "thread/CWorkerStarter.h"

class CReceiver
{
public:
    // dwJobPause: the reader's pause after each job, in ms; pszLog: the job
    // log, NULL for GetDefaultLogPath.
    CReceiver(int nDeviceType, int nDeviceIndex, DWORD dwJobPause = CCmdLineProcess::COMMAND_PAUSE,
              LPCSTR pszLog = NULL);
    virtual ~CReceiver();

    // The process exit codes of Run.
    enum
    {
        exitStopped = 0,
        exitFailed = 1,     // the heartbeat or the reader could not be started
        exitServed = 2      // another process serves the device: nothing done
    };

    // Handles pszJob (a job in mailbox form, may be empty), then serves the
    // mailbox until a stop is requested. Returns the process exit code.
    int Run(LPCSTR pszJob);
    void RequestStop();

    // Asks the receiver of this device, running in another process, to stop.
    static BOOL SignalStop(int nDeviceType, int nDeviceIndex);

    // "Tickward\receiver-<type>-<index>.log" in the user's local application
    // data folder, beside Tickward's journal (the folder is made when
    // missing): a standard user cannot write beside a program under Program
    // Files. "<program path>.log" where there is no such folder.
    static CString GetDefaultLogPath(int nDeviceType, int nDeviceIndex);

    DWORD m_dwRecord;   // ms of the recording declared after each job; 0: none

private:
    // A recording of m_dwRecord ms into strFile, declared on a thread of
    // its own (which begins and ends it), so that the reader goes on.
    void Record(const CString& strFile);
    static DWORD WINAPI RecordThread(LPVOID pParam);
    static void OnMailboxJob(CCmdLineParams* pParams);
    static void OnStartJobCopy(CCmdLineParams* pParams);
    BOOL StartReader();
    void StopReader();
    void HandleCommandLineJob(LPCSTR pszJob);
    void HandleJob(CCmdLineParams& params, LPCSTR pszSource);
    void Print(const CString& strLine);
    static void PrintTo(const CString& strLogPath, const CString& strLine);

    static CReceiver* s_pReceiver;  // the callback has no context of its own

    int m_nDeviceType;
    int m_nDeviceIndex;
    CEvent m_evStop;
    CDeviceClaim m_claim;
    CHeartbeat m_heartbeat;
    CWorkerStarter m_starter;       // before the reader: the reader goes first
    CJobReader m_reader;
    CString m_strLogPath;
};

#endif // RECEIVER_CRECEIVER_H
