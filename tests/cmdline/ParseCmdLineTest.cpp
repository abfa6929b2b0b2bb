// Tests of the timer command parser and of the mailbox form composer.
#include "cmdline/ParseCmdLine.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <limits.h>
#include <string.h>

#include <string>
#include <vector>

namespace
{
const char g_szCommand[] =
    "\"E:\\TV App\\tvapp.exe\";010102;P: _SEL;D: 5;Key: ;File: \"E:\\Rec\\show.ts\";FM: 1;TO: 1;SO: 0;EO: 0";
const char g_szMailbox[] =
    " 010102;P: _SEL;D: 5;Key: ;File: \"E:\\Rec\\show.ts\" ;FM: 1;TO: 1;SO: 0;EO: 0";
const char g_szFreshMailbox[] = " ;P: ;D: 0;Key: ;File: \"\" ;FM: 1;TO: 1;SO: 0;EO: 0";

// All fields of a record, in token order.
struct SRecord
{
    const char* pszAppPath;
    const char* pszDevices;
    const char* pszProduct;
    int nD;
    const char* pszKey;
    const char* pszFile;
    int nFM, nTO, nSO, nEO;
};

const SRecord g_fresh = { "", "", "", 0, "", "", 1, 1, 0, 0 };
const SRecord g_workedExample =
    { "E:\\TV App\\tvapp.exe", "010102", "_SEL", 5, "", "E:\\Rec\\show.ts", 1, 1, 0, 0 };

void ExpectRecord(const SRecord& expected, const CCmdLineParams& params)
{
    EXPECT_STREQ(expected.pszAppPath, params.m_strAppPath);
    EXPECT_STREQ(expected.pszDevices, params.m_strDevices);
    EXPECT_STREQ(expected.pszProduct, params.m_strProduct);
    EXPECT_EQ(expected.nD, params.m_nD);
    EXPECT_STREQ(expected.pszKey, params.m_strKey);
    EXPECT_STREQ(expected.pszFile, params.m_strFile);
    EXPECT_EQ(expected.nFM, params.m_nFM);
    EXPECT_EQ(expected.nTO, params.m_nTO);
    EXPECT_EQ(expected.nSO, params.m_nSO);
    EXPECT_EQ(expected.nEO, params.m_nEO);
}

void Fill(const SRecord& record, CCmdLineParams& params)
{
    params.m_strAppPath = record.pszAppPath;
    params.m_strDevices = record.pszDevices;
    params.m_strProduct = record.pszProduct;
    params.m_nD = record.nD;
    params.m_strKey = record.pszKey;
    params.m_strFile = record.pszFile;
    params.m_nFM = record.nFM;
    params.m_nTO = record.nTO;
    params.m_nSO = record.nSO;
    params.m_nEO = record.nEO;
}

// A mailbox text whose tagged token nReplace (0 for "P:" to 7 for "EO:") is
// replaced; the others give the record g_mailboxDefaults.
std::string MailboxWith(int nReplace, const std::string& strToken)
{
    const char* const apszTokens[] =
        { "P: _SEL", "D: 5", "Key: k", "File: \"f.ts\"", "FM: 2", "TO: 3", "SO: 4", "EO: 6" };
    std::string strText(" 010102");
    for (int i = 0; i < 8; ++i)
        strText += ";" + (i == nReplace ? strToken : std::string(apszTokens[i]));
    return strText;
}
const SRecord g_mailboxDefaults = { "", " 010102", "_SEL", 5, "k", "f.ts", 2, 3, 4, 6 };

struct SParseCase
{
    std::string strText;
    BOOL bWithAppPath;
    BOOL bDevicesOnly;
    BOOL bResult;
    SRecord expected;
};

void RunParseCases(const std::vector<SParseCase>& cases)
{
    for (const SParseCase& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "text [" << c.strText << "] flags "
                                        << c.bWithAppPath << "," << c.bDevicesOnly);
        CCmdLineParams params;
        EXPECT_EQ(c.bResult, ParseCmdLine(c.strText.c_str(), &params, c.bWithAppPath, c.bDevicesOnly));
        ExpectRecord(c.expected, params);
    }
}
}

