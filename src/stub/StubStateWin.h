// The stub's run state: everything one run of the executable knows and
// changes from start to exit, in one object. The main body owns it (a local
// of RunStub) and hands it to every phase; nothing else of the run lives in
// a file-level variable.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "package/PackX.h"
#include "sys/LProgBar.h"

class TResidentAgent;

// The start-up window and its children (null before the window exists).
struct TStubWindow {
    HWND window = nullptr;
    HWND label = nullptr;
    HWND mainBar = nullptr;
    HWND activityBar = nullptr;
    HFONT labelFont = nullptr;  // owned: replaced and freed by the window
    bool quit = false;          // set when the window is destroyed: the loop ends
};

// The progress sink's batching (StubProgressWin.cpp): steps counted since the
// bars were last set, and the process progress bar the downloads drive.
struct TStubProgress {
    int activityCounter = 0;  // cycles 1, 2, 3, 4, 5, 0, ...
    int pendingSteps = 0;
    DWORD lastApplied = 0;  // tick count when the bars were last set
    bool timerSet = false;  // the repaint timer is running
    std::unique_ptr<TProgBar> bar;
};

// The temporary folders the run made, so that every way out removes them.
struct TStubFolders {
    std::string setup;  // SETUP_<n>, empty until made
    bool setupTried = false;
    bool alternateSearched = false;
    std::string alternateRoot;  // "X:\TEMP" on a roomier drive, or empty
    std::string alternateWork;  // the work folder made below it, or empty
};

struct TStubRun {
    // The running executable's package, from start to the end of the role
    // (then freed: null).
    std::unique_ptr<TGFileInfo> package;
    bool isAgent = false;     // the trailer's agent byte
    int exitCode = 0;         // 0 unless the setup run stored the engine's
    std::string windowClass;  // the marker class of this process's window
    int busy = 0;             // nested setup runs under way (close refused)
    TStubFolders folders;
    TStubWindow window;
    TStubProgress progress;
    // The resident agent that answers the agent's messages on the window
    // (and, in an agent copy, runs the update cycle on its timer); set by
    // RunStub for the length of the role.
    TResidentAgent* agent = nullptr;
};

// The run, for the callers Windows gives no context: the window procedure
// and the error boundary's handlers. Null outside RunStub.
TStubRun* ActiveRun();
void SetActiveRun(TStubRun* run);
