// Tests of the product code to mailbox key mapping.
#include "mailbox/CCmdLineProcess.h"

#include <gtest/gtest.h>

#include "tests/support/MailboxSupport.h"
#include "tests/support/TestSupport.h"

TEST(CCmdLineProcessGetRegistryKey, SupportedProductHasTheMailboxKey)
{
    CMessageBoxRecorder boxes;
    CString strKey("previous");
    EXPECT_TRUE(CCmdLineProcess::GetRegistryKey("_SEL", strKey));
    EXPECT_STREQ(MAILBOX_KEY, strKey);
    EXPECT_TRUE(boxes.Texts().empty());
}

namespace
{
// Each code is refused with one message box and an empty key.
void ExpectRefused(const char* const* apszCodes, size_t nCodes, const char* pszBox)
{
    for (size_t i = 0; i < nCodes; ++i)
    {
        SCOPED_TRACE(apszCodes[i]);
        CMessageBoxRecorder boxes;
        CString strKey("previous");
        EXPECT_FALSE(CCmdLineProcess::GetRegistryKey(apszCodes[i], strKey));
        EXPECT_STREQ("", strKey);
        ASSERT_EQ(1u, boxes.Texts().size());
        EXPECT_EQ(pszBox, boxes.Texts()[0]);
        EXPECT_EQ(static_cast<UINT>(MB_OK), boxes.Styles()[0]);
    }
}
}

TEST(CCmdLineProcessGetRegistryKey, KnownProductsWithoutMailbox)
{
    const char* const apszCodes[] = { "_KVE", "_LOR", "_MIT", "_NAR", "NAR2" };
    ExpectRefused(apszCodes, sizeof(apszCodes) / sizeof(apszCodes[0]),
                  "CCmdLineProcess::GetRegistryKey() Hier fehlt noch was!");
}

TEST(CCmdLineProcessGetRegistryKey, UnknownProducts)
{
    const char* const apszCodes[] = { "_sel", "_SEL ", "", "SEL", "_SELX" };
    ExpectRefused(apszCodes, sizeof(apszCodes) / sizeof(apszCodes[0]),
                  "CCmdLineProcess::GetRegistryKey() Unknow Product!");
}
