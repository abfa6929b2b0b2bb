// CShortView.cpp - a view that ends before an inaccessible page.
#include "tests/instance/CShortView.h"

CShortView::CShortView(DWORD dwBytes)
    : m_pView(NULL), m_pPages(NULL)
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    m_pPages = static_cast<BYTE*>(VirtualAlloc(NULL, 2 * info.dwPageSize, MEM_COMMIT | MEM_RESERVE,
                                               PAGE_READWRITE));
    DWORD dwOld = 0;
    if (m_pPages != NULL && dwBytes <= info.dwPageSize &&
        VirtualProtect(m_pPages + info.dwPageSize, info.dwPageSize, PAGE_NOACCESS, &dwOld))
        m_pView = m_pPages + info.dwPageSize - dwBytes;
}

CShortView::~CShortView()
{
    if (m_pPages != NULL)
        VirtualFree(m_pPages, 0, MEM_RELEASE);
}
