#include "agent/AgentState.h"

#include <gtest/gtest.h>

#include "agent/AgentProtocol.h"
#include "agent/AgentSettings.h"
#include "AgentSettingsMemory.h"

TEST(AgentState, DispatchReadsAndWritesTheFiles)
{
    TMemorySettingsSource src;
    TAgentSettings s(src);
    TAgentState st;
    src.WriteKey(kOrig, "OriginalSetup", "VersionOriginal", "3");
    src.WriteKey(kInfo, "NewSetup", "VersionNew", "4");
    src.WriteKey(kOrig, "OriginalSetup", "ReAskSecondsLast", "0x99");
    EXPECT_EQ(AgentMessageDispatch(st, s, kAgentGetVersionOriginal, 0), 3);
    EXPECT_EQ(AgentMessageDispatch(st, s, kAgentGetVersionNew, 0), 4);
    EXPECT_EQ(AgentMessageDispatch(st, s, kAgentGetReAskSecondsLast, 0), 0);  // not a number: 0
    EXPECT_EQ(AgentMessageDispatch(st, s, kAgentSetProbeSecondsInterval, 3600), 0);
    EXPECT_EQ(AgentMessageDispatch(st, s, kAgentGetProbeSecondsInterval, 0), 3600);
    EXPECT_EQ(AgentMessageDispatch(st, s, kAgentSetReAskSecondsInterval, -1), 0);
    EXPECT_EQ(AgentMessageDispatch(st, s, kAgentGetReAskSecondsInterval, 0), -1);
    // Times come as the message's 32 bits, as a sender on 32-bit Windows puts them.
    AgentMessageDispatch(st, s, kAgentSetProbeSecondsLast, static_cast<int32_t>(kNow));
    AgentMessageDispatch(st, s, kAgentSetReAskSecondsLast, 86400);
    EXPECT_EQ(src.ReadKey(kOrig, "OriginalSetup", "__ProbeSecondsLast", ""), "05-DEC-2026 14:03:59");
    EXPECT_EQ(src.ReadKey(kOrig, "OriginalSetup", "__ReAskSecondsLast", ""), "31-DEC-1899 00:00:00");
    EXPECT_EQ(AgentMessageDispatch(st, s, kAgentGetProbeSecondsLast, 0), static_cast<int32_t>(kNow));  // low half
    EXPECT_EQ(AgentMessageDispatch(st, s, kAgentGetReAskSecondsLast, 0), 86400);
    EXPECT_EQ(s.ProbeSecondsLast(), kNow);

    EXPECT_EQ(AgentMessageDispatch(st, s, 22, 0x1234), 0);
    EXPECT_EQ(s.Override(ovConfirmInstall), 0x34);
    EXPECT_EQ(AgentMessageDispatch(st, s, 20, 1), 0);
    EXPECT_TRUE(s.OverrideAskBeforeCheck());
    AgentMessageDispatch(st, s, 25, 0);
    EXPECT_EQ(s.OverridesToList(), "|1|255|52|255|255|0|255|255|");
    for (int ignored : {6, 16, 19, 26, 29, 99, -1})
        EXPECT_EQ(AgentMessageDispatch(st, s, ignored, 5), 0) << ignored;
    EXPECT_EQ(s.OverridesToList(), "|1|255|52|255|255|0|255|255|");

    EXPECT_EQ(AgentMessageDispatch(st, s, kAgentProbeNow, 2), 0);
    EXPECT_TRUE(st.probeNowRequested);
    EXPECT_EQ(st.autoUpdateTimerCount, 1);
    EXPECT_EQ(st.agentMode, 2);
    AgentMessageDispatch(st, s, kAgentSetStopCountdown, 1);
    EXPECT_FALSE(AgentStopCountdownTick(st));  // 1 -> 0
    EXPECT_TRUE(AgentStopCountdownTick(st));   // 0: end
    EXPECT_FALSE(AgentStopCountdownTick(st));  // -1: never again
}
