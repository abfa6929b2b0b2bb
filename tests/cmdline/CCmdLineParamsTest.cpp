// Tests of the timer command record and its device-list accessors.
#include "cmdline/CCmdLineParams.h"

#include <gtest/gtest.h>

TEST(CCmdLineParams, FreshRecordHoldsTheInitialValues)
{
    CCmdLineParams params;
    EXPECT_EQ(0, params.m_nD);
    EXPECT_STREQ("", params.m_strProduct);
    EXPECT_STREQ("", params.m_strAppPath);
    EXPECT_STREQ("", params.m_strDevices);
    EXPECT_STREQ("", params.m_strKey);
    EXPECT_STREQ("", params.m_strFile);
    EXPECT_EQ(1, params.m_nFM);
    EXPECT_EQ(1, params.m_nTO);
    EXPECT_EQ(0, params.m_nSO);
    EXPECT_EQ(0, params.m_nEO);
}

TEST(CCmdLineParams, DeviceListRows)
{
    struct
    {
        const char* pszList;
        int nCount, nType, nIndex;
        const char* pszTrimmed;
    } const cases[] = {
        { "010102", 1, 1, 2, "010102" },
        { " 010102 ", 1, 1, 2, "010102" },
        { "\t\r\n\v\f010102\t\r\n\v\f", 1, 1, 2, "010102" },
        { "01010", -1, -1, -1, "01010" },         // shorter than one entry
        { "0101020", 1, -1, -1, "0101020" },      // one character too many
        { "020102", 2, -1, -1, "020102" },        // two entries need 10 characters
        { "000000", 0, -1, -1, "000000" },
        { "010a0B", 1, 10, 11, "010a0B" },        // either case of hex digits
        { "01FFff", 1, 255, 255, "01FFff" },
        { "01xy02", 1, 0, 2, "01xy02" },          // a pair without hex digits gives 0
        { "01 1-2", 1, 1, -2, "01 1-2" },         // a pair reads as strtol does
        { "0101020304", 1, -1, -1, "0101020304" },  // a count of 1 in 10 characters
        { "", -1, -1, -1, "" },
        { "      ", -1, -1, -1, "" },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "list \"" << c.pszList << "\"");
        CCmdLineParams params;
        params.m_strDevices = c.pszList;
        EXPECT_EQ(c.nCount, params.GetDeviceCount());
        EXPECT_STREQ(c.pszTrimmed, params.m_strDevices);

        CCmdLineParams forType;
        forType.m_strDevices = c.pszList;
        EXPECT_EQ(c.nType, forType.GetDeviceType(0));
        EXPECT_STREQ(c.pszTrimmed, forType.m_strDevices);

        CCmdLineParams forIndex;
        forIndex.m_strDevices = c.pszList;
        EXPECT_EQ(c.nIndex, forIndex.GetDeviceIndex(0));
        EXPECT_STREQ(c.pszTrimmed, forIndex.m_strDevices);
    }
}

TEST(CCmdLineParams, EntriesOutsideTheListGiveMinusOne)
{
    CCmdLineParams params;
    params.m_strDevices = "020102030A";
    EXPECT_EQ(2, params.GetDeviceCount());
    EXPECT_EQ(1, params.GetDeviceType(0));
    EXPECT_EQ(2, params.GetDeviceIndex(0));
    EXPECT_EQ(3, params.GetDeviceType(1));
    EXPECT_EQ(10, params.GetDeviceIndex(1));
    const int anOutside[] = { 2, 3, -1, 0x7fffffff, -0x7fffffff - 1 };
    for (int nEntry : anOutside)
    {
        SCOPED_TRACE(nEntry);
        EXPECT_EQ(-1, params.GetDeviceType(nEntry));
        EXPECT_EQ(-1, params.GetDeviceIndex(nEntry));
    }
    // A negative count ("-1" reads as strtol reads it) never matches a length.
    CCmdLineParams negative;
    negative.m_strDevices = "-10102";
    EXPECT_EQ(-1, negative.GetDeviceType(0));
    EXPECT_EQ(-1, negative.GetDeviceType(-1));
}
