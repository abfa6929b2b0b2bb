// CTaskDefinition.cpp - builds and writes a task definition for one job.
#include "schedule/CTaskDefinition.h"

#include "cmdline/CCmdLineParams.h"
#include "cmdline/ParseCmdLine.h"
#include "cmdline/ProductCode.h"
#include "cmdline/StrToInt32.h"
#include "instance/HeartbeatTable.h"
#include "schedule/TimeTicks.h"

namespace
{
const char* const DAY_NAMES[7] = { "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat" };
const char* const DAY_ELEMENTS[7] = { "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday" };
const int EVERY_DAY = 0x7F;

// The first time at nHour:nMinute after nAfter on a day in nDays.
SYSTEMTIME NextStartAfter(int nHour, int nMinute, int nDays, ULONGLONG nAfter)
{
    SYSTEMTIME day = TimeTicks::ToSystemTime(nAfter);
    day.wHour = static_cast<WORD>(nHour);
    day.wMinute = static_cast<WORD>(nMinute);
    day.wSecond = 0;
    day.wMilliseconds = 0;
    ULONGLONG nStart = TimeTicks::FromSystemTime(day);
    for (int i = 0; i <= 7; ++i, nStart += TimeTicks::PER_DAY)
    {
        day = TimeTicks::ToSystemTime(nStart);
        if (nStart > nAfter && (nDays & (1 << day.wDayOfWeek)) != 0)
            break;
    }
    return day;
}

// The next word of strText from nPos on, up to a blank.
CString NextWord(const CString& strText, int& nPos)
{
    const int nBlank = strText.Find(" ", nPos);
    const CString strWord = nBlank < 0 ? strText.Mid(nPos) : strText.Mid(nPos, nBlank - nPos);
    nPos = nBlank < 0 ? strText.GetLength() : nBlank + 1;
    return strWord;
}
}

CTaskDefinition::CTaskDefinition()
    : m_nTrigger(triggerOnce), m_nDays(0)
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
    if (!ReadTime(strTime, nHour, nMinute))
        return FALSE;
    m_strStart = strDate + "T" + strTime + ":00";
    m_nTrigger = triggerOnce;
    return TRUE;
}

BOOL CTaskDefinition::ReadTime(const CString& strTime, int& nHour, int& nMinute)
{
    return strTime.GetLength() == 5 && strTime[2] == ':' && ReadNumber(strTime, 0, 2, 0, 23, nHour)
           && ReadNumber(strTime, 3, 2, 0, 59, nMinute);
}

// "Mon,Thu": day names in any order, each once.
BOOL CTaskDefinition::ReadDays(const CString& strDays, int& nDays)
{
    nDays = 0;
    for (int nPos = 0; nPos < strDays.GetLength(); nPos += 4)
    {
        const CString strDay = strDays.Mid(nPos, 3);
        int nDay = 0;
        while (nDay < 7 && strDay != DAY_NAMES[nDay])
            ++nDay;
        if (nDay == 7 || (nDays & (1 << nDay)) != 0)
            return FALSE;
        nDays |= 1 << nDay;
        if (nPos + 3 < strDays.GetLength() && strDays[nPos + 3] != ',')
            return FALSE;
    }
    return nDays != 0 && strDays[strDays.GetLength() - 1] != ',';
}

BOOL CTaskDefinition::SetDaily(const CString& strTime, const SYSTEMTIME& now)
{
    int nHour, nMinute;
    if (!ReadTime(strTime, nHour, nMinute))
        return FALSE;
    SetNextStart(nHour, nMinute, EVERY_DAY, now);
    m_nTrigger = triggerDaily;
    return TRUE;
}

BOOL CTaskDefinition::SetWeekly(const CString& strDays, const CString& strTime, const SYSTEMTIME& now)
{
    int nHour, nMinute, nDays;
    if (!ReadDays(strDays, nDays) || !ReadTime(strTime, nHour, nMinute))
        return FALSE;
    SetNextStart(nHour, nMinute, nDays, now);
    m_nTrigger = triggerWeekly;
    m_nDays = nDays;
    return TRUE;
}

