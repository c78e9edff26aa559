// Template part of StubSetup.h.
#pragma once

#include <cctype>

#include "stub/StubTexts.h"

template <typename TextFn>
TSpaceQuestion SpaceQuestion(const std::string& folder, bool confirmTempDrive, double required, double freeBytes,
                             TextFn text)
{
    TSpaceQuestion q;
    std::string drive;
    if (!folder.empty()) drive = std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(folder[0])))) + ":";
    std::string message;
    if (confirmTempDrive) message = text(kTextTempDriveAsk.Key, kTextTempDriveAsk.Default);
    if (required >= freeBytes) message = text(kTextTempDriveLow.Key, kTextTempDriveLow.Default);
    if (message.empty()) return q;
    message += text(kTextSpaceRequired.Key, kTextSpaceRequired.Default);
    message += text(kTextSpaceFree.Key, kTextSpaceFree.Default);
    message += text(kTextContinueSetup.Key, kTextContinueSetup.Default);
    q.ask = true;
    q.message = FillSpaceTexts(message, drive, required, freeBytes);
    return q;
}
