// The product's shut-down and restart and the agent's own restart, walked
// natively through the cycle on the rig.
#include "agent/AgentShutDown.h"

#include <gtest/gtest.h>

#include "AgentCycleRig.h"

namespace {

TEST(AgentShutDown, ShutDownAndRestartOfTheProduct)
{
    // Lower case names no method: only the wait; the product keeps running,
    // the setup runs all the same and nothing is started again.
    Agent lower;
    lower.Offer({{"ShutDownMethod", "using wm_close"}});
    lower.Ticks(4);
    EXPECT_FALSE(lower.sys.Saw("close:"));
    EXPECT_EQ(lower.sys.Only("wait:"), std::vector<std::string>{kProduct});
    EXPECT_TRUE(lower.sys.Saw("setup:"));
    EXPECT_TRUE(lower.sys.Saw("trace:FALSE TRUE >C:\\App\\tool.exe<"));
    EXPECT_FALSE(lower.sys.Saw(std::string("start:") + kProduct));

    // "Don't Shut Down": no wait either.
    Agent dont;
    dont.Offer({{"ShutDownMethod", "Don't Shut Down"}});
    dont.Ticks(4);
    EXPECT_FALSE(dont.sys.Saw("wait:"));

    // Not running at the start: never started, whatever RestartProcess says.
    Agent idle;
    idle.sys.running.clear();
    idle.Ticks(4);
    EXPECT_FALSE(idle.sys.Saw(std::string("start:") + kProduct));

    // A failed setup still restarts the stopped product, without a message.
    Agent failed;
    failed.sys.setupSucceeds = false;
    failed.Offer({{"InformFinish", "1"}, {"ShutDownMethod", "Using Terminate Process"}});
    failed.Ticks(4);
    EXPECT_TRUE(failed.sys.Saw(std::string("start:") + kProduct));
    EXPECT_FALSE(failed.sys.Saw("ask:"));
    EXPECT_FALSE(failed.sys.Saw("destroy")) << "no new agent after a failed update";
    EXPECT_EQ(failed.Orig("VersionOriginal"), "1");

    // InformFinish with a restart: one question (s16 + s17); No leaves the
    // product stopped.
    Agent asked;
    asked.Offer({{"InformFinish", "1"}, {"ShutDownMethod", "Using WM_QUIT"}});
    asked.sys.answers = {false};
    asked.Ticks(4);
    EXPECT_EQ(asked.sys.Only("ask:"), std::vector<std::string>{"1:Tool updated. Restart?"});
    EXPECT_FALSE(asked.sys.Saw(std::string("start:") + kProduct));

    // A product path that is not a full path is never started.
    Agent relative;
    relative.sys.running = {"tool.exe"};
    relative.Offer({{"RunningProcess", "tool.exe"}});
    relative.Ticks(4);
    EXPECT_TRUE(relative.sys.Saw("trace:TRUE TRUE >tool.exe<"));
    EXPECT_FALSE(relative.sys.Saw("start:tool.exe"));

    // "Issue a Message Box": again and again until the product is gone.
    Agent boxed;
    boxed.Offer({{"ShutDownMethod", "Issue a Message Box"}});
    int shown = 0;
    boxed.sys.onWarn = [&] {
        if (++shown == 3) boxed.sys.running.clear();
    };
    boxed.Ticks(4);
    EXPECT_EQ(boxed.sys.Only("warn:"), std::vector<std::string>(3, "0:Close tool.exe."));
    EXPECT_TRUE(boxed.sys.Saw(std::string("start:") + kProduct)) << "stopped by the user, started again";
}

TEST(AgentShutDown, AStopRequestEndsTheMessageBoxShutDown)
{
    // The box comes back while the product runs, until the agent is asked
    // to stop: then no update, the product is left as it is.
    Agent a;
    a.Offer({{"ShutDownMethod", "Issue a Message Box"}});
    int shown = 0;
    a.sys.onWarn = [&] {
        EXPECT_TRUE(a.state.askingToCloseProduct);
        if (++shown == 2) RequestAgentStop(a.state, 0);
    };
    a.Ticks(4);
    EXPECT_EQ(shown, 2);
    EXPECT_FALSE(a.state.askingToCloseProduct);
    EXPECT_FALSE(a.sys.Saw("setup:"));
    EXPECT_FALSE(a.sys.Saw("start:"));
    EXPECT_TRUE(a.sys.running.count(kProduct));
    EXPECT_TRUE(a.Logged("ERROR: stop asked; the product runs; no update"));
    EXPECT_TRUE(a.Logged("PerformAutoUpdate() - END    Result=FALSE"));
    EXPECT_TRUE(a.sys.Saw("rmdir:C:\\Temp\\AU_1\\"));
    a.Ticks(1);
    EXPECT_TRUE(a.sys.Saw("quit")) << "and the agent ends on its next tick";

    // A stop request from before the update does not end the loop.
    Agent before;
    before.Offer({{"ShutDownMethod", "Issue a Message Box"}});
    RequestAgentStop(before.state, 50);
    shown = 0;
    before.sys.onWarn = [&] {
        if (++shown == 2) before.sys.running.clear();
    };
    before.Ticks(4);
    EXPECT_EQ(shown, 2);
    EXPECT_TRUE(before.sys.Saw("setup:"));
}

TEST(AgentShutDown, AnAgentDueToEndDoesNotRestartItself)
{
    Agent a;
    a.state.stopCountdown = 50;
    a.Ticks(4);
    EXPECT_TRUE(a.sys.Saw("setup:"));
    EXPECT_FALSE(a.sys.Saw("start:C:\\App\\agent.exe"));
    EXPECT_FALSE(a.sys.Saw("destroy"));
    EXPECT_TRUE(a.Logged(".. ReStartAutoUpdateExe() - End"));
}

}  // namespace
