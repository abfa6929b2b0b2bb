// CSavedRegistryKey.h - lets a test use a real registry key and leaves the
// registry as it found it: the values the key had are saved at construction
// and put back at destruction; a key (or parent) that did not exist is
// deleted again with everything the test made below it.
#ifndef TESTS_CSAVEDREGISTRYKEY_H
#define TESTS_CSAVEDREGISTRYKEY_H

#include <windows.h>

#include <string>
#include <vector>

class CSavedRegistryKey
{
public:
    CSavedRegistryKey(HKEY hRoot, const char* pszKey);
    virtual ~CSavedRegistryKey();

    // Empties the key of values (the key itself may stay).
    void DeleteAllValues();

private:
    struct CSavedValue
    {
        std::string strName;
        DWORD dwType;
        std::vector<BYTE> data;
    };

    HKEY m_hRoot;
    std::string m_strKey;
    std::string m_strFirstMissing;   // empty when the key existed
    std::vector<CSavedValue> m_values;
};

#endif // TESTS_CSAVEDREGISTRYKEY_H
