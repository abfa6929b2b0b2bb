// CTickwardTasks.cpp - Tickward's tasks through the Task Scheduler 2.0 interface.
#include "schedule/CTickwardTasks.h"

namespace
{
// A wide copy of an 8-bit text, freed where it goes out of scope.
class CBstr
{
public:
    explicit CBstr(const CString& str) : m_bstr(NULL)
    {
        const int nChars = ::MultiByteToWideChar(CP_ACP, 0, str, -1, NULL, 0);
        m_bstr = nChars > 0 ? ::SysAllocStringLen(NULL, static_cast<UINT>(nChars - 1)) : NULL;
        if (m_bstr != NULL)
            ::MultiByteToWideChar(CP_ACP, 0, str, -1, m_bstr, nChars);
    }
    ~CBstr() { ::SysFreeString(m_bstr); }
    BSTR m_bstr;

private:
    CBstr(const CBstr&);
    CBstr& operator=(const CBstr&);
};

template <class T>
void Release(T*& p)
{
    if (p != NULL)
        p->Release();
    p = NULL;
}

// The folder ("\" or "\A\B") and the task's own name of a name as the Task
// Scheduler takes it ("A\B\Name", with or without the leading "\").
void SplitName(const CString& strName, CString& strFolder, CString& strLeaf)
{
    const int nLast = strName.ReverseFind('\\');
    strLeaf = strName.Mid(nLast + 1);
    strFolder = nLast <= 0 ? CString() : strName.Left(nLast);
    if (strFolder.IsEmpty() || strFolder[0] != '\\')
        strFolder = CString("\\") + strFolder;
}

VARIANT EmptyVariant()
{
    VARIANT empty;
    ::VariantInit(&empty);
    return empty;
}
}

CTickwardTasks::CTickwardTasks()
    : m_hrLast(S_OK), m_pService(NULL), m_bComStarted(FALSE)
{
}

CTickwardTasks::~CTickwardTasks()
{
    Release(m_pService);
    if (m_bComStarted)
        ::CoUninitialize();
}

HRESULT CTickwardTasks::CreateService(ITaskService** ppService)
{
    return ::CoCreateInstance(CLSID_TaskScheduler, NULL, CLSCTX_INPROC_SERVER, IID_ITaskService,
                              reinterpret_cast<void**>(ppService));
}

int CTickwardTasks::Connect()
{
    if (m_pService != NULL)
        return resultDone;
    // A thread whose COM is set up otherwise already can use it as it is.
    if (!m_bComStarted)
        m_bComStarted = SUCCEEDED(::CoInitializeEx(NULL, COINIT_APARTMENTTHREADED));
    m_hrLast = CreateService(&m_pService);
    if (m_hrLast == REGDB_E_CLASSNOTREG)
        return resultNoXmlTasks;
    const VARIANT empty = EmptyVariant();
    if (SUCCEEDED(m_hrLast))
        m_hrLast = m_pService->Connect(empty, empty, empty, empty);
    if (SUCCEEDED(m_hrLast))
        return resultDone;
    Release(m_pService);
    return resultNoScheduler;
}

IRegisteredTask* CTickwardTasks::Find(const CString& strName, ITaskFolder** ppFolder)
{
    CString strFolder, strLeaf;
    SplitName(strName, strFolder, strLeaf);
    CBstr bstrFolder(strFolder), bstrLeaf(strLeaf);
    ITaskFolder* pFolder = NULL;
    IRegisteredTask* pTask = NULL;
    if (m_pService == NULL || FAILED(m_pService->GetFolder(bstrFolder.m_bstr, &pFolder))
        || FAILED(pFolder->GetTask(bstrLeaf.m_bstr, &pTask)))
        pTask = NULL;
    if (ppFolder != NULL && pTask != NULL)
        *ppFolder = pFolder;
    else
        Release(pFolder);
    return pTask;
}

BOOL CTickwardTasks::Exists(const CString& strName)
{
    IRegisteredTask* pTask = Find(strName, NULL);
    const BOOL bThere = pTask != NULL;
    Release(pTask);
    return bThere;
}

