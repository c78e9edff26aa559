// The numbers other processes use to steer the agent and to hear from it:
// the window messages between the plain agent and its resident copy, the
// codes of wm_AgentMsg, and the codes posted to an outside listener window.
#pragma once

#include <cstdint>

// Window messages posted to the resident copy's window.
constexpr uint32_t wm_ShutDown = 0x463;  // wParam: stop countdown in ticks
constexpr uint32_t wm_LocalMsg = 0x464;  // wParam: listener window, lParam: its message
constexpr uint32_t wm_AgentMsg = 0x465;  // wParam: agent code, lParam: value

// Agent codes (wParam of wm_AgentMsg). Codes that read return the value.
enum TAgentCode : int {
    kAgentGetVersionOriginal = 4,
    kAgentGetVersionNew = 5,
    kAgentGetPhase = 7,
    kAgentGetProbeSecondsInterval = 8,
    kAgentGetReAskSecondsInterval = 9,
    kAgentGetProbeSecondsLast = 10,
    kAgentGetReAskSecondsLast = 11,
    kAgentSetProbeSecondsInterval = 12,
    kAgentSetReAskSecondsInterval = 13,
    kAgentSetProbeSecondsLast = 14,
    kAgentSetReAskSecondsLast = 15,
    kAgentSetOverrideFirst = 20,  // 20 to 25: overrides 0 to 5 of the override list
    kAgentSetOverrideLast = 25,
    kAgentSetStopCountdown = 30,
    kAgentProbeNow = 31,  // value 2: an interactive check
    kAgentJustDownloadInfo = 32,
};

// Value of kAgentProbeNow that asks for an interactive check.
constexpr int64_t kAgentProbeInteractive = 2;

// Codes posted to the listener (wParam), with a value (lParam).
enum TListenerCode : int {
    kListenerInfoDownload = 40,    // value: kListenerBegin / kListenerEnd
    kListenerUpdateDownload = 41,  // the new setup or the inform file
    kListenerSetupRun = 42,
    kListenerLoopEnded = 43,       // value 0
    kListenerSenderWindow = 50,    // value: the agent's window handle
    kListenerAgentMessage = 51,    // value: wm_AgentMsg
};
constexpr int kListenerBegin = 1;
constexpr int kListenerEnd = 2;
