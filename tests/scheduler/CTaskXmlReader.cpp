// CTaskXmlReader.cpp - XmlLite, loaded at run time (no import library).
#include "tests/scheduler/CTaskXmlReader.h"

#include <shlwapi.h>
#include <xmllite.h>

#include <vector>

namespace
{
typedef HRESULT(WINAPI* PFNCREATEXMLREADER)(REFIID riid, void** ppvObject, IMalloc* pMalloc);

std::string ToAnsi(LPCWSTR pszText, UINT nLength)
{
    if (nLength == 0)
        return std::string();
    const int nBytes = WideCharToMultiByte(CP_ACP, 0, pszText, static_cast<int>(nLength), NULL, 0, NULL, NULL);
    std::string strOut(static_cast<size_t>(nBytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, pszText, static_cast<int>(nLength), &strOut[0], nBytes, NULL, NULL);
    return strOut;
}

std::string JoinPath(const std::vector<std::string>& path)
{
    std::string strPath;
    for (size_t i = 0; i < path.size(); ++i)
        strPath += (i == 0 ? "" : "/") + path[i];
    return strPath;
}

std::string LocalName(IXmlReader* pReader)
{
    LPCWSTR pszName = NULL;
    UINT nLength = 0;
    pReader->GetLocalName(&pszName, &nLength);
    return ToAnsi(pszName, nLength);
}

std::string Value(IXmlReader* pReader)
{
    LPCWSTR pszValue = NULL;
    UINT nLength = 0;
    pReader->GetValue(&pszValue, &nLength);
    return ToAnsi(pszValue, nLength);
}
}

CTaskXmlReader::CTaskXmlReader()
{
}

CTaskXmlReader::~CTaskXmlReader()
{
}

std::string CTaskXmlReader::Get(const std::string& strPath) const
{
    std::map<std::string, std::string>::const_iterator it = m_values.find(strPath);
    return it == m_values.end() ? std::string("<none>") : it->second;
}

// Wine's XmlLite stops with a syntax error after about 8 KB of UTF-16
// input (Windows' does not), so a UTF-16 file is handed over as UTF-8, its
// declaration changed to match. That the file is UTF-16 with a byte-order
// mark is for the caller to check.
BOOL CTaskXmlReader::ReadFile(const std::string& strPath)
{
    HANDLE hFile = CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return FALSE;
    std::string strData;
    char buffer[4096];
    DWORD dwRead = 0;
    while (::ReadFile(hFile, buffer, sizeof(buffer), &dwRead, NULL) && dwRead > 0)
        strData.append(buffer, dwRead);
    CloseHandle(hFile);
    if (strData.size() < 2 || strData.compare(0, 2, "\xFF\xFE") != 0)
        return ReadBytes(strData);

    const LPCWSTR pszWide = reinterpret_cast<LPCWSTR>(strData.data() + 2);
    const int nWide = static_cast<int>((strData.size() - 2) / sizeof(wchar_t));
    const int nBytes = WideCharToMultiByte(CP_UTF8, 0, pszWide, nWide, NULL, 0, NULL, NULL);
    std::string strUtf8(static_cast<size_t>(nBytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, pszWide, nWide, &strUtf8[0], nBytes, NULL, NULL);
    const size_t nDeclarationEnd = strUtf8.find("?>");
    const std::string strUtf16 = "encoding=\"UTF-16\"";
    const size_t nEncoding = strUtf8.find(strUtf16);
    if (nEncoding != std::string::npos && nEncoding < nDeclarationEnd)
        strUtf8.replace(nEncoding, strUtf16.size(), "encoding=\"UTF-8\"");
    return ReadBytes(strUtf8);
}

BOOL CTaskXmlReader::ReadText(const std::wstring& strXml)
{
    const std::wstring strWithMark = L"\xFEFF" + strXml;
    return ReadBytes(std::string(reinterpret_cast<const char*>(strWithMark.data()),
                                 strWithMark.size() * sizeof(wchar_t)));
}

BOOL CTaskXmlReader::ReadBytes(const std::string& strData)
{
    IStream* pStream = SHCreateMemStream(reinterpret_cast<const BYTE*>(strData.data()),
                                         static_cast<UINT>(strData.size()));
    if (pStream == NULL)
        return FALSE;
    const BOOL bRead = ReadStream(pStream);
    pStream->Release();
    return bRead;
}

BOOL CTaskXmlReader::ReadStream(IStream* pStream)
{
    m_values.clear();
    HMODULE hXmlLite = LoadLibraryA("xmllite.dll");
    if (hXmlLite == NULL)
        return FALSE;
    PFNCREATEXMLREADER pfnCreate =
        reinterpret_cast<PFNCREATEXMLREADER>(reinterpret_cast<void*>(GetProcAddress(hXmlLite, "CreateXmlReader")));
    IXmlReader* pReader = NULL;
    if (pfnCreate == NULL || FAILED(pfnCreate(__uuidof(IXmlReader), reinterpret_cast<void**>(&pReader), NULL)))
    {
        FreeLibrary(hXmlLite);
        return FALSE;
    }

    HRESULT hr = pReader->SetInput(pStream);
    std::vector<std::string> path;
    XmlNodeType nodeType = XmlNodeType_None;
    while (SUCCEEDED(hr) && (hr = pReader->Read(&nodeType)) == S_OK)
    {
        if (nodeType == XmlNodeType_Element)
        {
            const BOOL bEmpty = pReader->IsEmptyElement();
            path.push_back(LocalName(pReader));
            const std::string strPath = JoinPath(path);
            m_values[strPath];
            for (HRESULT hrAttribute = pReader->MoveToFirstAttribute(); hrAttribute == S_OK;
                 hrAttribute = pReader->MoveToNextAttribute())
                m_values[strPath + "@" + LocalName(pReader)] = Value(pReader);
            pReader->MoveToElement();
            if (bEmpty)
                path.pop_back();
        }
        else if (nodeType == XmlNodeType_Text && !path.empty())
        {
            m_values[JoinPath(path)] += Value(pReader);
        }
        else if (nodeType == XmlNodeType_EndElement && !path.empty())
        {
            path.pop_back();
        }
    }
    pReader->Release();
    FreeLibrary(hXmlLite);
    // The end of the input comes as S_FALSE; a parse error as a failure.
    return hr == S_FALSE && path.empty() && !m_values.empty();
}
