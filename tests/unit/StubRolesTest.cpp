#include <gtest/gtest.h>

#include "stub/StubRoles.h"

TEST(StubRoles, BranchFollowsTrailerNameAndSwitch)
{
    struct Case {
        bool agent, spanned;
        int64_t lvl;
        const char* own;
        const char* agentName;
        TStubBranch want;
    } cases[] = {
        {false, false, 1, "setup.exe", "agent.exe", TStubBranch::PlainStub},
        {true, false, 1, "Agent.EXE", " agent.exe ", TStubBranch::PlainAgent},
        {true, false, 1, "x_agent.exe", "agent.exe", TStubBranch::AgentCopy},
        // An agent package under a foreign name runs like a plain stub.
        {true, false, 1, "other.exe", "agent.exe", TStubBranch::PlainStub},
        {false, true, 1, "setup.exe", "", TStubBranch::SpannedFirstStart},
        {false, true, 2, "Y_setup.exe", "", TStubBranch::PlainStub},
        {false, true, 3, "setup.exe", "", TStubBranch::PlainStub},
    };
    for (const auto& c : cases) {
        TRoleFacts f{c.agent, c.spanned, c.lvl, c.own, c.agentName};
        EXPECT_EQ(ChooseBranch(f), c.want) << c.own << " lvl " << c.lvl;
    }
}

TEST(StubRoles, MarkerClassesAndPaths)
{
    EXPECT_EQ(StubWindowClass(false, "C:\\dl\\setup.exe"), "C:\\dl\\setup.exe");
    EXPECT_EQ(StubWindowClass(true, "C:\\app\\agent.v2.exe"), ".AutoUpdate.agent.v2");
    EXPECT_EQ(StubWindowClass(true, "C:\\app\\X_agent.exe"), ".AutoUpdate.X_agent");
    EXPECT_EQ(AgentCopyWindowClass("agent.exe"), ".AutoUpdate.X_agent");
    EXPECT_EQ(RelaunchCommandLine("C:\\T\\SETUP_1\\Y_s.exe", "/a", "D:\\s.exe"),
              "C:\\T\\SETUP_1\\Y_s.exe /a /SpanCdLvl=2 /SpanDiskFName1=\"D:\\s.exe.001\" /OriginExe=\"D:\\s.exe\"");
    EXPECT_EQ(RelaunchCommandLine("C:\\tmp dir\\SETUP_1\\Y_s.exe", "", "D:\\s.exe"),
              "\"C:\\tmp dir\\SETUP_1\\Y_s.exe\" /SpanCdLvl=2 /SpanDiskFName1=\"D:\\s.exe.001\" /OriginExe=\"D:\\s.exe\"");
    EXPECT_EQ(RelaunchCommandLine("Y", "", "D:\\s.exe"),
              "Y /SpanCdLvl=2 /SpanDiskFName1=\"D:\\s.exe.001\" /OriginExe=\"D:\\s.exe\"");
    EXPECT_EQ(AgentCopyExtraArgs("", ""), "");
    EXPECT_EQ(AgentCopyExtraArgs("|1|0|", "5"), " /TRANSIENTx=|1|0| /SleepX=5");
}

TEST(StubRoles, WmMsgValues)
{
    using P = std::pair<int64_t, int64_t>;
    EXPECT_EQ(WmMsgParams("123"), P(123, 0));
    EXPECT_EQ(WmMsgParams("12:34"), P(12, 34));
    EXPECT_EQ(WmMsgParams("a:b"), P(0, 0));
}

TEST(StubRoles, SpanDiskNameOnlyForTheRelaunchedCopy)
{
    TRoleFacts copy;
    copy.cdSpanned = true;
    copy.spanCdLvl = 2;
    copy.ownName = "Y_Setup.exe";
    EXPECT_TRUE(SpanDiskNameHonoured(copy, "D:\\Setup.exe.001"));
    EXPECT_TRUE(SpanDiskNameHonoured(copy, "d:\\disk one\\SETUP.EXE.001"));
    struct Case {
        const char* what;
        bool cdSpanned;
        int64_t level;
        const char* ownName;
        const char* span;
    } refused[] = {
        {"a package that spans no disks", false, 2, "Y_Setup.exe", "D:\\Setup.exe.001"},
        {"a first start", true, 1, "Y_Setup.exe", "D:\\Setup.exe.001"},
        {"not the temporary copy", true, 2, "Setup.exe", "D:\\Setup.exe.001"},
        {"another package", true, 2, "Y_Setup.exe", "C:\\evil\\other.exe"},
        {"another volume", true, 2, "Y_Setup.exe", "D:\\Setup.exe.002"},
        {"no name", true, 2, "Y_", "D:\\.001"},
    };
    for (const Case& c : refused) {
        TRoleFacts f = copy;
        f.cdSpanned = c.cdSpanned;
        f.spanCdLvl = c.level;
        f.ownName = c.ownName;
        EXPECT_FALSE(SpanDiskNameHonoured(f, c.span)) << c.what;
    }
}
