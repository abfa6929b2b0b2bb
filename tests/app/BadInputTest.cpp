// Bad input against the real tickward.exe: command lines at every length
// where a buffer ends, bytes outside plain ASCII in every field, quotes and
// separators in odd places, and a mailbox whose slots hold values of other
// types and sizes. Each run must end with the exit code and the debugger
// output its rules give, leave the mailbox as they say, and start the
// receiving application (recorder.exe) only when they say so.
//
// A launch can fail for reasons of the machine, so the cases that need one
// address a device without heartbeat and all others a live one.
#include "tests/support/CHeartbeatRun.h"
#include "tests/support/MailboxSupport.h"
#include "tests/support/TestRuns.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace
{
const char NOT_CREATED[] = "\nCSharedMemory::Delete () m_hMapping = NULL   SharedMemory not Create?";
const char TOO_LONG[] = "\nTickward::StartCmdlineProcess() CmdLine too long!\t";
const char TOO_LONG_FOR_MAILBOX[] = "\nTickward::StartCmdlineProcess() CmdLine too long for the mailbox!\t";
const char EXECUTE_ERROR[] = "\nError: Tickward: ExecuteCommand Error.\t";

typedef std::vector<std::string> Texts;

const Texts NOTHING;
const Texts UNPARSED(1, NOT_CREATED);

// Device 1/2 has a live receiving application for the whole of each test;
// device 1/3 has none, so jobs for it launch the application. Launches are
// kept to the cases that are about them.
const char LIVE[] = "010102";
const char DEAD[] = "010103";

// The tokens of a clean timer command after the application path; tests
// change single tokens and join them again.
Texts CleanTokens(const char* pszDevices = LIVE)
{
    return Texts({ pszDevices, "P: _SEL", "D: 5", "Key: k", "File: \"C:\\Rec\\a.ts\"", "FM: 1", "TO: 1", "SO: 0",
                   "EO: 0" });
}

std::string Join(const std::string& strPath, const Texts& tokens, const std::string& strSeparator = ";")
{
    std::string strText = strPath;
    for (size_t i = 0; i < tokens.size(); ++i)
        strText += strSeparator + tokens[i];
    return strText;
}

// The mailbox text composed from a command with these field values.
std::string MailboxText(const std::string& strKey = "k", const std::string& strFile = "C:\\Rec\\a.ts",
                        const std::string& strDevices = LIVE, int nD = 5, int nFM = 1, int nEO = 0)
{
    return " " + strDevices + ";P: _SEL;D: " + std::to_string(nD) + ";Key: " + strKey + ";File: \"" + strFile +
           "\" ;FM: " + std::to_string(nFM) + ";TO: 1;SO: 0;EO: " + std::to_string(nEO);
}

std::string DeadMailboxText(const std::string& strKey = "k")
{
    return MailboxText(strKey, "C:\\Rec\\a.ts", DEAD);
}

std::string Repeat(char ch, size_t nCount)
{
    return std::string(nCount, ch);
}

// Every byte from nFirst to nLast, between two markers that keep the ends
// of the run away from trimming.
std::string ByteRun(int nFirst, int nLast)
{
    std::string strRun = "<";
    for (int nByte = nFirst; nByte <= nLast; ++nByte)
        strRun += static_cast<char>(nByte);
    return strRun + ">";
}

// One run of tickward.exe and what the rules say it ends with.
struct SCase
{
    std::string strLabel;
    std::string strTail;        // the command line after the program name
    DWORD dwExitCode;
    Texts outputs;              // the debugger output, text by text
    std::string strPosted;      // the text in slot "1"; empty: no slot at all
    std::string strLaunch;      // the started application's command line; empty: none
};

class BadInputTest : public ::testing::Test
{
protected:
    BadInputTest() : m_heartbeat(1, 2) {}

    CHeartbeatRun m_heartbeat;  // keeps device 1/2 alive
    std::string m_strDir;       // a fresh folder with a blank in its name
    std::string m_strApp;       // the receiving application: a recorder in "TV App"
    std::string m_strLaunches;  // every launch of m_strApp so far, one line each

    virtual void SetUp()
    {
        ASSERT_TRUE(m_heartbeat.m_bStarted);
        DeleteMailbox();
        m_strDir = TestFolder("badinput");
        m_strApp = InstallRecorder("TV App", "tvapp.exe");
    }
    virtual void TearDown()
    {
        DeleteMailbox();
    }

    // A recorder copy at m_strDir\strFolder\strName, with no launch recorded yet.
    std::string InstallRecorder(const std::string& strFolder, const std::string& strName)
    {
        const std::string strPath = m_strDir + "\\" + strFolder + "\\" + strName;
        EXPECT_TRUE(InstallProgram(BinPath("recorder.exe"), strPath)) << strPath;
        return strPath;
    }

    std::string Launch(const std::string& strMailboxText) const
    {
        return Quoted(m_strApp) + " " + strMailboxText;
    }

    // A clean command with one token replaced.
    std::string Tail(size_t nToken, const std::string& strToken, const char* pszDevices = LIVE) const
    {
        Texts tokens = CleanTokens(pszDevices);
        tokens[nToken] = strToken;
        return Join(Quoted(m_strApp), tokens);
    }

    // A case that is delivered to the live application: posted into slot "1".
    static SCase Delivered(const std::string& strLabel, const std::string& strTail,
                           const std::string& strMailboxText = MailboxText())
    {
        SCase c = { strLabel, strTail, 0, NOTHING, strMailboxText, "" };
        return c;
    }

    // A case for a dead application: posted, and launched with the same text.
    SCase Started(const std::string& strLabel, const std::string& strTail,
                  const std::string& strMailboxText = DeadMailboxText()) const
    {
        SCase c = { strLabel, strTail, 0, NOTHING, strMailboxText, Launch(strMailboxText) };
        return c;
    }

    static SCase Refused(const std::string& strLabel, const std::string& strTail, const Texts& outputs = UNPARSED)
    {
        SCase c = { strLabel, strTail, 1, outputs, "", "" };
        return c;
    }

    // Runs one case on an empty mailbox and checks every outcome of it.
    void Check(const SCase& c)
    {
        SCOPED_TRACE(c.strLabel + ": " + EscapeText(c.strTail.substr(0, 300)));
        DeleteMailbox();
        CDebuggeeRun run = RunTickward(c.strTail);
        EXPECT_EQ(c.dwExitCode, run.m_dwExitCode);
        EXPECT_EQ(c.outputs, run.m_outputs);
        std::map<int, std::string> expected;
        if (!c.strPosted.empty())
            expected[1] = RawText(c.strPosted);
        EXPECT_EQ(expected, ReadRawSlots());
        if (!c.strLaunch.empty())
        {
            // Waiting for this launch keeps the launches of a test in order.
            m_strLaunches += c.strLaunch + "\n";
            EXPECT_EQ(m_strLaunches, WaitForFileText(m_strApp + ".log", m_strLaunches));
        }
    }

    void CheckAll(const std::vector<SCase>& cases)
    {
        for (size_t i = 0; i < cases.size(); ++i)
            Check(cases[i]);
    }

    // After the cases: the application was started exactly as expected,
    // and by nothing else (given time for a stray start to show).
    void ExpectLaunchesExactly(const std::string& strApp, const std::string& strLaunches)
    {
        Sleep(1000);
        EXPECT_EQ(strLaunches, ReadFileText(strApp + ".log")) << strApp;
    }
    void ExpectOnlyTheCheckedLaunches()
    {
        ExpectLaunchesExactly(m_strApp, m_strLaunches);
    }
};
}

