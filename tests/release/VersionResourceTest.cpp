// The version of every shipped program as Windows shows it in the file's
// properties, read through the version API: it must be the project version
// that CMake configured (TICKWARD_VERSION), in the fixed numbers and in the
// texts alike. TICKWARD_PROGRAM_FILES names the shipped programs; the SDK's
// twreader.dll carries the version too.
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <sstream>
#include <string>
#include <vector>

namespace
{
// One program's version resource.
class CVersionInfo
{
public:
    explicit CVersionInfo(const std::string& strPath)
    {
        DWORD dwHandle = 0;
        const DWORD dwSize = GetFileVersionInfoSizeA(strPath.c_str(), &dwHandle);
        if (dwSize == 0)
            return;
        m_aData.resize(dwSize);
        if (!GetFileVersionInfoA(strPath.c_str(), 0, dwSize, &m_aData[0]))
            m_aData.clear();
    }

    BOOL IsValid() const { return GetFixed() != NULL; }

    std::string GetFileVersion() const
    {
        const VS_FIXEDFILEINFO* pFixed = GetFixed();
        return pFixed != NULL ? Dotted(pFixed->dwFileVersionMS, pFixed->dwFileVersionLS) : "";
    }

    std::string GetProductVersion() const
    {
        const VS_FIXEDFILEINFO* pFixed = GetFixed();
        return pFixed != NULL ? Dotted(pFixed->dwProductVersionMS, pFixed->dwProductVersionLS) : "";
    }

    // A text of the string table in the resource's first language.
    std::string GetText(const char* pszName) const
    {
        const WORD* pwTranslation = static_cast<const WORD*>(Query("\\VarFileInfo\\Translation"));
        if (pwTranslation == NULL)
            return "";
        char szPath[128];
        snprintf(szPath, sizeof(szPath), "\\StringFileInfo\\%04x%04x\\%s", pwTranslation[0], pwTranslation[1],
                 pszName);
        const char* pszText = static_cast<const char*>(Query(szPath));
        return pszText != NULL ? pszText : "";
    }

private:
    const void* Query(const char* pszPath) const
    {
        void* pValue = NULL;
        UINT nLength = 0;
        if (m_aData.empty()
            || !VerQueryValueA(const_cast<char*>(&m_aData[0]), pszPath, &pValue, &nLength) || nLength == 0)
            return NULL;
        return pValue;
    }

    const VS_FIXEDFILEINFO* GetFixed() const { return static_cast<const VS_FIXEDFILEINFO*>(Query("\\")); }

    static std::string Dotted(DWORD dwHigh, DWORD dwLow)
    {
        char szText[64];
        snprintf(szText, sizeof(szText), "%u.%u.%u.%u", HIWORD(dwHigh), LOWORD(dwHigh), HIWORD(dwLow),
                 LOWORD(dwLow));
        return szText;
    }

    std::vector<char> m_aData;
};

// The configured version in the four numbers of a version resource.
std::string ExpectedVersion()
{
    unsigned int anPart[4] = { 0, 0, 0, 0 };
    sscanf(TICKWARD_VERSION, "%u.%u.%u.%u", &anPart[0], &anPart[1], &anPart[2], &anPart[3]);
    char szText[64];
    snprintf(szText, sizeof(szText), "%u.%u.%u.%u", anPart[0], anPart[1], anPart[2], anPart[3]);
    return szText;
}
}

TEST(VersionResource, EveryShippedProgramAndTheDllCarryTheConfiguredVersion)
{
    const std::string strExpected = ExpectedVersion();
    std::istringstream programs(TICKWARD_PROGRAM_FILES " twreader.dll");
    std::string strProgram;
    BOOL bTickward = FALSE;
    while (programs >> strProgram)
    {
        SCOPED_TRACE(strProgram);
        bTickward = bTickward || strProgram == "tickward.exe";
        const CVersionInfo info(BinPath(strProgram.c_str()));
        ASSERT_TRUE(info.IsValid());
        EXPECT_EQ(strExpected, info.GetFileVersion());
        EXPECT_EQ(strExpected, info.GetProductVersion());
        EXPECT_EQ(strExpected, info.GetText("FileVersion"));
        EXPECT_EQ(strExpected, info.GetText("ProductVersion"));
        EXPECT_EQ(strProgram, info.GetText("OriginalFilename"));
    }
    EXPECT_TRUE(bTickward);
}

// Every tool answers its usage and its version and does nothing else;
// tickward.exe's command line belongs to the scheduler.
TEST(VersionResource, EveryToolAnswersHelpAndVersion)
{
    std::istringstream programs(TICKWARD_PROGRAM_FILES);
    std::string strProgram;
    int nTools = 0;
    while (programs >> strProgram)
    {
        if (strProgram == "tickward.exe")
            continue;
        ++nTools;
        const std::string strName = strProgram.substr(0, strProgram.size() - 4);
        for (const char* pszOption : { "--help", "-h", "/?", "--version" })
        {
            SCOPED_TRACE(strProgram + " " + pszOption);
            std::string strOutput;
            EXPECT_EQ(0u, RunForOutput(Quoted(BinPath(strProgram.c_str())) + " " + pszOption, strOutput, 10000));
            if (strcmp(pszOption, "--version") == 0)
            {
                EXPECT_EQ(strName + " " + TICKWARD_VERSION + "\r\n", strOutput);
                continue;
            }
            EXPECT_EQ(0u, strOutput.find("usage: " + strName)) << strOutput;
            EXPECT_NE(std::string::npos, strOutput.find("\nExample: ")) << strOutput;
        }
    }
    EXPECT_EQ(4, nTools);
}
