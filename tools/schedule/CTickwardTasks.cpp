// CTickwardTasks.cpp - the tasks twsched has created, and their removal.
#include "tools/schedule/CTickwardTasks.h"

#include <stdio.h>

namespace
{
const char LIST_KEY[] = "SOFTWARE\\Tickward\\Tasks";
// More tasks than an operator makes by hand; the rest go at the next cleanup.
const DWORD MAX_TASKS = 256;

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

// The folder ("\" or "\A\B") and the task's own name of a name as schtasks
// takes it ("A\B\Name", with or without the leading "\").
void SplitName(const CString& strName, CString& strFolder, CString& strLeaf)
{
    const int nLast = strName.ReverseFind('\\');
    strLeaf = strName.Mid(nLast + 1);
    strFolder = nLast <= 0 ? CString() : strName.Left(nLast);
    if (strFolder.IsEmpty() || strFolder[0] != '\\')
        strFolder = CString("\\") + strFolder;
}
}

CTickwardTasks::CTickwardTasks()
    : m_pService(NULL), m_bComStarted(FALSE)
{
}

CTickwardTasks::~CTickwardTasks()
{
    Release(m_pService);
    if (m_bComStarted)
        ::CoUninitialize();
}

BOOL CTickwardTasks::Remember(const CString& strName)
{
    HKEY hKey = NULL;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, LIST_KEY, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, NULL, &hKey,
                          NULL) != ERROR_SUCCESS)
        return FALSE;
    const BOOL bListed = ::RegSetValueExA(hKey, strName, 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1) == ERROR_SUCCESS;
    ::RegCloseKey(hKey);
    return bListed;
}

void CTickwardTasks::Forget(const CString& strName)
{
    HKEY hKey = NULL;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, LIST_KEY, 0, KEY_SET_VALUE | KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return;
    ::RegDeleteValueA(hKey, strName);
    ::RegCloseKey(hKey);
    RemoveKeyIfEmpty(LIST_KEY);
}

void CTickwardTasks::RemoveKeyIfEmpty(LPCSTR pszKey)
{
    HKEY hKey = NULL;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, pszKey, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return;
    DWORD dwKeys = 1, dwValues = 1;
    ::RegQueryInfoKeyA(hKey, NULL, NULL, NULL, &dwKeys, NULL, NULL, &dwValues, NULL, NULL, NULL, NULL);
    ::RegCloseKey(hKey);
    if (dwKeys == 0 && dwValues == 0)
        ::RegDeleteKeyA(HKEY_CURRENT_USER, pszKey);
}

BOOL CTickwardTasks::Connect()
{
    m_bComStarted = SUCCEEDED(::CoInitializeEx(NULL, COINIT_APARTMENTTHREADED));
    if (FAILED(::CoCreateInstance(CLSID_TaskScheduler, NULL, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                  reinterpret_cast<void**>(&m_pService))))
        return FALSE;
    VARIANT empty;
    ::VariantInit(&empty);
    if (SUCCEEDED(m_pService->Connect(empty, empty, empty, empty)))
        return TRUE;
    Release(m_pService);
    return FALSE;
}

BOOL CTickwardTasks::RemoveAll()
{
    HKEY hKey = NULL;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, LIST_KEY, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return TRUE;
    // Read first: removing takes the names off the list.
    CString astrNames[MAX_TASKS];
    DWORD dwNames = 0;
    char szName[MAX_PATH];
    for (DWORD cchName = sizeof(szName); dwNames < MAX_TASKS
         && ::RegEnumValueA(hKey, dwNames, szName, &cchName, NULL, NULL, NULL, NULL) == ERROR_SUCCESS;
         cchName = sizeof(szName))
        astrNames[dwNames++] = szName;
    ::RegCloseKey(hKey);
    BOOL bAllGone = TRUE;
    for (DWORD i = 0; i < dwNames; ++i)
        bAllGone = Remove(astrNames[i]) && bAllGone;
    return bAllGone;
}

// The folder of the named task while it holds that task, else NULL.
ITaskFolder* CTickwardTasks::FolderHolding(const CString& strName, CString& strFolder, CString& strLeaf)
{
    SplitName(strName, strFolder, strLeaf);
    CBstr bstrFolder(strFolder), bstrLeaf(strLeaf);
    ITaskFolder* pFolder = NULL;
    IRegisteredTask* pTask = NULL;
    const BOOL bThere = m_pService != NULL && SUCCEEDED(m_pService->GetFolder(bstrFolder.m_bstr, &pFolder))
                        && SUCCEEDED(pFolder->GetTask(bstrLeaf.m_bstr, &pTask));
    Release(pTask);
    if (!bThere)
        Release(pFolder);
    return pFolder;
}

BOOL CTickwardTasks::Exists(const CString& strName)
{
    CString strFolder, strLeaf;
    ITaskFolder* pFolder = FolderHolding(strName, strFolder, strLeaf);
    const BOOL bThere = pFolder != NULL;
    Release(pFolder);
    return bThere;
}

BOOL CTickwardTasks::Remove(const CString& strName)
{
    CString strFolder, strLeaf;
    ITaskFolder* pFolder = FolderHolding(strName, strFolder, strLeaf);
    CBstr bstrLeaf(strLeaf);
    const BOOL bThere = pFolder != NULL;
    const BOOL bGone = !bThere || SUCCEEDED(pFolder->DeleteTask(bstrLeaf.m_bstr, 0));
    Release(pFolder);
    printf("twsched: remove \"%s\": %s\n", static_cast<LPCSTR>(strName),
           !bThere ? "gone already" : bGone ? "done" : "FAILED");
    if (bGone)
        Forget(strName);
    RemoveFolderIfEmpty(strFolder);
    return bGone;
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
