// CmdLineFuzz.cpp - libFuzzer target for the timer command texts.
//
// Every input is used twice:
// 1. as a command text (up to its first zero byte, as any caller would see
//    it), parsed in all four flag combinations; the caller's bytes must stay
//    as they were, a failed parse may only have written a leading run of
//    fields, and whatever record comes out must survive the mailbox round
//    trip;
// 2. cut at its zero bytes into field values of a hand-made record, which
//    is composed and parsed back; values with ";" in them can never come out
//    of a parse and are not expected to come through.
// A broken promise ends the run with abort(), so libFuzzer keeps the input.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "cmdline/CCmdLineParams.h"
#include "cmdline/ParseCmdLine.h"
#include "cmdline/StrToInt32.h"

namespace
{
// Parsed values never hold a ";" (it always ends a token), so a text field
// that still holds this after a parse was not written by it.
const char g_szUnwritten[] = "unwritten;";

void Check(bool bHolds, const char* pszWhat)
{
    if (!bHolds)
    {
        fprintf(stderr, "cmdline_fuzz: broken promise: %s\n", pszWhat);
        abort();
    }
}

bool HasSeparator(const CString& str)
{
    return str.Find(';') >= 0;
}

CString Trimmed(const CString& str)
{
    CString strTrimmed(str);
    strTrimmed.TrimLeft();
    strTrimmed.TrimRight();
    return strTrimmed;
}

struct SDevices
{
    int nCount;
    int nType;
    int nIndex;
    int nTypeBeyond;
    int nIndexBeyond;
};

SDevices ReadDevices(CCmdLineParams& params)
{
    SDevices devices;
    devices.nCount = params.GetDeviceCount();
    devices.nType = params.GetDeviceType(0);
    devices.nIndex = params.GetDeviceIndex(0);
    devices.nTypeBeyond = params.GetDeviceType(devices.nCount < 0 ? 0 : devices.nCount);
    devices.nIndexBeyond = params.GetDeviceIndex(-1);
    Check(devices.nTypeBeyond == -1 && devices.nIndexBeyond == -1,
        "entries outside the list give -1");
    Check(params.GetDeviceType(0x7fffffff) == -1 && params.GetDeviceIndex(INT32_MIN) == -1,
        "far entries give -1");
    Check(params.m_strDevices == Trimmed(params.m_strDevices), "accessors trim the list");
    if (devices.nType != -1 || devices.nIndex != -1)
        Check(params.m_strDevices.GetLength() == 4 * devices.nCount + 2, "type only for 4N+2");
    return devices;
}

// The mailbox form, composed here independently of the system's code.
std::string ExpectedMailboxText(const CCmdLineParams& params)
{
    char szNumbers[128];
    snprintf(szNumbers, sizeof(szNumbers), "\" ;FM: %d;TO: %d;SO: %d;EO: %d",
        params.m_nFM, params.m_nTO, params.m_nSO, params.m_nEO);
    return std::string(" ") + static_cast<const char*>(params.m_strDevices)
        + ";P: " + static_cast<const char*>(params.m_strProduct)
        + ";D: " + std::to_string(params.m_nD)
        + ";Key: " + static_cast<const char*>(params.m_strKey)
        + ";File: \"" + static_cast<const char*>(params.m_strFile)
        + szNumbers;
}

// Composes params (after its device list was read, as a delivery does) and
// parses the text back as the mailbox reader does.
void CheckRoundTrip(CCmdLineParams& params)
{
    const SDevices devices = ReadDevices(params);
    if (HasSeparator(params.m_strDevices) || HasSeparator(params.m_strProduct)
        || HasSeparator(params.m_strKey) || HasSeparator(params.m_strFile))
    {
        CString strText;
        BuildRegistryCmdLine(&params, strText);
        CCmdLineParams again;
        ParseCmdLine(strText, &again, FALSE, FALSE);
        return;
    }

    CString strText("previous");
    Check(BuildRegistryCmdLine(&params, strText) != FALSE, "composing succeeds");
    Check(ExpectedMailboxText(params) == static_cast<const char*>(strText), "mailbox form exact");

    CCmdLineParams again;
    Check(ParseCmdLine(strText, &again, FALSE, FALSE) != FALSE, "mailbox form parses");
    Check(again.m_strAppPath.IsEmpty(), "no path in the mailbox form");
    Check(again.m_strDevices == " " + params.m_strDevices, "device list with its blank");
    Check(again.m_strProduct == Trimmed(params.m_strProduct), "product");
    Check(again.m_strKey == Trimmed(params.m_strKey), "key");
    Check(again.m_strFile == params.m_strFile, "file");
    Check(again.m_nD == params.m_nD, "D");
    Check(again.m_nFM == params.m_nFM, "FM");
    Check(again.m_nTO == params.m_nTO, "TO");
    Check(again.m_nSO == params.m_nSO, "SO");
    Check(again.m_nEO == params.m_nEO, "EO");

    const SDevices devicesAgain = ReadDevices(again);
    Check(devicesAgain.nCount == devices.nCount, "count after the round trip");
    Check(devicesAgain.nType == devices.nType, "type after the round trip");
    Check(devicesAgain.nIndex == devices.nIndex, "index after the round trip");

    CCmdLineParams listOnly;
    Check(ParseCmdLine(strText, &listOnly, FALSE, TRUE) != FALSE, "mailbox list parses");
    Check(listOnly.m_strDevices == " " + params.m_strDevices, "list-only mode finds the same list");
}

void Poison(CCmdLineParams& params)
{
    params.m_strAppPath = g_szUnwritten;
    params.m_strDevices = g_szUnwritten;
    params.m_strProduct = g_szUnwritten;
    params.m_strKey = g_szUnwritten;
    params.m_strFile = g_szUnwritten;
}

bool Written(const CString& str)
{
    return str != g_szUnwritten;
}

// One mode on one text: the partial-record contract on a poisoned record,
// the same values on a fresh one, then the round trip.
void CheckMode(const char* pszText, BOOL bWithAppPath, BOOL bDevicesOnly)
{
    CCmdLineParams poisoned;
    Poison(poisoned);
    const BOOL bPoisoned = ParseCmdLine(pszText, &poisoned, bWithAppPath, bDevicesOnly);
    CCmdLineParams fresh;
    const BOOL bFresh = ParseCmdLine(pszText, &fresh, bWithAppPath, bDevicesOnly);
    Check(bPoisoned == bFresh, "same result on any record");

    const bool bPath = bWithAppPath && !bDevicesOnly;
    const CString* const apstrOrder[] = {
        &poisoned.m_strAppPath, &poisoned.m_strDevices, &poisoned.m_strProduct,
        &poisoned.m_strKey, &poisoned.m_strFile };
    const CString* const apstrFresh[] = {
        &fresh.m_strAppPath, &fresh.m_strDevices, &fresh.m_strProduct,
        &fresh.m_strKey, &fresh.m_strFile };
    const size_t nFirst = bPath ? 0 : 1;
    const size_t nLast = bDevicesOnly ? 1 : 4;
    if (!bPath)
        Check(!Written(poisoned.m_strAppPath), "path only in the command-line form");
    bool bGap = false;
    for (size_t i = nFirst; i < 5; ++i)
    {
        const bool bWritten = Written(*apstrOrder[i]);
        if (i > nLast)
            Check(!bWritten, "nothing after the device list in list-only mode");
        Check(!(bGap && bWritten), "fields are written in token order");
        if (bWritten)
            Check(*apstrOrder[i] == *apstrFresh[i], "same value on any record");
        else
            Check(apstrFresh[i]->IsEmpty(), "unwritten field keeps its initial value");
        if (bPoisoned && i <= nLast)
            Check(bWritten, "a successful parse writes every field of its mode");
        bGap = bGap || !bWritten;
    }
    if (!bFresh)
        Check(fresh.m_nEO == 0 || Written(poisoned.m_strFile), "EO only after File");
    if (bDevicesOnly || !Written(poisoned.m_strFile))
    {
        Check(fresh.m_nFM == 1 && fresh.m_nTO == 1 && fresh.m_nSO == 0 && fresh.m_nEO == 0,
            "numbers after File untouched before File");
    }
    CheckRoundTrip(fresh);
}

// Cuts the input at zero bytes into the values of a hand-made record.
void CheckHandMadeRecord(const uint8_t* pData, size_t nSize)
{
    std::vector<std::string> parts(10);
    size_t nPart = 0;
    for (size_t i = 0; i < nSize && nPart < parts.size(); ++i)
    {
        if (pData[i] == 0)
            ++nPart;
        else
            parts[nPart] += static_cast<char>(pData[i]);
    }
    CCmdLineParams params;
    params.m_strDevices = parts[0].c_str();
    params.m_strProduct = parts[1].c_str();
    params.m_strKey = parts[2].c_str();
    params.m_strFile = parts[3].c_str();
    params.m_strAppPath = parts[4].c_str();
    params.m_nD = StrToInt32(parts[5].c_str(), 10);
    params.m_nFM = StrToInt32(parts[6].c_str(), 10);
    params.m_nTO = StrToInt32(parts[7].c_str(), 16);
    params.m_nSO = StrToInt32(parts[8].c_str(), 10);
    params.m_nEO = StrToInt32(parts[9].c_str(), 8);
    CheckRoundTrip(params);
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    // Exactly as long as the input plus its terminating zero, so that any
    // read past the text's end is caught; bytes after a zero byte are not
    // part of the text but must not be touched either.
    char* pszText = static_cast<char*>(malloc(nSize + 1));
    if (pszText == NULL)
        return 0;
    memcpy(pszText, pData, nSize);
    pszText[nSize] = '\0';

    CheckMode(pszText, TRUE, FALSE);
    CheckMode(pszText, FALSE, FALSE);
    CheckMode(pszText, FALSE, TRUE);
    CheckMode(pszText, TRUE, TRUE);
    Check(memcmp(pszText, pData, nSize) == 0 && pszText[nSize] == '\0', "caller's text unchanged");

    // Device-list-only parsing is the same with or without bWithAppPath.
    CCmdLineParams listOnly;
    CCmdLineParams listOnlyWithPath;
    Check(ParseCmdLine(pszText, &listOnly, FALSE, TRUE)
            == ParseCmdLine(pszText, &listOnlyWithPath, TRUE, TRUE), "both list-only modes agree");
    Check(listOnly.m_strDevices == listOnlyWithPath.m_strDevices, "both list-only modes agree on the list");

    free(pszText);
    CheckHandMadeRecord(pData, nSize);
    return 0;
}
