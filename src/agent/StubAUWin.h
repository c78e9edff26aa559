// StubAU, Win32 half: the system under the update cycle (StubAUCycle) on
// Windows, and the cycle the resident agent's timer drives.
#pragma once

class TAUCycle;

// The process's cycle, over the agent's settings and state.
TAUCycle& AgentCycle();
