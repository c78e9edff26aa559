// What release and check read besides the INFO file: packages, as the agent
// reads them, and the key to check a signature or a private key against.
#pragma once

#include <string>

#include "package/PackX.h"

// Reads the package at path; an error unless it carries a package trailer.
// role names it in the error ("setup", "agent").
std::string ReadPackage(const std::string& path, const char* role, TGFileInfo& info);

// The agent package's trouble with an update from setup: its identity token
// missing or different (both unscrambled). Empty when the tokens match.
std::string TokenProblem(const TGFileInfo& setup, const std::string& setupPath, const TGFileInfo& agent,
                         const std::string& agentPath);

// The DER public key to check against: the key pinned in the agent package,
// else the public key file, else none (der empty). origin says where it came
// from, for messages.
std::string ReferenceKey(const std::string& agentPath, const std::string& publicPath, std::string& der,
                         std::string& origin);

// Writes bytes to a temporary file beside path; rename it into place with
// CommitFile. A temporary left by a failure is removed by DiscardFile.
std::string WriteTempFile(const std::string& path, const std::string& bytes, std::string& temp);
std::string CommitFile(const std::string& temp, const std::string& path);
void DiscardFile(const std::string& temp);
