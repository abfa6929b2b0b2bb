// CTaskXmlReader.h - reads a task definition with the system's own XML
// parser (XmlLite, the parser family Task Scheduler uses) into a table of
// element paths and their texts, so that tests can check single settings.
//
// Paths are the local names from the root down, joined by "/", for example
// "Task/Settings/WakeToRun"; an attribute adds "@name". Texts are in the
// ANSI code page.
#ifndef TESTS_SCHEDULER_CTASKXMLREADER_H
#define TESTS_SCHEDULER_CTASKXMLREADER_H

#include <windows.h>
#include <objidl.h>

#include <map>
#include <string>

class CTaskXmlReader
{
public:
    CTaskXmlReader();
    virtual ~CTaskXmlReader();

    // TRUE when the whole file is well-formed XML (UTF-8, or UTF-16 with a
    // byte-order mark); m_values then holds it.
    BOOL ReadFile(const std::string& strPath);
    // The same for a text held in memory (UTF-16).
    BOOL ReadText(const std::wstring& strXml);

    // The text at a path; "<none>" when there is no such element.
    std::string Get(const std::string& strPath) const;

    std::map<std::string, std::string> m_values;

private:
    BOOL ReadBytes(const std::string& strData);
    BOOL ReadStream(IStream* pStream);
};

#endif // TESTS_SCHEDULER_CTASKXMLREADER_H
