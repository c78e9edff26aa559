// The agent's downloads: the INFO file (to memory, then over the INFO file
// on disk), the new setup and the inform file (each into a new folder of
// its own).
#pragma once

#include <string>

#include "agent/AgentRules.h"

struct TAgent;

// Fetches base\name (a folder) or base/name (HTTP), or from the test-mode
// folder in test mode, with the run log's lines, the status text and the
// checks of its kind; true when it arrived whole and passed them. The new
// setup and the inform file are then `a.st.downloaded`; otherwise
// `message` says why, and a confirmed download told the user.
bool DownloadFileAU(TAgent& a, std::string base, std::string name, TAUKind kind, std::string& message);
// Deletes the last download's folder with what it holds; nothing when none
// is kept.
void DiscardDownload(TAgent& a);
