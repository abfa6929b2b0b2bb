// Tests of the diagnostic channels.
#include "log/Log.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

TEST(Log, EachChannelWritesItsFrameOrNothing)
{
    CDebugOutputRecorder output;
    LogDebug("## STANDBY ##");
    LogTagged("%s - %s", "Regkey", "1");
    LogError("Tickward: ExecuteCommand Error.");
    LogSilent("CMD: %s", "-E;3");
    Trace("Write new CmdLine: %s - %s", "key", "1");
    const std::vector<std::string> texts = output.Texts();
    ASSERT_EQ(3u, texts.size());
    EXPECT_EQ("\n## STANDBY ##\t", texts[0]);
    EXPECT_EQ("\n$TP$ Regkey - 1\t", texts[1]);
    EXPECT_EQ("\nError: Tickward: ExecuteCommand Error.\t", texts[2]);
}

TEST(Log, UsesTheWsprintfConversions)
{
    CDebugOutputRecorder output;
    LogDebug("%d|%i|%u|%x|%c|%5s", -5, 7, 4000000000u, 255u, 'k', "ab");
    ASSERT_EQ(1u, output.Texts().size());
    EXPECT_EQ("\n-5|7|4000000000|ff|k|   ab\t", output.Texts()[0]);
}

TEST(Log, LongMessagesAreCutInsideTheBuffers)
{
    CDebugOutputRecorder output;
    const std::string strLong(2000, 'x');
    LogDebug("CMD: %s", strLong.c_str());
    LogError("%s", strLong.c_str());
    LogSilent("CMD: %s", strLong.c_str());  // must not overrun either
    const std::vector<std::string> texts = output.Texts();
    ASSERT_EQ(2u, texts.size());
    // 254 characters fit each 255-byte buffer; the frame's tail is cut off.
    EXPECT_EQ(254u, texts[0].size());
    EXPECT_EQ("\nCMD: " + std::string(248, 'x'), texts[0]);
    EXPECT_EQ("\nError: " + std::string(246, 'x'), texts[1]);

    // A message that just fits keeps its whole frame.
    output.Clear();
    LogDebug("%s", std::string(252, 'y').c_str());
    ASSERT_EQ(1u, output.Texts().size());
    EXPECT_EQ("\n" + std::string(252, 'y') + "\t", output.Texts()[0]);
}

TEST(Log, FixedTextsGoOutUnchanged)
{
    CDebugOutputRecorder output;
    DebugOutput("\nCSharedMemory::Delete () m_hMapping = NULL   SharedMemory not Create?");
    ASSERT_EQ(1u, output.Texts().size());
    EXPECT_EQ("\nCSharedMemory::Delete () m_hMapping = NULL   SharedMemory not Create?", output.Texts()[0]);
}
