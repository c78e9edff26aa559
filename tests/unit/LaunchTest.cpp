// Launch: quoting a program path in its command line.
#include <gtest/gtest.h>

#include "sys/Launch.h"

namespace {

TEST(Launch, ProgramQuotedOnlyWhenItHoldsABlank)
{
    EXPECT_EQ(QuotedProgramPath("C:\\T\\SETUP_1\\Engine.exe"), "C:\\T\\SETUP_1\\Engine.exe");
    EXPECT_EQ(QuotedProgramPath("C:\\tmp dir\\SETUP_1\\Engine.exe"), "\"C:\\tmp dir\\SETUP_1\\Engine.exe\"");
    EXPECT_EQ(QuotedProgramPath("C:\\tab\there\\a.exe"), "\"C:\\tab\there\\a.exe\"");
    EXPECT_EQ(QuotedProgramPath("\"C:\\a b\\x.exe\""), "\"C:\\a b\\x.exe\"") << "never quoted twice";
    EXPECT_EQ(ProgramCommandLine("C:\\ag dir\\X_tool.exe", " /SleepX=5 "), "\"C:\\ag dir\\X_tool.exe\" /SleepX=5");
    EXPECT_EQ(ProgramCommandLine("C:\\a\\X_tool.exe", ""), "C:\\a\\X_tool.exe");
}

}  // namespace
