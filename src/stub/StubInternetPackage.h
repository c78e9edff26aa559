// The Internet package's decisions that need no system: the agent image cut
// from the running stub, the identity token comparison and the setup file's
// size and SHA-256 check. The run itself is StubInternetPackageWin.
#pragma once

#include <cstdint>
#include <string>

class TGFileInfo;

// The stub image as an agent: cut at the package end and the trailer's
// agent byte set. Empty when the image carries no trailer to mark.
std::string AgentImageOf(std::string image, uint64_t packageEnd);

bool SameIdentityToken(const TGFileInfo& a, const TGFileInfo& b);

struct TFileDigest;

// The error text when the setup file does not pass the package's check.
inline constexpr const char* kSetupFileMismatch =
    "Bad Setup File!<P><P>The Setup File is not the one this package was made for.";

// Whether the setup file may run: true without a check item (packages of
// other builders, or built without the file); with one, only when the file
// could be hashed and its size and SHA-256 are the item's. An item that is
// no size and SHA-256 passes no file.
bool SetupFilePassesCheck(const std::string& checkItem, bool hashed, const TFileDigest& actual);
