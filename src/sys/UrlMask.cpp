#include "sys/UrlMask.h"

#include <cstring>

namespace {

// Where a URL's authority (user info and host) ends: at its path, query or
// fragment, or where the URL itself ends inside a text.
bool EndsAuthority(char c) { return c == '\0' || std::strchr("/?#\\ \t\r\n\"'<>", c) != nullptr; }

}  // namespace

std::string MaskUrlCredentials(const std::string& text)
{
    // Almost every line carries no URL at all.
    if (text.find("://") == std::string::npos) return text;
    std::string out;
    out.reserve(text.size());
    size_t done = 0;
    for (size_t scheme = text.find("://"); scheme != std::string::npos; scheme = text.find("://", done)) {
        const size_t start = scheme + 3;
        size_t end = start;
        while (end < text.size() && !EndsAuthority(text[end])) ++end;
        out.append(text, done, start - done);
        done = start;
        // The last "@" of the authority ends the user info; a password may
        // itself hold an "@".
        const size_t at = end > start ? text.rfind('@', end - 1) : std::string::npos;
        if (at != std::string::npos && at >= start) {
            out += "***@";
            done = at + 1;
        }
    }
    out.append(text, done, std::string::npos);
    return out;
}
