#include "agent/AgentSystem.h"

#include "sys/Utils.h"

std::string TAUSystem::Pid() { return IntText(ProcessId()); }

void TAUSystem::Marker(const char* routine, int n) { Trace(Cat({Pid(), " ==== ", routine, "-", IntText(n), " ===="})); }