void CTaskDefinition::SetNextStart(int nHour, int nMinute, int nDays, const SYSTEMTIME& now)
{
    const SYSTEMTIME day = NextStartAfter(nHour, nMinute, nDays, TimeTicks::FromSystemTime(now));
    m_strStart.Format("%04u-%02u-%02uT%02u:%02u:00", day.wYear, day.wMonth, day.wDay, day.wHour, day.wMinute);
}

int CTaskDefinition::SetWhen(const CString& strWhen, const SYSTEMTIME& now)
{
    int nPos = 0;
    const CString strFirst = NextWord(strWhen, nPos);
    const CString strSecond = NextWord(strWhen, nPos);
    const CString strThird = strFirst == "weekly" ? NextWord(strWhen, nPos) : CString();
    if (nPos < strWhen.GetLength() || strWhen.Right(1) == " ")
        return whenUnreadable;
    const BOOL bSet = strFirst == "daily"    ? SetDaily(strSecond, now)
                      : strFirst == "weekly" ? SetWeekly(strSecond, strThird, now)
                                             : SetStart(strFirst, strSecond);
    return !bSet ? whenUnreadable : IsStartPast(now) ? whenPast : whenSet;
}

BOOL CTaskDefinition::ReadStart(const CString& strStart, SYSTEMTIME& start)
{
    ZeroMemory(&start, sizeof(start));
    int nYear, nMonth, nDay, nHour, nMinute;
    if (strStart.GetLength() != 19 || strStart.Mid(16) != ":00" || !ReadNumber(strStart, 0, 4, 1601, 9999, nYear)
        || !ReadNumber(strStart, 5, 2, 1, 12, nMonth) || !ReadNumber(strStart, 8, 2, 1, 31, nDay)
        || !ReadTime(strStart.Mid(11, 5), nHour, nMinute))
        return FALSE;
    start.wYear = static_cast<WORD>(nYear);
    start.wMonth = static_cast<WORD>(nMonth);
    start.wDay = static_cast<WORD>(nDay);
    start.wHour = static_cast<WORD>(nHour);
    start.wMinute = static_cast<WORD>(nMinute);
    // Through the file time and back: the day of the week, and FALSE for a 31 April.
    FILETIME file;
    return SystemTimeToFileTime(&start, &file) && FileTimeToSystemTime(&file, &start);
}

BOOL CTaskDefinition::GetNextStart(const SYSTEMTIME& now, SYSTEMTIME& next) const
{
    SYSTEMTIME first;
    if (!ReadStart(m_strStart, first))
        return FALSE;
    const ULONGLONG nNow = TimeTicks::FromSystemTime(now);
    const ULONGLONG nFirst = TimeTicks::FromSystemTime(first);
    if (m_nTrigger == triggerOnce)
    {
        next = first;
        return nFirst > nNow;
    }
    const int nDays = m_nTrigger == triggerWeekly ? m_nDays : EVERY_DAY;
    next = NextStartAfter(first.wHour, first.wMinute, nDays, nNow > nFirst - 1 ? nNow : nFirst - 1);
    return TRUE;
}

CString CTaskDefinition::GetRepeat() const
{
    if (m_nTrigger == triggerOnce)
        return "once";
    if (m_nTrigger == triggerDaily)
        return "daily";
    CString strRepeat = "weekly ";
    for (int nDay = 1; nDay <= 7; ++nDay)
        if ((m_nDays & (1 << (nDay % 7))) != 0)
            strRepeat += CString(DAY_NAMES[nDay % 7]) + ",";
    return strRepeat.Left(strRepeat.GetLength() - 1);
}

BOOL CTaskDefinition::SetRepeat(const CString& strRepeat)
{
    int nDays = 0;
    const BOOL bWeekly = strRepeat.Left(7) == "weekly " && ReadDays(strRepeat.Mid(7), nDays);
    if (!bWeekly && strRepeat != "once" && strRepeat != "daily")
        return FALSE;
    m_nTrigger = bWeekly ? triggerWeekly : strRepeat == "daily" ? triggerDaily : triggerOnce;
    m_nDays = nDays;
    return TRUE;
}