TEST(ParseCmdLine, WorkedExampleBothWays)
{
    CCmdLineParams params;
    ASSERT_TRUE(ParseCmdLine(g_szCommand, &params, TRUE, FALSE));
    ExpectRecord(g_workedExample, params);
    EXPECT_EQ(1, params.GetDeviceCount());
    EXPECT_EQ(1, params.GetDeviceType(0));
    EXPECT_EQ(2, params.GetDeviceIndex(0));

    CString strMailbox("previous content");
    EXPECT_TRUE(BuildRegistryCmdLine(&params, strMailbox));
    EXPECT_STREQ(g_szMailbox, strMailbox);
    EXPECT_EQ(' ', strMailbox[0]);
    EXPECT_NE(-1, strMailbox.Find("show.ts\" ;FM: 1"));

    CCmdLineParams again;
    EXPECT_TRUE(ParseCmdLine(strMailbox, &again, FALSE, FALSE));
    SRecord reparsed = g_workedExample;
    reparsed.pszAppPath = "";
    reparsed.pszDevices = " 010102";
    ExpectRecord(reparsed, again);
}

TEST(ParseCmdLine, ModesAndSeparators)
{
    SRecord mailbox = g_workedExample;
    mailbox.pszAppPath = "";
    mailbox.pszDevices = " 010102";
    SRecord listOnly = g_fresh;
    listOnly.pszDevices = " 010102";
    SRecord pathAsList = g_fresh;
    pathAsList.pszDevices = "\"E:\\TV App\\tvapp.exe\"";
    SRecord eoSeven = mailbox;
    eoSeven.nEO = 7;
    RunParseCases({
        { g_szMailbox, FALSE, FALSE, TRUE, mailbox },
        { ";; 010102;;P: _SEL;D: 5;Key: ;File: \"E:\\Rec\\show.ts\" ;FM: 1;TO: 1;SO: 0;EO: 0",
          FALSE, FALSE, TRUE, mailbox },
        { ";;; 010102;;;P: _SEL;;D: 5;;;;Key: ;File: \"E:\\Rec\\show.ts\" ;;FM: 1;TO: 1;SO: 0;;EO: 0;;",
          FALSE, FALSE, TRUE, mailbox },
        { std::string(g_szMailbox) + ";EO: 9;junk;;", FALSE, FALSE, TRUE, mailbox },
        { " 010102;P: _SEL;D: 5;Key: ;File: \"E:\\Rec\\show.ts\" ;FM: 1;TO: 1;SO: 0;EO: 7 days",
          FALSE, FALSE, TRUE, eoSeven },
        { g_szMailbox, FALSE, TRUE, TRUE, listOnly },
        { g_szMailbox, TRUE, TRUE, TRUE, listOnly },
        { " 010102;any further text", FALSE, TRUE, TRUE, listOnly },
        { " 010102", FALSE, TRUE, TRUE, listOnly },
        { " 010102", FALSE, FALSE, FALSE, listOnly },
        { g_szCommand, TRUE, TRUE, TRUE, pathAsList },
        { ";;", FALSE, TRUE, FALSE, g_fresh },
    });
}

