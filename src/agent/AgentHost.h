// What the update cycle needs from the stub that runs it: the package, the
// run log, the listener, the main window with its status line and bars,
// and the setup run. The stub hands these over before its window starts;
// the agent layer thus never reaches up into the stub's own units.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

class TGFileInfo;

struct TAgentHost {
    const TGFileInfo& (*ownPackage)() = nullptr;
    void (*runLog)(const std::string& message) = nullptr;
    void (*notify)(int code, intptr_t value) = nullptr;
    HWND (*mainWindow)() = nullptr;
    void (*showMainWindow)(bool show) = nullptr;
    void (*setStatusText)(const std::string& text, const std::string& fontName, int charset, int sizePoints) = nullptr;
    void (*progress)(int kind, int min, int max, int position, int step, const std::string& text) = nullptr;
    bool (*runPackageSetup)(std::string extractFolder, const std::string& packageFile, const std::string& agentName,
                            bool foregroundOp, const std::string& extraArgs) = nullptr;
    std::string (*setupTempFolder)() = nullptr;
};

void SetAgentHost(const TAgentHost& host);
