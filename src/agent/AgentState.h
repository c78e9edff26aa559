// The resident agent's state: what other processes steer through window
// messages (and the dispatch of those messages) and what the update cycle
// keeps between its steps.
#pragma once

#include <cstdint>
#include <string>

class TAgentSettings;

// The agent's mode: a user's check is asked for (agent code 31 with value
// 2), runs during the next tick, and the agent is automatic again.
enum TAgentMode : int { kModeAutomatic = 0, kModeCheckUnderWay = 1, kModeCheckAsked = 2 };
// What the agent is doing, as agent code 7 reads it.
enum TAgentPhase : int { kPhaseIdle = 0, kPhaseInfoFile = 1, kPhaseDownload = 2, kPhaseSetupRun = 3 };

struct TAgentState {
    int32_t autoUpdateTimerCount = -3;  // a probe is considered only while above 0
    int stopCountdown = -1;             // ticks until the agent ends; -1 never
    int agentPhase = kPhaseIdle;
    int agentMode = kModeAutomatic;
    bool probeNowRequested = false;
    bool justDownloadInfoFileRequested = false;
    // Every stop request (wm_ShutDown, agent code 30) counts here, so that a
    // wait inside a tick can tell that one arrived while it waited.
    uint32_t stopRequests = 0;
    // The tick asks the user again and again to close the product: a stop
    // request closes the box that asks.
    bool askingToCloseProduct = false;

    // The cycle's own: the timer's probes (an interval of 0 probes once),
    // a tick under way (a box's message loop may deliver the next one), and
    // the file of the last UPDATE or INFORM download with its own folder,
    // empty when none is kept.
    bool probingEnabled = true;
    bool timerBusy = false;
    std::string downloadFolder;
    std::string downloaded;
};

// A user's check is under way: it asks no questions of its own.
inline bool Interactive(const TAgentState& state) { return state.agentMode == kModeCheckUnderWay; }

// A stop request: the agent ends after `countdown` ticks.
void RequestAgentStop(TAgentState& state, int countdown);

// The handler of wm_AgentMsg: codes that read return the value (low 32
// bits), all others return 0. Reads and writes go to the agent's files.
int32_t AgentMessageDispatch(TAgentState& state, TAgentSettings& settings, int code, int64_t value);

// One tick of the resident agent's stop countdown: true when the agent
// must end now; a non-negative countdown counts down by one per tick.
bool AgentStopCountdownTick(TAgentState& state);