TEST(ParseCmdLine, TagsAnywhereInTheirTokenAndFollowedByAtLeastOneCharacter)
{
    const SRecord& d = g_mailboxDefaults;
    const SRecord afterList = { "", " 010102", "", 0, "", "", 1, 1, 0, 0 };
    const SRecord afterProduct = { "", " 010102", "_SEL", 0, "", "", 1, 1, 0, 0 };
    const SRecord afterD = { "", " 010102", "_SEL", 5, "", "", 1, 1, 0, 0 };
    const SRecord afterKey = { "", " 010102", "_SEL", 5, "k", "", 1, 1, 0, 0 };
    const SRecord afterSO = { "", " 010102", "_SEL", 5, "k", "f.ts", 2, 3, 4, 0 };
    RunParseCases({
        { MailboxWith(0, "xyP: _SEL"), FALSE, FALSE, TRUE, d },
        { MailboxWith(0, "P:P: _SEL"), FALSE, FALSE, TRUE, { "", " 010102", "P: _SEL", 5, "k", "f.ts", 2, 3, 4, 6 } },
        { MailboxWith(0, "P: "), FALSE, FALSE, TRUE, { "", " 010102", "", 5, "k", "f.ts", 2, 3, 4, 6 } },
        { MailboxWith(0, "P:\t\r\n\v\f _SEL \t\r\n\v\f"), FALSE, FALSE, TRUE, d },
        { MailboxWith(0, "P: \xa0_SEL\x1f"), FALSE, FALSE, TRUE, { "", " 010102", "\xa0_SEL\x1f", 5, "k", "f.ts", 2, 3, 4, 6 } },
        { MailboxWith(0, "P:"), FALSE, FALSE, FALSE, afterList },
        { MailboxWith(0, "xyP:"), FALSE, FALSE, FALSE, afterList },
        { MailboxWith(0, "p: _SEL"), FALSE, FALSE, FALSE, afterList },
        { MailboxWith(0, "P _SEL"), FALSE, FALSE, FALSE, afterList },
        { MailboxWith(1, "xD:5"), FALSE, FALSE, TRUE, d },
        { MailboxWith(1, "D: "), FALSE, FALSE, TRUE, { "", " 010102", "_SEL", 0, "k", "f.ts", 2, 3, 4, 6 } },
        { MailboxWith(1, "D:"), FALSE, FALSE, FALSE, afterProduct },
        { MailboxWith(1, "d: 5"), FALSE, FALSE, FALSE, afterProduct },
        { MailboxWith(2, "The Key:  k  "), FALSE, FALSE, TRUE, d },
        { MailboxWith(2, "Key: "), FALSE, FALSE, TRUE, { "", " 010102", "_SEL", 5, "", "f.ts", 2, 3, 4, 6 } },
        { MailboxWith(2, "Key:"), FALSE, FALSE, FALSE, afterD },
        { MailboxWith(2, "KEY: k"), FALSE, FALSE, FALSE, afterD },
        { MailboxWith(3, "my File: f.ts"), FALSE, FALSE, TRUE, d },
        { MailboxWith(3, "File: "), FALSE, FALSE, TRUE, { "", " 010102", "_SEL", 5, "k", "", 2, 3, 4, 6 } },
        { MailboxWith(3, "File:"), FALSE, FALSE, FALSE, afterKey },
        { MailboxWith(3, "file: f.ts"), FALSE, FALSE, FALSE, afterKey },
        { MailboxWith(4, "FM:"), FALSE, FALSE, FALSE, { "", " 010102", "_SEL", 5, "k", "f.ts", 1, 1, 0, 0 } },
        { MailboxWith(4, "FM: none"), FALSE, FALSE, TRUE, { "", " 010102", "_SEL", 5, "k", "f.ts", 0, 3, 4, 6 } },
        { MailboxWith(7, "EO:"), FALSE, FALSE, FALSE, afterSO },
        { MailboxWith(7, "eo: 6"), FALSE, FALSE, FALSE, afterSO },
        { MailboxWith(7, "EO: 7 days"), FALSE, FALSE, TRUE, { "", " 010102", "_SEL", 5, "k", "f.ts", 2, 3, 4, 7 } },
    });
}

TEST(ParseCmdLine, DecimalNumbersReadAsStrtolClampedTo32Bits)
{
    struct { const char* pszValue; int nExpected; } const cases[] = {
        { "1", 1 },
        { "+12", 12 },
        { "-7", -7 },
        { " \t\n42", 42 },
        { "007", 7 },
        { "12abc", 12 },
        { "7 days", 7 },
        { "1e3", 1 },
        { "0x1A", 0 },
        { "none", 0 },
        { " ", 0 },
        { "- 5", 0 },
        { "+", 0 },
        { "2147483647", INT_MAX },
        { "2147483648", INT_MAX },
        { "99999999999999999999999", INT_MAX },
        { "-2147483648", INT_MIN },
        { "-2147483649", INT_MIN },
        { "-99999999999999999999999", INT_MIN },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "value [" << c.pszValue << "]");
        const std::string strValue(c.pszValue);
        CCmdLineParams params;
        const std::string strText = " 010102;P: _SEL;D:" + strValue + ";Key: ;File: ;FM:" + strValue
            + ";TO:" + strValue + ";SO:" + strValue + ";EO:" + strValue;
        EXPECT_TRUE(ParseCmdLine(strText.c_str(), &params, FALSE, FALSE));
        EXPECT_EQ(c.nExpected, params.m_nD);
        EXPECT_EQ(c.nExpected, params.m_nFM);
        EXPECT_EQ(c.nExpected, params.m_nTO);
        EXPECT_EQ(c.nExpected, params.m_nSO);
        EXPECT_EQ(c.nExpected, params.m_nEO);
    }
}

