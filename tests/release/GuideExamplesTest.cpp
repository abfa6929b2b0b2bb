// GuideExamplesTest.cpp - what the guides and README show of the programs is
// what the programs do. An example output or usage text in a guide stands in
// the fenced block after a line "<!-- example: NAME -->"; a real run must
// give its lines and headings, but for the values that differ from run to
// run: times, process ids and paths.
#include "recording/CRecording.h"
#include "tests/support/CHeartbeatRun.h"
#include "tests/support/CLocalAppData.h"
#include "tests/support/CSavedRegistryKey.h"
#include "tests/support/MailboxSupport.h"
#include "tests/support/TestRuns.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace
{
// A file of the source tree, through Wine's drive for the Unix root.
std::string SourceFile(const char* pszFile)
{
    std::string strPath = std::string("Z:") + TICKWARD_SOURCE_DIR + "/" + pszFile;
    std::replace(strPath.begin(), strPath.end(), '/', '\\');
    return strPath;
}

// The lines of the fenced block after the example's mark, without the
// block's indentation; none when the guide has no such example.
std::vector<std::string> Example(const char* pszGuide, const std::string& strName)
{
    const std::vector<std::string> lines = Lines(ReadFileText(SourceFile(pszGuide)));
    const std::string strMark = "<!-- example: " + strName + " -->";
    auto it = std::find_if(lines.begin(), lines.end(), [&](const std::string& strLine) {
        return strLine.find(strMark) != std::string::npos;
    });
    if (it == lines.end() || ++it == lines.end() || it->find("```") == std::string::npos)
        return {};
    const size_t nIndent = it->find("```");
    std::vector<std::string> example;
    while (++it != lines.end() && it->find("```") == std::string::npos)
        example.push_back(it->size() > nIndent ? it->substr(nIndent) : "");
    return example;
}

// A line with its times, process ids and paths in parentheses put as words,
// without the carriage return of a program's output.
std::string Normalised(std::string strLine)
{
    if (!strLine.empty() && strLine.back() == '\r')
        strLine.pop_back();
    static const std::regex time("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d(\\.\\d{3})?");
    static const std::regex process("(pid|process) \\d+");
    static const std::regex path("\\([A-Za-z]:\\\\[^()]*\\)");
    std::string strResult = std::regex_replace(strLine, time, "<time>");
    strResult = std::regex_replace(strResult, process, "$1 <id>");
    return std::regex_replace(strResult, path, "(<path>)");
}

void ExpectExampleIs(const char* pszGuide, const std::string& strName, const std::string& strOutput)
{
    SCOPED_TRACE(strName);
    const std::vector<std::string> example = Example(pszGuide, strName);
    ASSERT_FALSE(example.empty()) << pszGuide << " has no example " << strName;
    std::vector<std::string> real = Lines(strOutput);
    ASSERT_EQ(example.size(), real.size()) << strOutput;
    for (size_t i = 0; i < example.size(); ++i)
        EXPECT_EQ(Normalised(example[i]), Normalised(real[i])) << "line " << i + 1;
}

// The codes of the first Markdown table after a heading: its rows "| N | ...".
std::set<DWORD> TableCodes(const char* pszFile, const char* pszHeading)
{
    const std::vector<std::string> lines = Lines(ReadFileText(SourceFile(pszFile)));
    auto it = std::find(lines.begin(), lines.end(), pszHeading);
    while (it != lines.end() && (it->empty() || (*it)[0] != '|'))
        ++it;
    std::set<DWORD> codes;
    for (; it != lines.end() && !it->empty() && (*it)[0] == '|'; ++it)
    {
        if (it->size() > 2 && isdigit(static_cast<unsigned char>((*it)[2])))
            codes.insert(strtoul(it->c_str() + 2, NULL, 10));
    }
    return codes;
}
}

