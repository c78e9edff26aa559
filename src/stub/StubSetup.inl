// Template part of StubSetup.h.
#pragma once

#include <cctype>

template <typename TextFn>
TSpaceQuestion SpaceQuestion(const std::string& folder, bool confirmTempDrive, double required, double freeBytes,
                             TextFn text)
{
    TSpaceQuestion q;
    std::string drive;
    if (!folder.empty()) drive = std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(folder[0])))) + ":";
    std::string message;
    if (confirmTempDrive) message = text("s2", "Lumidor will extract files to your Temp Drive (<DRIVE>)<P>");
    if (required >= freeBytes) message = text("s3", "Limited Free Space on your Temp Drive! (<DRIVE>)<P>");
    if (message.empty()) return q;
    message += text("s4", "<P>Estimated space required on your Temp drive is: <T>  <SPACE_REQ> MB<P>");
    message += text("s5", "Free space available on your Temp drive is: <T>  <SPACE_AVAIL> MB<P>");
    message += text("s6", "<P>Continue with Setup?<P>");
    q.ask = true;
    q.message = FillSpaceTexts(message, drive, required, freeBytes);
    return q;
}
