// What the resident agent asks of the window that carries it. The window,
// its progress bars and the setup run belong to the stub, a layer above the
// agent: the stub implements this and hands it to the agent, so the update
// cycle can show status and progress and run a new setup without knowing
// the window.
#pragma once

#include <windows.h>

#include <string>

class TAgentWindow {
public:
    virtual HWND Handle() = 0;  // the hidden main window
    virtual void Show(bool show) = 0;  // shown normally, or hidden
    virtual void SetStatusText(const std::string& text, const std::string& fontName, int charset,
                               int sizePoints) = 0;
    // The bars: kind 0 sets them up (range 0 to max, position, step), kind 1
    // advances them by one step.
    virtual void Progress(int kind, int max, int position, int step) = 0;
    // Runs a setup package through the launcher's own setup run; true when
    // its engine signalled success.
    virtual bool RunSetup(const std::string& packageFile, bool foreground, const std::string& extraArgs) = 0;

protected:
    ~TAgentWindow() = default;
};
