#include "stub/StubLaunch.h"

#include "sys/CommandLine.h"
#include "sys/Files.h"
#include "sys/Launch.h"
#include "sys/Utils.h"

std::string LaunchId(unsigned long threadId) { return "_" + IntText(threadId); }

TEngineLaunch SplitLaunchRecord(const std::string& launchRecord, const std::string& extraArgs)
{
    size_t star = launchRecord.find('*');
    if (star == std::string::npos) return {launchRecord, extraArgs};
    return {Trim(launchRecord.substr(0, star)), Trim(Cat({extraArgs, " ", Trim(launchRecord.substr(star + 1))}))};
}

std::string EngineProgramPath(const std::string& extractFolder, const std::string& launchRecord)
{
    return JoinPath(extractFolder, SplitLaunchRecord(launchRecord, "").engine);
}

std::string EngineCommandLine(const std::string& extractFolder, const std::string& launchRecord,
                              const std::string& extraArgs, const std::string& stubPath, bool isAgent,
                              const std::string& launchId)
{
    const TEngineLaunch l = SplitLaunchRecord(launchRecord, extraArgs);
    std::string line = QuotedProgramPath(EngineProgramPath(extractFolder, launchRecord));
    if (!l.arguments.empty()) line += " " + l.arguments;
    line += " /TH_ID=" + launchId;
    if (line.find("/OriginExe=") == std::string::npos) line += " /OriginExe=\"" + stubPath + "\"";
    if (isAgent) line += " /AutoUpdateProg";
    line = RemoveSwitch(line, "/SpanCdLvl=");
    line = RemoveSwitch(line, "/SpanDiskFName1=");
    return line;
}