int CTickwardTasks::Add(const CString& strName, const CTaskDefinition& task)
{
    const DWORD dwAttributes = ::GetFileAttributesA(task.m_strProgram);
    if (dwAttributes == INVALID_FILE_ATTRIBUTES || (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return resultNoProgram;
    const int nConnected = Connect();
    if (nConnected != resultDone)
        return nConnected;
    if (Exists(strName))
        return resultExists;
    CBstr bstrRoot("\\"), bstrName(strName), bstrXml(task.GetXml());
    ITaskFolder* pRoot = NULL;
    IRegisteredTask* pTask = NULL;
    const VARIANT empty = EmptyVariant();
    m_hrLast = m_pService->GetFolder(bstrRoot.m_bstr, &pRoot);
    if (SUCCEEDED(m_hrLast))
        m_hrLast = pRoot->RegisterTask(bstrName.m_bstr, bstrXml.m_bstr, TASK_CREATE, empty, empty,
                                       TASK_LOGON_INTERACTIVE_TOKEN, empty, &pTask);
    Release(pTask);
    Release(pRoot);
    if (m_hrLast == HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS))
        return resultExists;
    if (FAILED(m_hrLast))
        return resultRefused;
    CScheduledTask record;
    record.Describe(strName, task);
    return record.Remember() ? resultDone : resultNotListed;
}

int CTickwardTasks::Remove(const CString& strName)
{
    const int nConnected = Connect();
    if (nConnected != resultDone)
        return nConnected;
    ITaskFolder* pFolder = NULL;
    IRegisteredTask* pTask = Find(strName, &pFolder);
    Release(pTask);
    if (pFolder == NULL)
    {
        CScheduledTask::Forget(strName);
        return resultNoTask;
    }
    CString strFolder, strLeaf;
    SplitName(strName, strFolder, strLeaf);
    CBstr bstrLeaf(strLeaf);
    m_hrLast = pFolder->DeleteTask(bstrLeaf.m_bstr, 0);
    Release(pFolder);
    if (FAILED(m_hrLast))
        return resultRefused;
    CScheduledTask::Forget(strName);
    RemoveFolderIfEmpty(strFolder);
    return resultDone;
}

// The folder a task's name made goes with its last task; one that holds
// anything is refused.
void CTickwardTasks::RemoveFolderIfEmpty(const CString& strFolder)
{
    CString strParent, strLeaf;
    SplitName(strFolder, strParent, strLeaf);
    if (strLeaf.IsEmpty())
        return;
    CBstr bstrParent(strParent), bstrLeaf(strLeaf);
    ITaskFolder* pParent = NULL;
    if (SUCCEEDED(m_pService->GetFolder(bstrParent.m_bstr, &pParent)))
        pParent->DeleteFolder(bstrLeaf.m_bstr, 0);
    Release(pParent);
}

// What the Task Scheduler tells of a task: whether it is there, enabled,
// and wakes the machine. Its times and action are not compared: Wine's
// Task Scheduler does not keep them.
void CTickwardTasks::Check(CScheduledTask& task)
{
    IRegisteredTask* pTask = Find(task.m_strName, NULL);
    task.m_nState = pTask != NULL ? CScheduledTask::stateRegistered : CScheduledTask::stateGone;
    VARIANT_BOOL bEnabled = VARIANT_FALSE, bWakes = VARIANT_FALSE;
    ITaskDefinition* pDefinition = NULL;
    ITaskSettings* pSettings = NULL;
    if (pTask != NULL && SUCCEEDED(pTask->get_Enabled(&bEnabled)) && SUCCEEDED(pTask->get_Definition(&pDefinition))
        && SUCCEEDED(pDefinition->get_Settings(&pSettings)))
        pSettings->get_WakeToRun(&bWakes);
    Release(pSettings);
    Release(pDefinition);
    Release(pTask);
    task.m_bEnabled = bEnabled != VARIANT_FALSE;
    task.m_bWakes = bWakes != VARIANT_FALSE;
}

int CTickwardTasks::List(CScheduledTask* aTasks, int nMax, const SYSTEMTIME& now, BOOL bTidy)
{
    const int nTasks = CScheduledTask::ReadAll(aTasks, nMax, now);
    if (Connect() != resultDone)
        return nTasks;
    for (int i = 0; i < nTasks; ++i)
    {
        Check(aTasks[i]);
        if (bTidy && aTasks[i].m_nState == CScheduledTask::stateGone)
            CScheduledTask::Forget(aTasks[i].m_strName);
    }
    return nTasks;
}