TEST(GuideExamples, UsageTextsAreThePrograms)
{
    const struct
    {
        const char* pszGuide;
        const char* pszProgram;
    } usages[] = {
        { "docs/operator-guide.md", "twsched" },
        { "docs/operator-guide.md", "twstatus" },
        { "docs/operator-guide.md", "dbgrun" },
        { "docs/receiver-guide.md", "receiver" },
    };
    for (const auto& u : usages)
    {
        std::string strOutput;
        EXPECT_EQ(0u, RunForOutput(Quoted(BinPath((std::string(u.pszProgram) + ".exe").c_str())) + " --help", strOutput));
        ExpectExampleIs(u.pszGuide, std::string(u.pszProgram) + " --help", strOutput);
    }
}

TEST(GuideExamples, DbgrunShowsACommandsDebuggerOutput)
{
    CLocalAppData appData(TestFolder("guide"));
    std::string strOutput;
    EXPECT_EQ(1u, RunForOutput(Quoted(BinPath("dbgrun.exe")) + " " + TickwardCommand("-E;7"), strOutput));
    ExpectExampleIs("docs/operator-guide.md", "dbgrun tickward.exe -E;7", strOutput);
    // Its own failure: 255 and a line beginning "dbgrun:", as the guide says.
    EXPECT_EQ(255u, RunForOutput(Quoted(BinPath("dbgrun.exe")), strOutput));
    EXPECT_EQ(0u, strOutput.find("dbgrun: no program given\r\n")) << strOutput;
}

// The guide's example is from the demo: the receiver of device 1.2 was
// started with the first job, took it, and now holds the second.
TEST(GuideExamples, TwstatusShowsWhatItsExampleShows)
{
    CLocalAppData appData(TestFolder("guide"));
    const std::string strApp = appData.m_strFolder + "\\TV App\\tvapp.exe";
    ASSERT_TRUE(InstallProgram(BinPath("recorder.exe"), strApp));
    DeleteMailbox();
    EXPECT_EQ(0u, RunTickward(TimerJob(strApp, "010102", "_SEL", "C:\\Rec\\evening-news.ts")).m_dwExitCode);
    WriteSlot(1, "xxx");
    CHeartbeatRun heartbeat(1, 2);
    ASSERT_TRUE(heartbeat.m_bStarted);
    EXPECT_EQ(0u, RunTickward(TimerJob(strApp, "010102", "_SEL", "C:\\Rec\\late-movie.ts")).m_dwExitCode);

    std::string strOutput;
    EXPECT_EQ(0u, RunForOutput(Quoted(BinPath("twstatus.exe")), strOutput));
    ExpectExampleIs("docs/operator-guide.md", "twstatus", strOutput);
    DeleteMailbox();
}

// README's table of tickward.exe's exit codes holds the codes that real runs
// give, and the operator guide's the same.
TEST(GuideExamples, ExitCodeTablesHoldTheCodesOfRealRuns)
{
    CLocalAppData appData(TestFolder("guide"));
    CRecording recording;
    ASSERT_TRUE(recording.Begin(1, 2, "C:\\Rec\\film.ts"));
    CSavedRegistryKey saved(HKEY_CURRENT_USER, "SOFTWARE\\Tickward");
    SetPowerWaitLimit("1");
    CDebuggeeRun held, slept;
    ASSERT_TRUE(held.Run(Quoted(BinPath("tickward_nopower.exe")) + " -E;2"));
    SetEnvironmentVariableA("TICKWARD_NOPOWER_SLEPT", "1");
    ASSERT_TRUE(slept.Run(Quoted(BinPath("tickward_nopower.exe")) + " -E;2"));
    SetEnvironmentVariableA("TICKWARD_NOPOWER_SLEPT", NULL);
    const std::set<DWORD> real = {
        RunTickward("").m_dwExitCode,
        RunTickward("-E;7").m_dwExitCode,
        RunTickward(TimerJob(appData.m_strFolder + "\\no such\\tvapp.exe")).m_dwExitCode,
        held.m_dwExitCode,
        slept.m_dwExitCode,
    };
    EXPECT_EQ(std::set<DWORD>({ 0, 1, 2, 3, 4 }), real);
    EXPECT_EQ(real, TableCodes("README.md", "## Exit codes"));
    EXPECT_EQ(real, TableCodes("docs/operator-guide.md", "## Exit codes"));
}
