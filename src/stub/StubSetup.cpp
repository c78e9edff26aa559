#include "stub/StubSetup.h"

#include <cctype>

#include "sys/Utils.h"

std::string FormatMB(double bytes)
{
    if (bytes < 0) bytes = 0;
    double mb = bytes != 0 ? bytes / 1048576.0 : 0;
    int decimals = mb > 10 ? 1 : (mb >= 1 ? 2 : 3);
    return FixedText(mb, decimals);
}

std::string FillSpaceTexts(std::string message, const std::string& drive, double required, double freeBytes)
{
    message = ReplaceText(message, "<DRIVE>", drive);
    message = ReplaceText(message, "<SPACE_REQ>", FormatMB(required));
    message = ReplaceText(message, "<SPACE_AVAIL>", FormatMB(freeBytes));
    return message;
}
