// CSharedMemory.cpp - a block of memory shared between processes by name.
#include "instance/CSharedMemory.h"

#include <new>
#include <objbase.h>

#include "afx/AfxIsValidAddress.h"
#include "log/Log.h"

namespace
{
// Both object names are assembled in one buffer of this size; the mutex
// name is the longer one, so a block name may have at most 89 characters.
const int NAME_BUFFER_SIZE = 96;
const char FILE_PREFIX[] = "FILE_";
const char MUTEX_PREFIX[] = "MUTEX_";
const int MAX_NAME_LENGTH = NAME_BUFFER_SIZE - 1 - (sizeof(MUTEX_PREFIX) - 1);

const int GUID_TEXT_SIZE = 64;

typedef HRESULT (WINAPI *PFN_COCREATEGUID)(GUID* pGuid);
typedef int (WINAPI *PFN_STRINGFROMGUID2)(REFGUID rguid, LPOLESTR pszText, int nMax);

// A fresh GUID in its registry text form, braces included. The COM library
// is loaded only here: Tickward's one block has a fixed name, and loading
// the library at every start would cost each run time for nothing.
BOOL MakeGuidName(char* pszName)
{
    HMODULE hOle = ::LoadLibraryA("ole32.dll");
    if (hOle == NULL)
        return FALSE;
    PFN_COCREATEGUID pfnCoCreateGuid =
        reinterpret_cast<PFN_COCREATEGUID>(reinterpret_cast<void*>(::GetProcAddress(hOle, "CoCreateGuid")));
    PFN_STRINGFROMGUID2 pfnStringFromGUID2 =
        reinterpret_cast<PFN_STRINGFROMGUID2>(reinterpret_cast<void*>(::GetProcAddress(hOle, "StringFromGUID2")));
    GUID guid;
    WCHAR wszGuid[GUID_TEXT_SIZE];
    ZeroMemory(wszGuid, sizeof(wszGuid));
    const BOOL bMade = pfnCoCreateGuid != NULL && pfnStringFromGUID2 != NULL &&
                       SUCCEEDED(pfnCoCreateGuid(&guid)) && pfnStringFromGUID2(guid, wszGuid, GUID_TEXT_SIZE) != 0;
    ::FreeLibrary(hOle);
    return bMade && ::WideCharToMultiByte(CP_ACP, 0, wszGuid, -1, pszName, GUID_TEXT_SIZE, NULL, NULL) != 0;
}

void AssembleName(char* pszBuffer, LPCSTR pszPrefix, LPCSTR pszName)
{
    ZeroMemory(pszBuffer, NAME_BUFFER_SIZE);
    lstrcpyA(pszBuffer, pszPrefix);
    lstrcatA(pszBuffer, pszName);
}
}

CSharedMemory::CSharedMemory()
    : m_pView(NULL),
      m_dwSize(0),
      m_hMapping(NULL),
      m_pMutex(NULL),
      m_bCreated(FALSE)
{
}

CSharedMemory::~CSharedMemory()
{
    Delete();
    m_strName.Empty();
}

int CSharedMemory::Create(DWORD dwSize, LPCSTR pszName)
{
    // A second Create would lose the block already held.
    if (m_hMapping != NULL)
        return 0;

    char szGuidName[GUID_TEXT_SIZE];
    ZeroMemory(szGuidName, sizeof(szGuidName));
    if (pszName == NULL)
    {
        if (!MakeGuidName(szGuidName))
            return 0;
        pszName = szGuidName;
    }
    // A longer name would not fit the name buffer.
    if (lstrlenA(pszName) > MAX_NAME_LENGTH)
        return 0;

    char szObjectName[NAME_BUFFER_SIZE];
    AssembleName(szObjectName, FILE_PREFIX, pszName);
    HANDLE hMapping = ::CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE,
                                           0, dwSize, szObjectName);
    m_bCreated = ::GetLastError() == ERROR_ALREADY_EXISTS ? FALSE : TRUE;
    if (hMapping == NULL || hMapping == INVALID_HANDLE_VALUE)
        return 0;

    // The mutex is taken at creation, so that no other process can use the
    // block before this one has recorded it; released again once it has.
    if (!Attach(hMapping, FILE_MAP_ALL_ACCESS, TRUE, dwSize, pszName))
        return 0;
    m_pMutex->Unlock();
    return 1;
}