TEST_F(BadInputTest, TimerCommandsAtEveryLengthWhereABufferEnds)
{
    const std::string strBare = Tail(3, "Key: ");
    std::vector<SCase> cases;
    cases.push_back(SCase({ "no command", "", 0, NOTHING, "", "" }));
    for (size_t nLength : { 258, 259, 260, 1039, 1040, 1041, 32000 })
    {
        ASSERT_LT(strBare.size(), nLength);
        const std::string strKey = Repeat('k', nLength - strBare.size());
        const std::string strTail = Tail(3, "Key: " + strKey);
        ASSERT_EQ(nLength, strTail.size());
        const std::string strLabel = std::to_string(nLength) + " characters";
        const std::string strText = MailboxText(strKey);
        if (nLength >= 1040)
            cases.push_back(Refused(strLabel, strTail, Texts({ TOO_LONG, NOT_CREATED })));
        else if (strText.size() >= 520)     // alive, and the mailbox cannot hold it
            cases.push_back(SCase({ strLabel, strTail, 2, Texts(1, TOO_LONG_FOR_MAILBOX), "", "" }));
        else
            cases.push_back(Delivered(strLabel, strTail, strText));
    }
    // The longest command that is taken reaches a dead application whole.
    const std::string strKey = Repeat('k', 1039 - strBare.size());
    cases.push_back(SCase({ "1039 characters, dead application", Tail(3, "Key: " + strKey, DEAD), 0,
                            Texts(1, TOO_LONG_FOR_MAILBOX), "",
                            Launch(DeadMailboxText(strKey)) }));
    CheckAll(cases);
    ExpectOnlyTheCheckedLaunches();
}

