// The notice window of inform mode (see AgentNotice for its layout).
#pragma once

#include <windows.h>

#include <string>

// Shows the body in the notice window until it is closed, or opens the web
// address directly when there is no body. False when there was neither.
bool ShowInform(HWND owner, const std::string& title, const std::string& buttonText, int charset, int fontSize,
                const std::string& fontFace, int height, int width, const std::string& address,
                const std::string& body);
