// The Internet package: the setup run of a package that carries no files,
// only where to download the real setup file. It writes the agent copy,
// finds the setup file beside the stub or downloads it, checks that it is
// this product's, and runs it through the package setup run.
#pragma once

#include <string>

struct TStubRun;

// The Internet branch of the setup run.
void RunInternetBranch(TStubRun& run, const std::string& agentName);
void RunInternetPackage(TStubRun& run, const std::string& extractFolder, const std::string& location,
                        const std::string& name);
