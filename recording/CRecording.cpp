// CRecording.cpp - one declared recording.
#include "recording/CRecording.h"

namespace
{
// The power request calls of Windows 7 and later, looked up: older Windows
// lacks them, and the program must still load there.
struct SReasonContext
{
    ULONG ulVersion;
    DWORD dwFlags;
    LPWSTR pszSimpleString;
};
const ULONG REASON_CONTEXT_VERSION = 0;
const DWORD REASON_SIMPLE_STRING = 0x1;
const int POWER_REQUEST_SYSTEM_REQUIRED = 1;
typedef HANDLE(WINAPI* PFN_POWERCREATEREQUEST)(SReasonContext*);
typedef BOOL(WINAPI* PFN_POWERSETREQUEST)(HANDLE, int);
typedef BOOL(WINAPI* PFN_POWERCLEARREQUEST)(HANDLE, int);

FARPROC PowerFunction(LPCSTR pszName)
{
    return ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), pszName);
}
}

CRecording::CRecording()
    : m_nEntry(-1), m_dwCookie(0), m_hPowerRequest(NULL), m_bThreadState(FALSE)
{
}

CRecording::~CRecording()
{
    End();
}

BOOL CRecording::Begin(int nDeviceType, int nDeviceIndex, LPCSTR pszReason)
{
    if (m_nEntry >= 0 || !m_table.Open())
        return FALSE;
    m_nEntry = m_table.Declare(nDeviceType, nDeviceIndex, pszReason, m_dwCookie);
    if (m_nEntry < 0)
        return FALSE;
    HoldAwake(pszReason);
    return TRUE;
}

void CRecording::End()
{
    if (m_nEntry < 0)
        return;
    m_table.End(m_nEntry, m_dwCookie);
    m_nEntry = -1;
    ReleaseAwake();
}

void CRecording::HoldAwake(LPCSTR pszReason)
{
    const PFN_POWERCREATEREQUEST pfnCreate =
        reinterpret_cast<PFN_POWERCREATEREQUEST>(reinterpret_cast<void*>(PowerFunction("PowerCreateRequest")));
    const PFN_POWERSETREQUEST pfnSet =
        reinterpret_cast<PFN_POWERSETREQUEST>(reinterpret_cast<void*>(PowerFunction("PowerSetRequest")));
    if (pfnCreate != NULL && pfnSet != NULL)
    {
        WCHAR szReason[RecordingTable::REASON_LIMIT] = L"";
        ::MultiByteToWideChar(CP_ACP, 0, pszReason != NULL ? pszReason : "", -1, szReason,
                              RecordingTable::REASON_LIMIT - 1);
        SReasonContext context = { REASON_CONTEXT_VERSION, REASON_SIMPLE_STRING, szReason };
        const HANDLE hRequest = pfnCreate(&context);
        if (hRequest != INVALID_HANDLE_VALUE && hRequest != NULL && pfnSet(hRequest, POWER_REQUEST_SYSTEM_REQUIRED))
        {
            m_hPowerRequest = hRequest;
            return;
        }
        if (hRequest != INVALID_HANDLE_VALUE && hRequest != NULL)
            ::CloseHandle(hRequest);
    }
    m_bThreadState = ::SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) != 0;
}

void CRecording::ReleaseAwake()
{
    if (m_hPowerRequest != NULL)
    {
        const PFN_POWERCLEARREQUEST pfnClear =
            reinterpret_cast<PFN_POWERCLEARREQUEST>(reinterpret_cast<void*>(PowerFunction("PowerClearRequest")));
        if (pfnClear != NULL)
            pfnClear(m_hPowerRequest, POWER_REQUEST_SYSTEM_REQUIRED);
        ::CloseHandle(m_hPowerRequest);
        m_hPowerRequest = NULL;
    }
    if (m_bThreadState)
        ::SetThreadExecutionState(ES_CONTINUOUS);
    m_bThreadState = FALSE;
}
