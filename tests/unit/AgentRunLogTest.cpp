#include <gtest/gtest.h>

#include "agent/AgentRunLog.h"

TEST(RunLog, FileNameAndLineLayout)
{
    EXPECT_EQ(RunLogFileNameFor("C:\\app\\tool.exe"), "C:\\app\\X_tool.log");
    EXPECT_EQ(RunLogFileNameFor("C:\\app\\X_tool.exe"), "C:\\app\\X_tool.log");
    EXPECT_EQ(RunLogFileNameFor("C:\\app\\x_tool.exe"), "C:\\app\\X_x_tool.log");
    EXPECT_EQ(RunLogFileNameFor("C:\\app\\tool.v1.exe"), "C:\\app\\X_tool.v1.log");
    EXPECT_EQ(RunLogLineText("06/12/26 10:00:00", 123, "   ", "hello"), "06/12/26 10:00:00   123   hello");
    EXPECT_EQ(RunLogLineText("s", 1234567, " X ", ""), "s 1234567 X ");
}