TEST_F(BadInputTest, PowerLikeTextsAtEveryLengthWhereABufferEnds)
{
    // Only unknown codes (7) appear here: a known one would act on the machine.
    std::vector<SCase> cases;
    for (size_t nLength : { 258, 259, 260, 1039, 1040, 1041, 32000 })
    {
        const std::string strLabel = std::to_string(nLength) + " characters";
        // "-E" followed by padding is one token, no power command: a timer
        // command without a device list, or one too long to be taken.
        cases.push_back(Refused("-E padded to " + strLabel, "-E" + Repeat('x', nLength - 2),
                                nLength >= 1040 ? Texts({ TOO_LONG, NOT_CREATED }) : UNPARSED));
        // "-E;7" stays a power command however much follows it.
        cases.push_back(Refused("-E;7 padded to " + strLabel, "-E;7;" + Repeat('x', nLength - 5),
                                Texts(1, EXECUTE_ERROR)));
    }
    // The code is seen while it stands within the first 259 characters;
    // beyond them "-E" has no code and is refused without a word.
    for (size_t nAt : { 257, 258, 259, 260, 1039, 31999 })
    {
        const std::string strTail = "-E" + Repeat(';', nAt - 2) + "7";
        cases.push_back(Refused("code at character " + std::to_string(nAt), strTail,
                                nAt <= 258 ? Texts(1, EXECUTE_ERROR) : NOTHING));
    }
    CheckAll(cases);
    ExpectOnlyTheCheckedLaunches();
}

TEST_F(BadInputTest, BytesAbove127AreCarriedIntactWhereTheGrammarTakesThem)
{
    const std::string strHigh = ByteRun(128, 255);
    const std::string strFile = "C:\\Rec\\\xE4\xFF.ts";
    std::vector<SCase> cases;

    Texts tokens = CleanTokens();
    tokens[0] = "0101\xE4\xFF";                 // an index pair without hex digits reads as 0
    tokens[2] = "D: 5\xE4";                     // numbers end at the first non-digit
    tokens[3] = "Key: " + strHigh;
    tokens[4] = "File: \"" + strFile + "\"";
    tokens[5] = "FM: \xFF";                     // no digits: 0
    tokens[8] = "EO: 0\xA0";
    cases.push_back(Started("every field", Join(Quoted(m_strApp), tokens),
                              MailboxText(strHigh, strFile, "0101\xE4\xFF", 5, 0, 0)));
    cases.push_back(Started("device type", Tail(0, "01\xE4\xFF" "02"), MailboxText("k", "C:\\Rec\\a.ts", "01\xE4\xFF" "02")));
    // 0xA0 is no white space of the grammar: it stays, and so the code is unknown.
    cases.push_back(Refused("product", Tail(1, "P: _S\xE4L")));
    cases.push_back(Refused("product after 0xA0", Tail(1, "P: \xA0_SEL")));
    cases.push_back(Refused("device count", Tail(0, "\xE4\xFF" "0102"), NOTHING));
    CheckAll(cases);
    ExpectOnlyTheCheckedLaunches();

    // The application path too: it is started from there, byte for byte.
    const std::string strOddApp = InstallRecorder("TV\xE4\xFF App", "tv\xE9.exe");
    const std::string strText = DeadMailboxText();
    const std::string strLaunch = Quoted(strOddApp) + " " + strText;
    Check(SCase({ "application path", Join(Quoted(strOddApp), CleanTokens(DEAD)), 0, NOTHING, strText, "" }));
    EXPECT_EQ(strLaunch + "\n", WaitForFileText(strOddApp + ".log", strLaunch + "\n"));
    ExpectLaunchesExactly(strOddApp, strLaunch + "\n");
}

