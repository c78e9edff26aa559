// GetClusterSize for builds without Win32 (lumpack on Linux, the native tests):
// no drive to ask, so the size is unknown and RequiredSpace falls back to the
// exact figure. The Windows build takes PackXWin.cpp's instead.
#ifndef _WIN32
#include "package/PackX.h"

uint32_t GetClusterSize(const std::string&) { return 0; }
#endif