TEST(ParseCmdLine, QuotesComeOffEachEndOnTheirOwn)
{
    struct { const char* pszValue; const char* pszExpected; } const cases[] = {
        { "  \" C:\\Program Files\\tv app.exe \"  ", " C:\\Program Files\\tv app.exe " },
        { " C:\\Program Files\\tv app.exe ", "C:\\Program Files\\tv app.exe" },
        { "\"", "" },
        { "\"\"", "" },
        { "\" \"", " " },
        { "\"C:\\tv.exe", "C:\\tv.exe" },
        { "C:\\tv.exe\"", "C:\\tv.exe" },
        { "\"\"C:\\tv.exe\"\"", "\"C:\\tv.exe\"" },
        { "C:\\my \"tv\".exe", "C:\\my \"tv\".exe" },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "value [" << c.pszValue << "]");
        CCmdLineParams params;
        const std::string strText = std::string(c.pszValue) + ";010102;P: _SEL;D: 1;Key: ;File:"
            + c.pszValue + ";FM: 1;TO: 1;SO: 0;EO: 0";
        EXPECT_TRUE(ParseCmdLine(strText.c_str(), &params, TRUE, FALSE));
        EXPECT_STREQ(c.pszExpected, params.m_strAppPath);
        EXPECT_STREQ(c.pszExpected, params.m_strFile);
    }
}

TEST(ParseCmdLine, SemicolonEndsATokenEvenBetweenQuotes)
{
    RunParseCases({
        { "C:\\tv.exe;010102;P: _SEL;D: 5;Key: k;File: \"E:\\Rec\\a;b.ts\";FM: 2;TO: 3;SO: 4;EO: 6",
          TRUE, FALSE, FALSE, { "C:\\tv.exe", "010102", "_SEL", 5, "k", "E:\\Rec\\a", 1, 1, 0, 0 } },
        { "\"C:\\a;b\\tv.exe\";010102;P: _SEL;D: 5;Key: k;File: f;FM: 2;TO: 3;SO: 4;EO: 6",
          TRUE, FALSE, FALSE, { "C:\\a", "b\\tv.exe\"", "", 0, "", "", 1, 1, 0, 0 } },
    });
}

TEST(ParseCmdLine, FailedParseKeepsWhatWasReadBeforeTheFailingToken)
{
    const std::string strPath = "\"C:\\tv.exe\"";
    const std::string strHead = strPath + ";010102;P: _SEL;D: 5;Key: k;File: f";
    RunParseCases({
        { "", TRUE, FALSE, FALSE, g_fresh },
        { ";;;", TRUE, FALSE, FALSE, g_fresh },
        { "", FALSE, FALSE, FALSE, g_fresh },
        { "", FALSE, TRUE, FALSE, g_fresh },
        { strPath, TRUE, FALSE, FALSE, { "C:\\tv.exe", "", "", 0, "", "", 1, 1, 0, 0 } },
        { strPath + ";010102", TRUE, FALSE, FALSE, { "C:\\tv.exe", "010102", "", 0, "", "", 1, 1, 0, 0 } },
        { strPath + ";010102;P: _SEL", TRUE, FALSE, FALSE,
          { "C:\\tv.exe", "010102", "_SEL", 0, "", "", 1, 1, 0, 0 } },
        { strPath + ";010102;P: _SEL;X: 5;Key: k", TRUE, FALSE, FALSE,
          { "C:\\tv.exe", "010102", "_SEL", 0, "", "", 1, 1, 0, 0 } },
        { strPath + ";010102;P: _SEL;D: 5;Key:;File: f", TRUE, FALSE, FALSE,
          { "C:\\tv.exe", "010102", "_SEL", 5, "", "", 1, 1, 0, 0 } },
        { strHead + ";FM: 2", TRUE, FALSE, FALSE, { "C:\\tv.exe", "010102", "_SEL", 5, "k", "f", 2, 1, 0, 0 } },
        { strHead + ";FM: 2;TO: 3;SO: 4", TRUE, FALSE, FALSE,
          { "C:\\tv.exe", "010102", "_SEL", 5, "k", "f", 2, 3, 4, 0 } },
        { strHead + ";FM: 2;TO: 3;SO: 4;EO:", TRUE, FALSE, FALSE,
          { "C:\\tv.exe", "010102", "_SEL", 5, "k", "f", 2, 3, 4, 0 } },
        { strHead + ";FM: 2;TO: 3;SO: 4;EO: 6", TRUE, FALSE, TRUE,
          { "C:\\tv.exe", "010102", "_SEL", 5, "k", "f", 2, 3, 4, 6 } },
    });
}

