#include "sys/LDebug.h"

std::string ToCrLf(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + 8);
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

bool TraceModeUsesFile(uint8_t mode) { return mode == 1 || mode == 2; }
bool TraceModeUsesViewer(uint8_t mode) { return mode == 0 || mode == 2; }
