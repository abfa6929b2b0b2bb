// Tests of the framework's memory range test against real page protections.
#include "afx/AfxIsValidAddress.h"

#include <gtest/gtest.h>

namespace
{
// Two committed pages side by side, the second with its own protection.
class CTwoPages
{
public:
    explicit CTwoPages(DWORD dwSecondProtect)
    {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        m_dwPage = info.dwPageSize;
        m_pBase = static_cast<BYTE*>(VirtualAlloc(NULL, 2 * m_dwPage, MEM_COMMIT | MEM_RESERVE,
                                                  PAGE_READWRITE));
        DWORD dwOld = 0;
        if (m_pBase != NULL)
            VirtualProtect(m_pBase + m_dwPage, m_dwPage, dwSecondProtect, &dwOld);
    }
    virtual ~CTwoPages()
    {
        if (m_pBase != NULL)
            VirtualFree(m_pBase, 0, MEM_RELEASE);
    }
    BYTE* m_pBase;
    DWORD m_dwPage;
};
}

TEST(AfxIsValidAddress, NullAndEmptyRanges)
{
    int nLocal = 0;
    EXPECT_FALSE(AfxIsValidAddress(NULL, 4, FALSE));
    EXPECT_FALSE(AfxIsValidAddress(NULL, 0, FALSE));
    EXPECT_TRUE(AfxIsValidAddress(&nLocal, 0, TRUE));
    EXPECT_TRUE(AfxIsValidAddress(&nLocal, sizeof(nLocal), TRUE));
    EXPECT_TRUE(AfxIsValidAddress(&nLocal, sizeof(nLocal)));   // read-write by default
}

TEST(AfxIsValidAddress, ReadOnlyPageIsValidOnlyForReading)
{
    CTwoPages pages(PAGE_READONLY);
    ASSERT_TRUE(pages.m_pBase != NULL);
    BYTE* pSecond = pages.m_pBase + pages.m_dwPage;
    EXPECT_TRUE(AfxIsValidAddress(pSecond, pages.m_dwPage, FALSE));
    EXPECT_FALSE(AfxIsValidAddress(pSecond, pages.m_dwPage, TRUE));
    // A range across both pages is judged by every page it touches.
    EXPECT_TRUE(AfxIsValidAddress(pSecond - 8, 16, FALSE));
    EXPECT_FALSE(AfxIsValidAddress(pSecond - 8, 16, TRUE));
    EXPECT_TRUE(AfxIsValidAddress(pSecond - 8, 8, TRUE));
}

TEST(AfxIsValidAddress, RangeReachingANoAccessPageIsInvalid)
{
    CTwoPages pages(PAGE_NOACCESS);
    ASSERT_TRUE(pages.m_pBase != NULL);
    BYTE* pSecond = pages.m_pBase + pages.m_dwPage;
    EXPECT_TRUE(AfxIsValidAddress(pages.m_pBase, pages.m_dwPage, FALSE));
    EXPECT_FALSE(AfxIsValidAddress(pages.m_pBase, pages.m_dwPage + 1, FALSE));
    EXPECT_FALSE(AfxIsValidAddress(pSecond - 1, 2, FALSE));
    EXPECT_FALSE(AfxIsValidAddress(pSecond, 1, FALSE));
}

TEST(AfxIsValidAddress, GuardPageIsInvalid)
{
    CTwoPages pages(PAGE_READWRITE | PAGE_GUARD);
    ASSERT_TRUE(pages.m_pBase != NULL);
    EXPECT_FALSE(AfxIsValidAddress(pages.m_pBase + pages.m_dwPage, 4, FALSE));
}

TEST(AfxIsValidAddress, ReservedButUncommittedMemoryIsInvalid)
{
    void* pReserved = VirtualAlloc(NULL, 65536, MEM_RESERVE, PAGE_READWRITE);
    ASSERT_TRUE(pReserved != NULL);
    EXPECT_FALSE(AfxIsValidAddress(pReserved, 4, FALSE));
    VirtualFree(pReserved, 0, MEM_RELEASE);
}

TEST(AfxIsValidAddress, RangeWrappingTheAddressSpaceIsInvalid)
{
    const void* pNearTop = reinterpret_cast<const void*>(~static_cast<ULONG_PTR>(0) - 15);
    EXPECT_FALSE(AfxIsValidAddress(pNearTop, 32, FALSE));
}
