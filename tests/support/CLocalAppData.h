// CLocalAppData.h - a local application data folder of a test's own.
//
// While the object lives, this process and every program it starts see a
// fresh folder as their local application data folder (the LOCALAPPDATA
// variable), so that a test finds there exactly the journal lines of the
// runs it started.
#ifndef TESTS_CLOCALAPPDATA_H
#define TESTS_CLOCALAPPDATA_H

#include <windows.h>

#include <string>

class CLocalAppData
{
public:
    explicit CLocalAppData(const std::string& strFolder);
    virtual ~CLocalAppData();

    // Where Tickward keeps its journal in this folder, and its older part.
    std::string JournalPath() const;
    std::string RotatedPath() const;
    std::string TickwardFolder() const;

    std::string m_strFolder;

private:
    void Clear() const;

    std::string m_strSaved;
    BOOL m_bSaved;
};

#endif // TESTS_CLOCALAPPDATA_H
