// Run-time folders: eight slots, numbered 1 to 8, each a definition and its
// result, worked out at the first request and kept for the process. No
// definitions exist in this launcher, so every slot is the empty path.
#pragma once

#include <string>

constexpr int kRunTimeDirCount = 8;

// The folder of slot n (1 to 8; others are empty), without backslash unless
// asked and not empty.
std::string RunTimeDir(int n, bool withBackslash);
