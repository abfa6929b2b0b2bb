// CLocalAppData.cpp - a local application data folder of a test's own.
#include "tests/support/CLocalAppData.h"

namespace
{
const char VARIABLE[] = "LOCALAPPDATA";
}

CLocalAppData::CLocalAppData(const std::string& strFolder)
    : m_strFolder(strFolder), m_bSaved(FALSE)
{
    char szSaved[MAX_PATH] = { 0 };
    const DWORD dwLength = GetEnvironmentVariableA(VARIABLE, szSaved, MAX_PATH);
    m_bSaved = dwLength > 0 && dwLength < MAX_PATH;
    m_strSaved = szSaved;
    CreateDirectoryA(m_strFolder.c_str(), NULL);
    Clear();
    SetEnvironmentVariableA(VARIABLE, m_strFolder.c_str());
}

CLocalAppData::~CLocalAppData()
{
    SetEnvironmentVariableA(VARIABLE, m_bSaved ? m_strSaved.c_str() : NULL);
    Clear();
}

std::string CLocalAppData::TickwardFolder() const
{
    return m_strFolder + "\\Tickward";
}

std::string CLocalAppData::JournalPath() const
{
    return TickwardFolder() + "\\journal.log";
}

std::string CLocalAppData::RotatedPath() const
{
    return TickwardFolder() + "\\journal.1.log";
}

// What a test or Tickward may have left: the journal's files and folder,
// or a file where the folder belongs.
void CLocalAppData::Clear() const
{
    DeleteFileA(JournalPath().c_str());
    DeleteFileA(RotatedPath().c_str());
    RemoveDirectoryA(TickwardFolder().c_str());
    DeleteFileA(TickwardFolder().c_str());
}
