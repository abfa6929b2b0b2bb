// CDebuggeeRun.cpp - a debuggee's debugger output, kept for the tests.
#include "tools/dbgrun/CDebuggeeRun.h"

CDebuggeeRun::CDebuggeeRun()
{
}

CDebuggeeRun::~CDebuggeeRun()
{
}

BOOL CDebuggeeRun::Run(const std::string& strCommandLine, DWORD dwTimeout)
{
    m_outputs.clear();
    return CDebuggee::Run(strCommandLine.c_str(), dwTimeout);
}

void CDebuggeeRun::OnOutput(const char* pchText, int nLength)
{
    m_outputs.push_back(std::string(pchText, nLength));
}

std::string CDebuggeeRun::GetAllOutput() const
{
    std::string strAll;
    for (size_t i = 0; i < m_outputs.size(); ++i)
        strAll += m_outputs[i];
    return strAll;
}

std::string EscapeText(const std::string& strText)
{
    const CString strEscaped = CDebuggee::Escape(strText.data(), static_cast<int>(strText.size()));
    return std::string(strEscaped, strEscaped.GetLength());
}