BOOL CTaskDefinition::IsStartPast(const SYSTEMTIME& now) const
{
    CString strNow;
    strNow.Format("%04u-%02u-%02uT%02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                  now.wSecond);
    // The form sorts as the time does.
    return m_nTrigger == triggerOnce && m_strStart < strNow;
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

// Tickward's own refusals, in the order its dispatch meets them.
BOOL CTaskDefinition::IsUsableCommand(const CString& strCommandLine, CString& strWhy)
{
    if (IsPowerCommand(strCommandLine))
    {
        const int nSecond = strCommandLine.Find(";", strCommandLine.Find("-E")) + 1;
        const int nEnd = strCommandLine.Find(";", nSecond);
        const CString strCode = nEnd < 0 ? strCommandLine.Mid(nSecond) : strCommandLine.Mid(nSecond, nEnd - nSecond);
        const int nCode = StrToInt32(strCode, 10);
        strWhy = "a power command is -E;2 (standby), -E;3 (shut down) or -E;4 (hibernate)";
        return nSecond > 0 && !strCode.IsEmpty() && nCode >= 2 && nCode <= 4;
    }
    CCmdLineParams params;
    strWhy.Format("Tickward takes a timer command of at most %d characters", TIMER_COMMAND_LIMIT - 1);
    if (strCommandLine.GetLength() >= TIMER_COMMAND_LIMIT)
        return FALSE;
    strWhy = "the timer command does not parse (\"<application path>\";<devices>;P: ...;EO: <n>)";
    if (!ParseCmdLine(strCommandLine, &params, TRUE, FALSE))
        return FALSE;
    strWhy.Format("the product %s is not supported: it would show a message box that nobody closes",
                  static_cast<LPCSTR>(params.m_strProduct));
    if (ProductCode::Classify(params.m_strProduct) != ProductCode::classSupported)
        return FALSE;
    strWhy = "the device list cannot be read: it begins with a count, then type and index of each device, two "
             "hexadecimal digits each, the index 00 to 09 (010102)";
    return params.GetDeviceType(0) >= 0 && HeartbeatTable::IsValidIndex(params.GetDeviceIndex(0));
}

CString CTaskDefinition::GetTriggerXml() const
{
    if (m_nTrigger == triggerOnce)
        return "    <TimeTrigger>\r\n      <StartBoundary>" + m_strStart
               + "</StartBoundary>\r\n      <Enabled>true</Enabled>\r\n    </TimeTrigger>\r\n";
    CString strSchedule = "      <ScheduleByDay>\r\n        <DaysInterval>1</DaysInterval>\r\n      </ScheduleByDay>\r\n";
    if (m_nTrigger == triggerWeekly)
    {
        strSchedule = "      <ScheduleByWeek>\r\n        <DaysOfWeek>\r\n";
        for (int nDay = 0; nDay < 7; ++nDay)
            if ((m_nDays & (1 << nDay)) != 0)
                strSchedule += CString("          <") + DAY_ELEMENTS[nDay] + " />\r\n";
        strSchedule += "        </DaysOfWeek>\r\n        <WeeksInterval>1</WeeksInterval>\r\n      </ScheduleByWeek>\r\n";
    }
    return "    <CalendarTrigger>\r\n      <StartBoundary>" + m_strStart
           + "</StartBoundary>\r\n      <Enabled>true</Enabled>\r\n" + strSchedule + "    </CalendarTrigger>\r\n";
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
    strXml += GetTriggerXml();
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
    // A power command may wait for a declared recording up to PowerWaitLimit
    // (6 hours unless changed); the task's limit must not end that wait.
    strXml += CString("    <ExecutionTimeLimit>") + (IsPowerCommand(m_strCommandLine) ? "PT7H" : "PT5M")
              + "</ExecutionTimeLimit>\r\n";
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
