// Tests of the framework layer's application startup.
#include "afx/afxwin.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
std::string Tail(const char* pszCommandLine)
{
    std::string strLine(pszCommandLine);
    return AfxGetCmdTail(&strLine[0]);
}
}

TEST(CWinApp, CommandTailSkipsTheProgramNameAndLowCodes)
{
    EXPECT_EQ("-E;3", Tail("tickward.exe -E;3"));
    EXPECT_EQ("-E;3", Tail("\"C:\\Program Files\\tickward.exe\" -E;3"));
    EXPECT_EQ("-E;3", Tail("\"C:\\a b\\t.exe\"-E;3"));          // no blank after the quote
    EXPECT_EQ("-E;3 ", Tail("tickward.exe \t\x01\x1f -E;3 "));   // codes 1 to 32, trailing kept
    EXPECT_EQ("", Tail("tickward.exe"));
    EXPECT_EQ("", Tail("\"unterminated name -E;3"));
    EXPECT_EQ("", Tail(""));
    EXPECT_EQ("\xe4;x", Tail("tickward.exe \xe4;x"));           // high bytes are text
    EXPECT_EQ("b", Tail("a\xe4" "b b"));                         // and part of a name
    EXPECT_EQ(NULL, AfxGetCmdTail(NULL));
}

namespace
{
class CFailingApp : public CWinApp
{
public:
    int m_nInitCalls;
    CFailingApp() : m_nInitCalls(0) {}
    virtual BOOL InitInstance() { ++m_nInitCalls; return FALSE; }
    virtual int ExitInstance() { return 7; }
};
}

TEST(CWinApp, FailedInitInstanceEndsWithExitInstanceCode)
{
    EXPECT_EQ(0, CWinApp().ExitInstance());
    ASSERT_EQ(NULL, AfxGetApp());

    CFailingApp app;
    ASSERT_EQ(&app, AfxGetApp());
    EXPECT_EQ(7, AfxWinMain(GetModuleHandleA(NULL), NULL, NULL, SW_SHOWNORMAL));
    EXPECT_EQ(1, app.m_nInitCalls);
    EXPECT_STREQ(AfxGetCmdTail(GetCommandLineA()), app.m_lpCmdLine);
    EXPECT_STREQ("afx_test", app.m_pszAppName);  // caption of message boxes
}

TEST(AfxMessageBox, HookReceivesTextAndStyle)
{
    CMessageBoxRecorder boxes;
    EXPECT_EQ(IDOK, AfxMessageBox("CInstanceCheck::Init() Unknow Product!"));
    ASSERT_EQ(1u, boxes.Texts().size());
    EXPECT_EQ("CInstanceCheck::Init() Unknow Product!", boxes.Texts()[0]);
    EXPECT_EQ(static_cast<UINT>(MB_OK), boxes.Styles()[0]);
}
