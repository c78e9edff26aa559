#include <gtest/gtest.h>

#include "stub/StubLaunch.h"

TEST(EngineLaunch, CommandLineOrder)
{
    const std::string stub = "C:\\dl\\setup.exe";
    struct Case {
        const char* record;
        const char* extra;
        bool agent;
        const char* want;
    } cases[] = {
        {"Engine.exe* /silent", "/x", false,
         "C:\\T\\S\\Engine.exe /x /silent /TH_ID=_42 /OriginExe=\"C:\\dl\\setup.exe\""},
        {"Engine.exe", "", true, "C:\\T\\S\\Engine.exe /TH_ID=_42 /OriginExe=\"C:\\dl\\setup.exe\" /AutoUpdateProg"},
        {"Engine.exe*", "/OriginExe=D:\\a.exe", false, "C:\\T\\S\\Engine.exe /OriginExe=D:\\a.exe /TH_ID=_42"},
        // A spanned stub's copy: only the first instance's origin remains.
        {"Engine.exe*", "/SpanCdLvl=2 /SpanDiskFName1=\"E:\\s.exe.001\" /OriginExe=\"E:\\s.exe\"", false,
         "C:\\T\\S\\Engine.exe /OriginExe=\"E:\\s.exe\" /TH_ID=_42"},
    };
    for (auto& c : cases)
        EXPECT_EQ(EngineCommandLine("C:\\T\\S", c.record, c.extra, stub, c.agent, "_42"), c.want) << c.record;
    // A temporary folder with a blank: the program is quoted in its line (and
    // started by its full path), so C:\tmp.exe can never stand in for it.
    EXPECT_EQ(EngineCommandLine("C:\\tmp dir\\SETUP_7\\", "Engine.exe* /s", "", stub, false, "_42"),
              "\"C:\\tmp dir\\SETUP_7\\Engine.exe\" /s /TH_ID=_42 /OriginExe=\"C:\\dl\\setup.exe\"");
    EXPECT_EQ(EngineProgramPath("C:\\tmp dir\\SETUP_7", "Engine.exe* /s"), "C:\\tmp dir\\SETUP_7\\Engine.exe");
    EXPECT_EQ(EngineProgramPath("C:\\T\\S\\", "Engine.exe"), "C:\\T\\S\\Engine.exe");
    EXPECT_EQ(LaunchId(1234), "_1234");
}
