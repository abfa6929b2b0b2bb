// COrvaneApp.h - Tickward's application object.
//
// A scheduler starts Tickward with one command line; InitInstance carries out
// that one command and returns FALSE, so the process ends without a message
// loop. A power command ("-E;n") puts the machine into standby, shuts it down
// or hibernates it; anything else is a timer command, a recording job that is
// delivered to the receiving application.
//
// The exit code tells the scheduler the outcome of the run (see ExitCode).
#ifndef APP_CORVANEAPP_H
#define APP_CORVANEAPP_H

#include "afx/afxwin.h"
#include "app/CRunRecord.h"
#include "cmdline/ParseCmdLine.h"

class CCmdLineParams;
class CDeliveryOutcome;
class CInstanceCheck;
class CMailboxWriter;
class CPowerApi;
class CStartRecord;

class COrvaneApp : public CWinApp
{
public:
    // What a run tells its scheduler through the process exit code.
    enum ExitCode
    {
        exitDone = 0,           // nothing asked, or the command was carried out
        exitUnusable = 1,       // the command line cannot be used
        exitNotDelivered = 2,   // a usable timer command did not reach the application (a job in
                                // the mailbox of a dead application that could not be started
                                // has not reached it either)
        exitRecording = 3,      // a power command was not carried out: a recording was still
                                // declared when PowerWaitLimit ran out
        exitSlept = 4           // a power command was not carried out: the machine slept or
                                // hibernated while it waited for a recording
    };
    enum
    {
        CMDLINE_BUFFER_SIZE = TIMER_COMMAND_LIMIT,
        DISPATCH_BUFFER_SIZE = 260,
        DELIVERY_LOCK_TIMEOUT = 30000,  // ms; twenty runs at one minute fit well within it
        START_WINDOW = 60000            // ms an application that was started may take to its first heartbeat
    };

    COrvaneApp();
    virtual ~COrvaneApp();

// Overrides
    virtual BOOL InitInstance();
    virtual int ExitInstance();

// Operations
    virtual void DispatchCmdLine(LPCSTR pszText, int nLength);
    virtual void ExecuteCommand(int nCode);
    virtual void StartCmdlineProcess(LPCSTR pszText, int nLength);
    virtual int RunProgram(LPCSTR pszCommandLine);

    BOOL IsWindowsNT();
    void DoStandby();
    void DoShutdown();
    void DoHibernate();

    int GetExitCode() const { return m_nExitCode; }

    // Tests replace the operating-system calls of the power actions; NULL
    // restores the real ones. Returns the previous set.
    CPowerApi* SetPowerApi(CPowerApi* pPowerApi);

// Attributes
    char m_szCmdLine[CMDLINE_BUFFER_SIZE];  // the timer command as received
    DWORD m_dwStartWindow;                  // START_WINDOW; a test shortens it
    DWORD m_dwDeliveryLockTimeout;          // DELIVERY_LOCK_TIMEOUT; a test shortens it
    DWORD m_dwSettleTime;                   // CRecordingWait::SETTLE_TIME; a test shortens it

// Implementation
protected:
    void SetExitCode(int nExitCode) { m_nExitCode = nExitCode; }

private:
    void EnableShutdownPrivilege();
    BOOL StoreCmdLine(LPCSTR pszText, int nLength);
    void DeliverSerialised(CCmdLineParams& params, CInstanceCheck& check, CDeliveryOutcome& outcome);
    void Deliver(CCmdLineParams& params, CInstanceCheck& check, CDeliveryOutcome& outcome, BOOL bSerialised);
    void AwaitStart(CCmdLineParams& params, CInstanceCheck& check, CDeliveryOutcome& outcome);
    BOOL AwaitHeartbeat(CCmdLineParams& params, CInstanceCheck& check, DWORD dwCopy);
    BOOL IsAlive(CCmdLineParams& params, CInstanceCheck& check);
    BOOL TestLiveness(CCmdLineParams& params, CInstanceCheck& check, CDeliveryOutcome& outcome, BOOL bClear);
    BOOL PostToMailbox(CCmdLineParams& params, CDeliveryOutcome& outcome);
    void Launch(CCmdLineParams& params, CDeliveryOutcome& outcome);
    static CStartRecord StartRecordOf(CCmdLineParams& params);
    BOOL StartApplication(const CString& strAppPath, const CString& strCmdLine);
    void NoteRefusedProduct(LPCSTR pszProduct);
    int NotePost(const CMailboxWriter& writer);     // the CDeliveryOutcome::Post it was
    void WriteRequestToJournal(LPCSTR pszRequest);
    BOOL AwaitRecordings();

    int m_nExitCode;
    DWORD m_dwStartError;   // why the last RunProgram created no process
    DWORD m_dwStartedProcessId;
    CPowerApi* m_pPowerApi;
    CRunRecord m_record;    // the run's line in the journal
};

#endif // APP_CORVANEAPP_H
