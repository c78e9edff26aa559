// The stub's folders and agent settings that several runs share.
#pragma once

#include <cstdint>
#include <string>

// "SETUP_" + the low 16 bits (the time part) of the executable's packed
// last-write date-time, inside the temporary folder (with trailing "\").
std::string SetupTempFolderName(const std::string& tempFolderWithSlash, uint32_t dosDateTime);

// The agent's dated test mode: on while TestMode is "1" and TestModeDate is
// today's date; re-read when forced or after 30 s.
bool CheckTestMode(bool force);
std::string TestModeURL();

// Hands the "/TRANSIENTx=" list to the agent's overrides.
void ApplyTransientSettings(const std::string& list);
