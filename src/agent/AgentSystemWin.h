// The update cycle's system on Windows (AgentSystem.h): message boxes, the
// window the stub lends (AgentWindow.h), files, WinINet, the process
// services and the stub's setup run.
#pragma once

#include <memory>

#include "agent/AgentSystem.h"

class TAgentWindow;
class TGFileInfo;

// The system of the running package's agent, over the window it is given.
std::unique_ptr<TAUSystem> MakeWinAUSystem(const TGFileInfo& package, TAgentWindow& window);