TEST_F(BadInputTest, ControlBytesAreCarriedIntactOrTrimmedAsWhiteSpace)
{
    const std::string strControl = ByteRun(1, 31) + "\x7F";
    const std::string strFile = "C:\\Rec\\a\x01\x1F.ts";
    std::vector<SCase> cases;
    cases.push_back(Started("key", Tail(3, "Key: " + strControl, DEAD),
                            DeadMailboxText(strControl)));
    cases.push_back(Delivered("file", Tail(4, "File: \"" + strFile + "\""), MailboxText("k", strFile)));
    // Tab, line feed, vertical tab, form feed and carriage return are white
    // space: trimmed from the ends of the product, key and device list.
    cases.push_back(Delivered("white space around values", Join(Quoted(m_strApp), Texts({
                                  "\t010102\n", "P: \r_SEL\t", "D: \v5", "Key: \fk\n", "File: \t\"C:\\Rec\\a.ts\"\r",
                                  "FM: \n1", "TO: 1", "SO: 0", "EO: 0\t" }))));
    // Other control bytes are no white space: the values are wrong then.
    cases.push_back(Refused("product", Tail(1, "P: _SEL\x01")));
    cases.push_back(Refused("device list", Tail(0, "\x01" "010102"), NOTHING));
    CheckAll(cases);
    ExpectOnlyTheCheckedLaunches();
}

TEST_F(BadInputTest, QuotesInOddPlaces)
{
    std::vector<SCase> cases;
    cases.push_back(Started("path with an opening quote only", Join("\"" + m_strApp, CleanTokens(DEAD))));
    cases.push_back(Started("path with a closing quote only", Join(m_strApp + "\"", CleanTokens(DEAD))));
    cases.push_back(Started("quoted path between blanks", Join("  " + Quoted(m_strApp) + "\t", CleanTokens(DEAD))));
    cases.push_back(Delivered("quotes inside the key", Tail(3, "Key: \"x\" y \""), MailboxText("\"x\" y \"")));
    cases.push_back(Delivered("file with an opening quote only", Tail(4, "File: \"C:\\Rec\\a.ts")));
    cases.push_back(Delivered("file with a closing quote only", Tail(4, "File: C:\\Rec\\a.ts\"")));
    cases.push_back(Delivered("file that is one quote", Tail(4, "File: \""), MailboxText("k", "")));
    cases.push_back(Delivered("file quoted twice", Tail(4, "File: \"\"C:\\Rec\\a.ts\"\""),
                              MailboxText("k", "\"C:\\Rec\\a.ts\"")));
    // A separator between quotes still ends the token.
    cases.push_back(Refused("separator inside a quoted key", Tail(3, "Key: \"a;b\"")));
    cases.push_back(Refused("quote before the product", Tail(1, "P: \"_SEL")));
    CheckAll(cases);
    ExpectOnlyTheCheckedLaunches();

    // A path that is a single quote is empty: the job is posted, but there
    // is no program to start, and no reader takes it from the mailbox of a
    // dead application.
    Check(SCase({ "path that is one quote", Join("\"", CleanTokens(DEAD)), 2,
                  Texts(1, "\nTickward::StartCmdlineProcess() Could't start \t"),
                  DeadMailboxText(), "" }));
}

TEST_F(BadInputTest, QuoteInsideTheApplicationPathStartsNoOtherProgram)
{
    // No file name holds a quote. Started as it stands, the quote inside
    // would end the quoted program name early and run "...\TV App\tv.exe".
    const std::string strPlanted = InstallRecorder("TV App", "tv.exe");
    const std::string strPath = m_strDir + "\\TV App\\tv\"app.exe";
    Check(SCase({ "quote inside the path", Join(Quoted(strPath), CleanTokens(DEAD)), 2,
                  Texts(1, "\nTickward::StartCmdlineProcess() Could't start " + strPath + "\t"),
                  DeadMailboxText(), "" }));
    ExpectLaunchesExactly(strPlanted, "");
    ExpectOnlyTheCheckedLaunches();
}

