#include "agent/AgentRunLog.h"
#include "sys/Files.h"
#include "sys/Utils.h"

std::string RunLogFileNameFor(const std::string& exePath)
{
    std::string name = NamePart(exePath);
    const std::string folder = exePath.substr(0, exePath.size() - name.size());
    if (name.rfind("X_", 0) != 0) name = "X_" + name;
    size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) name.erase(dot);
    return Cat({folder, name, ".log"});
}

std::string RunLogLineText(const std::string& stamp, uint32_t threadId, const std::string& indent,
                           const std::string& message)
{
    std::string id = IntText(threadId);
    if (id.size() < 5) id.insert(0, 5 - id.size(), ' ');
    return Cat({stamp, " ", id, indent, message});
}