TEST(ParseCmdLine, RecordIsNotResetBeforeParsing)
{
    const SRecord previous = { "old path", "old list", "OLD", -1, "old key", "old file", -2, -3, -4, -5 };
    CCmdLineParams params;
    Fill(previous, params);
    EXPECT_FALSE(ParseCmdLine(" 010102;P: _SEL;D: 5;Key:", &params, FALSE, FALSE));
    ExpectRecord({ "old path", " 010102", "_SEL", 5, "old key", "old file", -2, -3, -4, -5 }, params);

    CCmdLineParams listOnly;
    Fill(previous, listOnly);
    EXPECT_TRUE(ParseCmdLine(g_szMailbox, &listOnly, TRUE, TRUE));
    ExpectRecord({ "old path", " 010102", "OLD", -1, "old key", "old file", -2, -3, -4, -5 }, listOnly);
}

TEST(ParseCmdLine, NullArgumentsFailWithoutTouchingAnything)
{
    const SRecord previous = { "old path", "old list", "OLD", -1, "old key", "old file", -2, -3, -4, -5 };
    for (int nMode = 0; nMode < 4; ++nMode)
    {
        SCOPED_TRACE(nMode);
        CCmdLineParams params;
        Fill(previous, params);
        EXPECT_FALSE(ParseCmdLine(NULL, &params, nMode & 1, nMode >> 1));
        ExpectRecord(previous, params);
        EXPECT_FALSE(ParseCmdLine(g_szCommand, NULL, nMode & 1, nMode >> 1));
    }
}

TEST(ParseCmdLine, CallersTextStaysAsItWas)
{
    const std::string astrTexts[] = { g_szCommand, g_szMailbox, ";;;a;;b;;", "P:;D:", "" };
    for (const std::string& strText : astrTexts)
    {
        for (int nMode = 0; nMode < 4; ++nMode)
        {
            SCOPED_TRACE(testing::Message() << "text [" << strText << "] mode " << nMode);
            // Bytes after the terminating zero show that nothing beyond it is written either.
            std::vector<char> text(strText.begin(), strText.end());
            text.push_back('\0');
            text.insert(text.end(), { ';', 'x', ';', '\0' });
            const std::vector<char> original(text);
            CCmdLineParams params;
            ParseCmdLine(text.data(), &params, nMode & 1, nMode >> 1);
            EXPECT_EQ(original, text);
        }
    }
}

TEST(BuildRegistryCmdLine, FreshRecordComposesAndParsesBack)
{
    CCmdLineParams fresh;
    CString strText;
    EXPECT_TRUE(BuildRegistryCmdLine(&fresh, strText));
    EXPECT_STREQ(g_szFreshMailbox, strText);

    CCmdLineParams again;
    EXPECT_TRUE(ParseCmdLine(strText, &again, FALSE, FALSE));
    ExpectRecord({ "", " ", "", 0, "", "", 1, 1, 0, 0 }, again);
}

