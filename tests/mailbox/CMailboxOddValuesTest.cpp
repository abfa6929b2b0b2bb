// The mailbox reader against slots that other programs, or damage, may have
// left: values of other types, texts at and past the read buffer, texts
// without their terminating zero, empty texts. A drain must hand over every
// job it can read for its device, exactly as stored, take nothing else, and
// leave every slot it did not take as it was.
#include "mailbox/CCmdLineProcess.h"

#include "cmdline/CCmdLineParams.h"
#include "tests/support/MailboxSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace
{
std::vector<std::string> g_handedOver;

void Collect(CCmdLineParams* pParams)
{
    g_handedOver.push_back("D=" + std::to_string(pParams->m_nD) + " File=" +
                           static_cast<LPCSTR>(pParams->m_strFile));
}

// A reader for device 1/2 that counts its pauses instead of sleeping them.
class COddValuesReader : public CCmdLineProcess
{
public:
    COddValuesReader() : m_nPauses(0)
    {
        m_strRegistryKey = MAILBOX_KEY;
        m_wDeviceType = 1;
        m_wDeviceIndex = 2;
        m_pRegistryChangeEvent = new CEvent(FALSE, TRUE);
    }
    int m_nPauses;

protected:
    virtual void Pause(DWORD /*dwMilliseconds*/)
    {
        ++m_nPauses;
    }
};

std::string FileOf(int nD, size_t nPadding = 0)
{
    return "C:\\rec" + std::to_string(nD) + std::string(nPadding, 'p') + ".ts";
}

// A job for the reader's device; with nLength, its file name is padded so
// that the text has exactly that many characters.
std::string Job(int nD, size_t nLength = 0, const std::string& strFile = "")
{
    const std::string strHead = " 010102;P: _SEL;D: " + std::to_string(nD) + ";Key: k;File: \"";
    const std::string strTail = "\" ;FM: 1;TO: 1;SO: 0;EO: 0";
    if (!strFile.empty())
        return strHead + strFile + strTail;
    const size_t nBare = (strHead + FileOf(nD) + strTail).size();
    return strHead + FileOf(nD, nLength > nBare ? nLength - nBare : 0) + strTail;
}

std::string HandedOver(int nD, size_t nLength = 0)
{
    const size_t nBare = Job(nD).size();
    return "D=" + std::to_string(nD) + " File=" + FileOf(nD, nLength > nBare ? nLength - nBare : 0);
}

typedef std::pair<DWORD, std::string> SlotValue;

SlotValue Value(DWORD dwType, const std::string& strData)
{
    return SlotValue(dwType, strData);
}

SlotValue TextValue(const std::string& strText)
{
    return SlotValue(REG_SZ, strText + std::string(1, '\0'));
}

std::string Zero(size_t nCount = 1)
{
    return std::string(nCount, '\0');
}

class MailboxOddValuesTest : public ::testing::Test
{
protected:
    virtual void SetUp()
    {
        DeleteMailbox();
        g_handedOver.clear();
        g_RegistryCallback = Collect;
    }
    virtual void TearDown()
    {
        g_RegistryCallback = NULL;
        DeleteMailbox();
    }

    // Plants the values in slots "1", "2", ... and returns them as read back.
    std::map<int, std::string> Plant(const std::vector<SlotValue>& values)
    {
        for (size_t i = 0; i < values.size(); ++i)
            WriteRawValue(std::to_string(i + 1).c_str(), values[i].first, values[i].second);
        const std::map<int, std::string> planted = ReadRawSlots();
        EXPECT_EQ(values.size(), planted.size());
        return planted;
    }

    // One drain; what stays is the planted mailbox without the taken slots.
    void ExpectDrain(const std::vector<int>& taken, const std::vector<std::string>& handedOver,
                     std::map<int, std::string> remaining)
    {
        CDebugOutputRecorder recorder;
        COddValuesReader reader;
        reader.CheckRegistryComanndos();
        EXPECT_EQ(handedOver, g_handedOver);
        EXPECT_EQ(static_cast<int>(handedOver.size()), reader.m_nPauses);
        for (size_t i = 0; i < taken.size(); ++i)
            remaining.erase(taken[i]);
        EXPECT_EQ(remaining, ReadRawSlots());
        EXPECT_FALSE(reader.m_bBusy);
        const std::string strParseError = "Error in ParseCmdLine";
        EXPECT_EQ(std::string::npos, recorder.All().find(strParseError));
    }
};
}

TEST_F(MailboxOddValuesTest, ValuesOfOtherTypesAreNeverTakenAndStayAsTheyWere)
{
    // The job bytes are there in all of them; only the text slot is a job.
    const std::map<int, std::string> planted = Plant({
        Value(REG_DWORD, std::string("\x01\x02\x00\x00", 4)),
        Value(REG_BINARY, Job(2) + Zero()),
        Value(REG_MULTI_SZ, Job(3) + Zero(2)),
        Value(REG_QWORD, std::string(8, '\x07')),
        Value(REG_NONE, Job(5) + Zero()),
        Value(REG_DWORD_BIG_ENDIAN, std::string("\x00\x00\x00\x01", 4)),
        TextValue(Job(7)),
        Value(REG_BINARY, std::string()) });
    ExpectDrain({ 7 }, { HandedOver(7) }, planted);
}

TEST_F(MailboxOddValuesTest, TextsAreTakenWhenTheyFitTheReadBufferAndExactlyAsStored)
{
    const std::map<int, std::string> planted = Plant({
        TextValue(Job(1, 518)),                             // 519 bytes
        TextValue(Job(2, 519)),                             // 520 bytes: fills the buffer
        TextValue(Job(3, 520)),                             // 521 bytes: cannot be read, not there
        Value(REG_SZ, Job(4, 520)),                         // 520 bytes without a zero
        Value(REG_SZ, Job(5)),                              // short, without a zero
        TextValue(""),                                      // empty text
        Value(REG_SZ, std::string()),                       // no data at all
        Value(REG_EXPAND_SZ, Job(8, 0, "%TEMP%\\rec8.ts") + Zero()),  // a text, taken unexpanded
        Value(REG_SZ, Job(9) + Zero() + "after the zero" + Zero()),
        TextValue(Job(10, 600)) });
    ExpectDrain({ 1, 2, 4, 5, 8, 9 },
                { HandedOver(1, 518), HandedOver(2, 519), HandedOver(4, 520), HandedOver(5),
                  "D=8 File=%TEMP%\\rec8.ts", HandedOver(9) },
                planted);
}
