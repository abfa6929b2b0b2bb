// CTaskDefinition.cpp - builds and writes a task definition for one job.
#include "tools/schedule/CTaskDefinition.h"

CTaskDefinition::CTaskDefinition()
{
}

CTaskDefinition::~CTaskDefinition()
{
}

BOOL CTaskDefinition::ReadNumber(const CString& strText, int nPos, int nDigits, int nMin, int nMax,
                                 int& nValue)
{
    nValue = 0;
    for (int i = nPos; i < nPos + nDigits; ++i)
    {
        if (i >= strText.GetLength() || strText[i] < '0' || strText[i] > '9')
            return FALSE;
        nValue = nValue * 10 + (strText[i] - '0');
    }
    return nValue >= nMin && nValue <= nMax;
}

BOOL CTaskDefinition::SetStart(const CString& strDate, const CString& strTime)
{
    static const int s_nDays[12] = { 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    int nYear, nMonth, nDay, nHour, nMinute;
    if (strDate.GetLength() != 10 || strDate[4] != '-' || strDate[7] != '-' || strTime.GetLength() != 5
        || strTime[2] != ':')
        return FALSE;
    if (!ReadNumber(strDate, 0, 4, 1601, 9999, nYear) || !ReadNumber(strDate, 5, 2, 1, 12, nMonth)
        || !ReadNumber(strDate, 8, 2, 1, s_nDays[nMonth - 1], nDay))
        return FALSE;
    const BOOL bLeap = (nYear % 4 == 0 && nYear % 100 != 0) || nYear % 400 == 0;
    if (nMonth == 2 && nDay == 29 && !bLeap)
        return FALSE;
    if (!ReadNumber(strTime, 0, 2, 0, 23, nHour) || !ReadNumber(strTime, 3, 2, 0, 59, nMinute))
        return FALSE;
    m_strStart = strDate + "T" + strTime + ":00";
    return TRUE;
}

// XML 1.0 carries no control characters but tab, line feed and carriage
// return; a command line has no business with the last two either.
BOOL CTaskDefinition::IsXmlText(const CString& strText)
{
    for (int i = 0; i < strText.GetLength(); ++i)
    {
        const unsigned char ch = static_cast<unsigned char>(strText[i]);
        if (ch < 0x20 && ch != '\t')
            return FALSE;
    }
    return TRUE;
}

BOOL CTaskDefinition::SetAction(const CString& strProgram, const CString& strCommandLine)
{
    if (strProgram.IsEmpty() || strProgram.Find('"') >= 0 || !IsXmlText(strProgram)
        || !IsXmlText(strCommandLine))
        return FALSE;
    m_strProgram = strProgram;
    m_strCommandLine = strCommandLine;
    return TRUE;
}

CString CTaskDefinition::Escape(const CString& strText)
{
    CString strOut;
    for (int i = 0; i < strText.GetLength(); ++i)
    {
        switch (strText[i])
        {
        case '&': strOut += "&amp;"; break;
        case '<': strOut += "&lt;"; break;
        case '>': strOut += "&gt;"; break;
        case '"': strOut += "&quot;"; break;
        case '\'': strOut += "&apos;"; break;
        default: strOut += strText[i]; break;
        }
    }
    return strOut;
}

// The same test as Tickward's own dispatch: the first ";"-separated token,
// leading separators skipped, is exactly "-E".
BOOL CTaskDefinition::IsPowerCommand(const CString& strCommandLine)
{
    int nStart = 0;
    while (nStart < strCommandLine.GetLength() && strCommandLine[nStart] == ';')
        ++nStart;
    if (nStart == strCommandLine.GetLength())
        return FALSE;
    const int nEnd = strCommandLine.Find(";", nStart);
    return (nEnd < 0 ? strCommandLine.Mid(nStart) : strCommandLine.Mid(nStart, nEnd - nStart)) == "-E";
}

CString CTaskDefinition::GetXml() const
{
    // A missed power command is not run late: it would act on a machine that
    // someone has just woken or logged on to. A missed recording job is.
    const char* pszLate = IsPowerCommand(m_strCommandLine) ? "false" : "true";
    CString strXml;
    strXml += "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n";
    strXml += "<!-- Written by twsched; scheduler/record.xml says why each setting is there. -->\r\n";
    strXml += "<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n";
    strXml += "  <RegistrationInfo>\r\n";
    strXml += "    <Description>Tickward job</Description>\r\n";
    strXml += "  </RegistrationInfo>\r\n";
    strXml += "  <Triggers>\r\n";
    strXml += "    <TimeTrigger>\r\n";
    strXml += "      <StartBoundary>" + m_strStart + "</StartBoundary>\r\n";
    strXml += "      <Enabled>true</Enabled>\r\n";
    strXml += "    </TimeTrigger>\r\n";
    strXml += "  </Triggers>\r\n";
    strXml += "  <Principals>\r\n";
    strXml += "    <Principal id=\"Author\">\r\n";
    strXml += "      <LogonType>InteractiveToken</LogonType>\r\n";
    strXml += "      <RunLevel>LeastPrivilege</RunLevel>\r\n";
    strXml += "    </Principal>\r\n";
    strXml += "  </Principals>\r\n";
    strXml += "  <Settings>\r\n";
    strXml += "    <WakeToRun>true</WakeToRun>\r\n";
    strXml += CString("    <StartWhenAvailable>") + pszLate + "</StartWhenAvailable>\r\n";
    strXml += "    <DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>\r\n";
    strXml += "    <StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>\r\n";
    strXml += "    <MultipleInstancesPolicy>Parallel</MultipleInstancesPolicy>\r\n";
    strXml += "    <ExecutionTimeLimit>PT5M</ExecutionTimeLimit>\r\n";
    strXml += "    <Priority>4</Priority>\r\n";
    strXml += "    <RunOnlyIfIdle>false</RunOnlyIfIdle>\r\n";
    strXml += "    <AllowStartOnDemand>true</AllowStartOnDemand>\r\n";
    strXml += "    <Enabled>true</Enabled>\r\n";
    strXml += "  </Settings>\r\n";
    strXml += "  <Actions Context=\"Author\">\r\n";
    strXml += "    <Exec>\r\n";
    strXml += "      <Command>" + Escape(CString("\"") + m_strProgram + "\"") + "</Command>\r\n";
    strXml += "      <Arguments>" + Escape(m_strCommandLine) + "</Arguments>\r\n";
    strXml += "    </Exec>\r\n";
    strXml += "  </Actions>\r\n";
    strXml += "</Task>\r\n";
    return strXml;
}

BOOL CTaskDefinition::WriteFile(LPCSTR pszPath) const
{
    // The command line came in the ANSI code page, as Tickward will read it.
    const CString strXml = GetXml();
    const int nChars = MultiByteToWideChar(CP_ACP, 0, strXml, strXml.GetLength(), NULL, 0);
    if (nChars <= 0)
        return FALSE;
    // The byte-order mark, then the text.
    wchar_t* pWide = new wchar_t[nChars + 1];
    pWide[0] = L'\xFEFF';
    const BOOL bConverted = MultiByteToWideChar(CP_ACP, 0, strXml, strXml.GetLength(), pWide + 1, nChars) == nChars;
    const BOOL bWritten = bConverted && WriteWide(pszPath, pWide, nChars + 1);
    delete[] pWide;
    return bWritten;
}

BOOL CTaskDefinition::WriteWide(LPCSTR pszPath, const wchar_t* pWide, int nChars)
{
    HANDLE hFile = CreateFileA(pszPath, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return FALSE;
    const DWORD dwBytes = static_cast<DWORD>(nChars * sizeof(wchar_t));
    DWORD dwWritten = 0;
    const BOOL bWritten = ::WriteFile(hFile, pWide, dwBytes, &dwWritten, NULL) && dwWritten == dwBytes;
    const BOOL bClosed = CloseHandle(hFile);
    return bWritten && bClosed;
}
