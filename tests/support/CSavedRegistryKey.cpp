// CSavedRegistryKey.cpp - saves and restores a registry key around a test.
#include "tests/support/CSavedRegistryKey.h"

#include <shlwapi.h>

namespace
{
BOOL KeyExists(HKEY hRoot, const std::string& strKey)
{
    HKEY hKey = NULL;
    if (RegOpenKeyExA(hRoot, strKey.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return FALSE;
    RegCloseKey(hKey);
    return TRUE;
}
}

CSavedRegistryKey::CSavedRegistryKey(HKEY hRoot, const char* pszKey)
    : m_hRoot(hRoot), m_strKey(pszKey)
{
    // The shortest missing path is what the test may create and must remove.
    size_t nSlash = 0;
    while (nSlash != std::string::npos)
    {
        nSlash = m_strKey.find('\\', nSlash + 1);
        const std::string strPath = m_strKey.substr(0, nSlash);
        if (!KeyExists(m_hRoot, strPath))
        {
            m_strFirstMissing = strPath;
            return;
        }
    }

    HKEY hKey = NULL;
    if (RegOpenKeyExA(m_hRoot, m_strKey.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return;
    for (DWORD dwIndex = 0;; ++dwIndex)
    {
        char szName[16384];
        DWORD dwNameSize = sizeof(szName);
        DWORD dwType = 0;
        DWORD dwDataSize = 0;
        if (RegEnumValueA(hKey, dwIndex, szName, &dwNameSize, NULL, &dwType, NULL, &dwDataSize)
            != ERROR_SUCCESS)
            break;
        CSavedValue value;
        value.strName = szName;
        value.dwType = dwType;
        value.data.resize(dwDataSize + 1);
        DWORD dwSize = dwDataSize;
        RegQueryValueExA(hKey, szName, NULL, NULL, value.data.data(), &dwSize);
        value.data.resize(dwSize);
        m_values.push_back(value);
    }
    RegCloseKey(hKey);
}

CSavedRegistryKey::~CSavedRegistryKey()
{
    if (!m_strFirstMissing.empty())
    {
        SHDeleteKeyA(m_hRoot, m_strFirstMissing.c_str());
        return;
    }
    DeleteAllValues();
    HKEY hKey = NULL;
    if (RegCreateKeyExA(m_hRoot, m_strKey.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &hKey, NULL)
        != ERROR_SUCCESS)
        return;
    for (size_t i = 0; i < m_values.size(); ++i)
    {
        const CSavedValue& value = m_values[i];
        RegSetValueExA(hKey, value.strName.c_str(), 0, value.dwType, value.data.data(),
                       static_cast<DWORD>(value.data.size()));
    }
    RegCloseKey(hKey);
}

void CSavedRegistryKey::DeleteAllValues()
{
    HKEY hKey = NULL;
    if (RegOpenKeyExA(m_hRoot, m_strKey.c_str(), 0, KEY_ALL_ACCESS, &hKey) != ERROR_SUCCESS)
        return;
    char szName[16384];
    DWORD dwNameSize = sizeof(szName);
    while (RegEnumValueA(hKey, 0, szName, &dwNameSize, NULL, NULL, NULL, NULL) == ERROR_SUCCESS)
    {
        if (RegDeleteValueA(hKey, szName) != ERROR_SUCCESS)
            break;
        dwNameSize = sizeof(szName);
    }
    RegCloseKey(hKey);
}
