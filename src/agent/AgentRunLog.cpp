#include "agent/AgentRunLog.h"
#include "sys/Utils.h"

namespace {
bool gRunLogEnabled = false;
std::string gLogIndent = "   ";

std::string FileNameOf(const std::string& path)
{
    size_t p = path.find_last_of("\\/");
    return p == std::string::npos ? path : path.substr(p + 1);
}
}  // namespace

void SetRunLogEnabled(bool enabled) { gRunLogEnabled = enabled; }
bool RunLogEnabled() { return gRunLogEnabled; }
void SetLogIndent(const std::string& indent) { gLogIndent = indent; }
std::string LogIndent() { return gLogIndent; }

std::string RunLogFileNameFor(const std::string& exePath)
{
    size_t slash = exePath.find_last_of("\\/");
    std::string folder = slash == std::string::npos ? "" : exePath.substr(0, slash + 1);
    std::string name = FileNameOf(exePath);
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