int CSharedMemory::Open(DWORD dwSize, LPCSTR pszName)
{
    if (m_hMapping != NULL || pszName == NULL || lstrlenA(pszName) > MAX_NAME_LENGTH)
        return 0;
    char szObjectName[NAME_BUFFER_SIZE];
    AssembleName(szObjectName, FILE_PREFIX, pszName);
    HANDLE hMapping = ::OpenFileMappingA(FILE_MAP_READ, FALSE, szObjectName);
    if (hMapping == NULL)
        return 0;
    // The block's maker made its mutex before anyone could see the block,
    // so this opens that mutex.
    return Attach(hMapping, FILE_MAP_READ, FALSE, dwSize, pszName);
}

// Maps the view of hMapping and gets the block's mutex; keeps all three, or,
// when one of them fails, gives back what it got, hMapping included.
int CSharedMemory::Attach(HANDLE hMapping, DWORD dwAccess, BOOL bOwnMutex, DWORD dwSize, LPCSTR pszName)
{
    void* pView = ::MapViewOfFile(hMapping, dwAccess, 0, 0, 0);
    char szObjectName[NAME_BUFFER_SIZE];
    AssembleName(szObjectName, MUTEX_PREFIX, pszName);
    CMutex* pMutex = pView != NULL ? new (std::nothrow) CMutex(bOwnMutex, szObjectName, NULL) : NULL;
    if (pMutex == NULL || pMutex->m_hObject == NULL)
    {
        delete pMutex;
        if (pView != NULL)
            ::UnmapViewOfFile(pView);
        ::CloseHandle(hMapping);
        return 0;
    }
    m_dwSize = dwSize;
    m_strName = pszName;
    m_pMutex = pMutex;
    m_hMapping = hMapping;
    m_pView = pView;
    return 1;
}

int CSharedMemory::Delete()
{
    if (m_hMapping == NULL)
    {
        DebugOutput("\nCSharedMemory::Delete () m_hMapping = NULL   SharedMemory not Create?");
        return 0;
    }
    if (m_pView == NULL)
    {
        DebugOutput("\nCSharedMemory::Delete () p = NULL   SharedMemory not Create?");
        return 0;
    }
    if (!AfxIsValidAddress(m_pView, m_dwSize, FALSE))
    {
        DebugOutput("\nCSharedMemory::Delete () AfxIsValidAddress() = FALSE");
        return 0;
    }
    if (m_pMutex == NULL)
    {
        DebugOutput("\nCSharedMemory::Delete () AfxIsValidAddress() = FALSE");
        return 0;
    }

    m_dwSize = 0;
    m_strName.Empty();
    delete m_pMutex;
    m_pMutex = NULL;
    ::UnmapViewOfFile(m_pView);
    m_pView = NULL;
    ::CloseHandle(m_hMapping);
    m_hMapping = NULL;
    m_bCreated = FALSE;
    return 1;
}

int CSharedMemory::Lock()
{
    if (m_pMutex == NULL)
        return 0;
    m_pMutex->Lock(INFINITE);
    return 1;
}

int CSharedMemory::TryLock(DWORD dwTimeout)
{
    if (m_pMutex == NULL)
        return 0;
    return m_pMutex->Lock(dwTimeout) ? 1 : 0;
}

int CSharedMemory::Unlock()
{
    if (m_pMutex == NULL)
        return 0;
    m_pMutex->Unlock();
    return 1;
}

DWORD CSharedMemory::GetValidSize() const
{
    if (m_pView == NULL)
        return 0;
    // The view may be smaller than the size asked for when another process
    // made the block first; count the accessible bytes of the view's own
    // allocation from its first byte on.
    const ULONG_PTR uStart = reinterpret_cast<ULONG_PTR>(m_pView);
    MEMORY_BASIC_INFORMATION info;
    ZeroMemory(&info, sizeof(info));
    if (::VirtualQuery(m_pView, &info, sizeof(info)) != sizeof(info))
        return 0;
    const PVOID pAllocation = info.AllocationBase;
    ULONG_PTR uEnd = uStart;
    while (uEnd - uStart < m_dwSize)
    {
        if (::VirtualQuery(reinterpret_cast<LPCVOID>(uEnd), &info, sizeof(info)) != sizeof(info)
            || info.AllocationBase != pAllocation)
            break;
        const ULONG_PTR uRegionEnd = reinterpret_cast<ULONG_PTR>(info.BaseAddress) + info.RegionSize;
        // A region is alike throughout, so its first byte speaks for all.
        // Readable is enough: a view made for writing is writable wherever
        // it is readable, and one opened for reading is never written.
        if (uRegionEnd <= uEnd || !AfxIsValidAddress(reinterpret_cast<LPCVOID>(uEnd), 1, FALSE))
            break;
        uEnd = uRegionEnd;
    }
    const ULONG_PTR uValid = uEnd - uStart;
    return uValid < m_dwSize ? static_cast<DWORD>(uValid) : m_dwSize;
}
