#include "stub/StubRoles.h"

#include "package/PackX.h"
#include "sys/Files.h"
#include "sys/LSUB.h"
#include "sys/Launch.h"
#include "sys/Utils.h"

bool IsPlainAgent(const TRoleFacts& f) { return f.autoUpdateAgent && SameText(f.ownName, f.agentFileName); }

bool IsAgentCopy(const TRoleFacts& f) { return f.autoUpdateAgent && SameText(f.ownName, "X_" + f.agentFileName); }

TStubBranch ChooseBranch(const TRoleFacts& f)
{
    if (IsPlainAgent(f)) return TStubBranch::PlainAgent;
    if (IsAgentCopy(f)) return TStubBranch::AgentCopy;
    if (f.cdSpanned && f.spanCdLvl == 1) return TStubBranch::SpannedFirstStart;
    return TStubBranch::PlainStub;
}

std::string WithoutLastExtension(const std::string& name)
{
    size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string StubWindowClass(bool autoUpdateAgent, const std::string& ownPath)
{
    if (!autoUpdateAgent) return ownPath;
    return ".AutoUpdate." + WithoutLastExtension(NamePart(ownPath));
}

std::string AgentCopyWindowClass(const std::string& agentFileName)
{
    return ".AutoUpdate.X_" + WithoutLastExtension(agentFileName);
}

std::string AgentCopyExtraArgs(const std::string& transient, const std::string& delay)
{
    // Both are handed on: dropping the transient settings because a delay
    // was given would silently lose what the caller asked for.
    std::string extra;
    if (!transient.empty()) extra += " /TRANSIENTx=" + transient;
    if (!delay.empty()) extra += " /SleepX=" + delay;
    return extra;
}

std::string RelaunchCommandLine(const std::string& copyPath, const std::string& args, const std::string& ownPath)
{
    std::string tail = Cat({args, " /SpanCdLvl=2 /SpanDiskFName1=\"", ownPath, ".001\"", " /OriginExe=\"", ownPath,
                            "\""});
    return Cat({QuotedProgramPath(copyPath), " ", Trim(tail)});
}

bool SpanDiskNameHonoured(const TRoleFacts& f, const std::string& spanPath)
{
    if (!f.cdSpanned || f.spanCdLvl != 2 || f.autoUpdateAgent) return false;
    if (f.ownName.size() <= 2 || !SameText(f.ownName.substr(0, 2), "Y_")) return false;
    return SameText(NamePart(spanPath), f.ownName.substr(2) + ".001");
}

std::pair<int64_t, int64_t> WmMsgParams(const std::string& value)
{
    std::string list = Cat({":", value, ":"});
    return {TextToInt64(SUB::Get(list, 0, ""), 0), TextToInt64(SUB::Get(list, 1, ""), 0)};
}