TEST_F(BadInputTest, EverySeparatorPattern)
{
    const std::string strPath = Quoted(m_strApp);
    std::vector<SCase> cases;
    // Empty fields yield no token: runs of separators count as one.
    cases.push_back(Delivered("doubled separators", Join(strPath, CleanTokens(), ";;")));
    cases.push_back(Delivered("leading and trailing separators", ";;" + Join(strPath, CleanTokens()) + ";;"));
    cases.push_back(Delivered("blanks around every separator", Join(strPath + " ", CleanTokens(), " ; ") + " "));
    cases.push_back(Delivered("tokens after the last tag", Join(strPath, CleanTokens()) + ";junk;;P: x"));
    // One blank is a value: empty, or 0 for a number.
    cases.push_back(Delivered("key of one blank", Tail(3, "Key: "), MailboxText("")));
    cases.push_back(Delivered("file of one blank", Tail(4, "File: "), MailboxText("k", "")));
    cases.push_back(Delivered("D of one blank", Tail(2, "D: "), MailboxText("k", "C:\\Rec\\a.ts", "010102", 0)));
    cases.push_back(Refused("product of one blank", Tail(1, "P: ")));
    const Texts tags = { "P:", "D:", "Key:", "File:", "FM:", "TO:", "SO:", "EO:" };
    for (size_t i = 0; i < tags.size(); ++i)
        cases.push_back(Refused("tag " + tags[i] + " without a value", Tail(i + 1, tags[i])));
    cases.push_back(Refused("tag in lower case", Tail(1, "p: _SEL")));
    Texts missing = CleanTokens();
    missing.erase(missing.begin() + 1);
    cases.push_back(Refused("product token missing", Join(strPath, missing)));
    cases.push_back(Refused("path and a separator only", strPath + ";"));
    cases.push_back(Refused("separators and blanks only", " ; ;; "));
    CheckAll(cases);
    ExpectOnlyTheCheckedLaunches();
}

TEST_F(BadInputTest, WriterTakesSlotsItCannotReadAndLeavesTheOthers)
{
    const std::string strJob = MailboxText();
    const std::pair<DWORD, std::string> values[] = {
        { REG_DWORD, std::string("\x01\0\0\0", 4) },
        { REG_SZ, Repeat('t', 520) + std::string(1, '\0') },        // 521 bytes: too long to read
        { REG_BINARY, strJob + std::string(1, '\0') },
        { REG_MULTI_SZ, strJob + std::string(2, '\0') },
        { REG_EXPAND_SZ, std::string("%SystemRoot%\\x") + std::string(1, '\0') },
        { REG_SZ, std::string(1, '\0') },                           // empty text
        { REG_SZ, Repeat('n', 520) },                               // 520 bytes, no zero
        { REG_QWORD, std::string(8, '\x02') },
        { REG_SZ, std::string() },                                  // no data at all
        { REG_SZ, std::string("xxx", 4) },
    };
    for (int nSlot = 1; nSlot <= 10; ++nSlot)
        WriteRawValue(std::to_string(nSlot).c_str(), values[nSlot - 1].first, values[nSlot - 1].second);
    WriteRawValue("Lock", REG_SZ, std::string("1", 2));   // a lock of another type is free
    std::map<int, std::string> expected = ReadRawSlots();
    ASSERT_EQ(10u, expected.size());

    // Slots that cannot be read as text are free and written over; text
    // slots, even empty, unterminated or consumed ones, are passed over.
    for (int nSlot : { 1, 2, 3, 4, 8, 11 })
    {
        const std::string strFile = "C:\\Rec\\job" + std::to_string(nSlot) + ".ts";
        SCOPED_TRACE(strFile);
        CDebuggeeRun run = RunTickward(Tail(4, "File: " + strFile));
        EXPECT_EQ(0u, run.m_dwExitCode);
        EXPECT_EQ(NOTHING, run.m_outputs);
        expected[nSlot] = RawText(MailboxText("k", strFile));
        EXPECT_EQ(expected, ReadRawSlots());
    }
    EXPECT_EQ(0u, ReadLock());
    ExpectOnlyTheCheckedLaunches();
}
