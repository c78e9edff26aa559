// The Internet package: download the real setup file, check that it belongs
// to the same product, run it.
#pragma once

#include <cstdint>
#include <string>

class TGFileInfo;

// The stub image as an agent: cut at the package end and the trailer's
// agent byte set. Empty when the image carries no trailer to mark.
std::string AgentImageOf(std::string image, uint64_t packageEnd);

bool SameIdentityToken(const TGFileInfo& a, const TGFileInfo& b);

// The Internet branch of the setup run.
void RunInternetBranch(const std::string& agentName);
void RunInternetPackage(const std::string& extractFolder, const std::string& location, const std::string& name);
