// StubAU, Win32 half: the update cycle that the resident agent runs on its
// timer: probe, decide, download, ask, shut the product down, run the new
// setup, restart; or, in inform mode, fetch and show a notice.
#pragma once

#include <windows.h>

#include <string>

#include "agent/StubAU.h"

bool DownloadFileAU(std::string base, std::string name, TAUKind kind, std::string& message);
bool GetOkToPerformAU(bool fetched, int& code, std::string& text);
bool JustDownloadInfoFile();
void PerformShot(HWND wnd);
bool PerformAutoUpdate();
bool PerformAutoInform();
void ReStartAutoUpdateExe();
