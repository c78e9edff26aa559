// The update cycle's steps in order: the tick, the probe, the downloads, the
// update with its questions, the shut-down and restarts, the notice. It runs
// on a TAUSystem (AgentSystem.h), so the whole road can be walked natively
// with a fake one.
#pragma once

struct TAgent;

// One tick of the resident agent's timer: the stop countdown, a requested
// INFO download, and the probe when one is due (with its update or notice).
// A tick that arrives while one is under way (a box's message loop delivers
// timer messages) returns at once.
void AgentTick(TAgent& a);
