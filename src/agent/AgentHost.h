// What the agent asks of the program that carries it. The window, its
// progress bars and the setup run belong to the stub, a layer above the
// agent; the stub hands them down here at start, so the update cycle can
// show status and progress and run a new setup without knowing the window.
#pragma once

#include <windows.h>

#include <string>

#include "sys/LProgBar.h"

class TGFileInfo;

struct TAgentHost {
    // The running package (its update location, agent name and token).
    const TGFileInfo& (*ownPackage)() = nullptr;
    HWND (*window)() = nullptr;               // the hidden main window
    void (*showWindow)(bool show) = nullptr;  // show (normal) or hide it
    void (*setStatusText)(const std::string& text, const std::string& fontName, int charset,
                          int sizePoints) = nullptr;
    // The window's progress sink (kind 0 set up, 1 advance) and the process
    // progress bar bound to it.
    void (*progress)(int kind, int min, int max, int position, int step, const std::string& text) = nullptr;
    TProgBar& (*progressBar)() = nullptr;
    // Runs a setup package through the launcher's own setup run; true when
    // its engine signalled success.
    bool (*runSetup)(const std::string& packageFile, bool foregroundOp, const std::string& extraArgs) = nullptr;
};

void SetAgentHost(const TAgentHost& host);
const TAgentHost& AgentHost();