TEST(BuildRegistryCmdLine, ComposesEveryFieldExactlyAndRoundTrips)
{
    const SRecord record =
        { "C:\\not\\in\\the\\text.exe", "0201020a0B", " \t_SEL ", INT_MIN, "\tk e y ", " \"a b\" ", INT_MAX, -1, 0, -42 };
    CCmdLineParams params;
    Fill(record, params);
    CString strText;
    EXPECT_TRUE(BuildRegistryCmdLine(&params, strText));
    EXPECT_STREQ(" 0201020a0B;P:  \t_SEL ;D: -2147483648;Key: \tk e y ;File: \" \"a b\" \" "
                 ";FM: 2147483647;TO: -1;SO: 0;EO: -42", strText);

    // White space at the ends of product and key is lost; the file path is
    // protected by its quotes.
    CCmdLineParams again;
    EXPECT_TRUE(ParseCmdLine(strText, &again, FALSE, FALSE));
    ExpectRecord({ "", " 0201020a0B", "_SEL", INT_MIN, "k e y", " \"a b\" ", INT_MAX, -1, 0, -42 }, again);
    EXPECT_EQ(2, again.GetDeviceCount());
    EXPECT_EQ(10, again.GetDeviceType(1));
    EXPECT_EQ(11, again.GetDeviceIndex(1));
}

TEST(BuildRegistryCmdLine, NullRecordLeavesTheTextAlone)
{
    CString strText("kept");
    EXPECT_FALSE(BuildRegistryCmdLine(NULL, strText));
    EXPECT_STREQ("kept", strText);
}

namespace
{
struct SParseThread
{
    const char* pszText;
    BOOL bWithAppPath;
    SRecord expected;
    HANDLE hStart;
    int nRounds;
    int nWrong;
};

// Fills and checks records as fast as it can, so that its parses overlap
// with the other thread's.
DWORD WINAPI ParseThread(LPVOID pParam)
{
    SParseThread& job = *static_cast<SParseThread*>(pParam);
    WaitForSingleObject(job.hStart, INFINITE);
    for (int i = 0; i < job.nRounds; ++i)
    {
        CCmdLineParams params;
        const SRecord& e = job.expected;
        if (!ParseCmdLine(job.pszText, &params, job.bWithAppPath, FALSE)
            || params.m_strAppPath != e.pszAppPath || params.m_strDevices != e.pszDevices
            || params.m_strProduct != e.pszProduct || params.m_nD != e.nD
            || params.m_strKey != e.pszKey || params.m_strFile != e.pszFile
            || params.m_nFM != e.nFM || params.m_nTO != e.nTO
            || params.m_nSO != e.nSO || params.m_nEO != e.nEO)
        {
            ++job.nWrong;
        }
    }
    return 0;
}
}

TEST(ParseCmdLine, TwoThreadsParseAtOnce)
{
    HANDLE hStart = CreateEventA(NULL, TRUE, FALSE, NULL);
    ASSERT_NE(static_cast<HANDLE>(NULL), hStart);
    const char szOther[] = ";;;0301090A0B;;x P: _NAR;D: -3;;Key: other;File: o.ts;FM: 9;TO: 8;SO: 7;EO: 6;tail";
    SParseThread jobs[2] = {
        { g_szCommand, TRUE, g_workedExample, hStart, 20000, 0 },
        { szOther, FALSE, { "", "0301090A0B", "_NAR", -3, "other", "o.ts", 9, 8, 7, 6 }, hStart, 20000, 0 },
    };
    HANDLE ahThreads[2];
    for (int i = 0; i < 2; ++i)
    {
        ahThreads[i] = CreateThread(NULL, 0, ParseThread, &jobs[i], 0, NULL);
        ASSERT_NE(static_cast<HANDLE>(NULL), ahThreads[i]);
    }
    SetEvent(hStart);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, ahThreads, TRUE, INFINITE));
    for (int i = 0; i < 2; ++i)
        CloseHandle(ahThreads[i]);
    CloseHandle(hStart);
    EXPECT_EQ(0, jobs[0].nWrong);
    EXPECT_EQ(0, jobs[1].nWrong);
}
