// HttpUrl: how a download location becomes what WinINet is given. Portable,
// so that the scheme, host, port and path rules are tested natively.
#pragma once

#include <cstdint>
#include <string>

// True when the URL begins with a scheme and "://" ("http://", "HTTPS://",
// "ftp://"): such a URL is used as it stands.
bool UrlNamesScheme(const std::string& url);

// The URL for InternetOpenUrl: unchanged when it names a scheme, else with
// "http://" in front (a bare "host/path" is an HTTP location).
std::string UrlWithScheme(const std::string& url);

// The parts InternetConnect and HttpOpenRequest need when a user name is
// given (InternetOpenUrl takes the whole URL and needs none of this).
struct THttpUrlParts {
    bool secure = false;    // https
    std::string host;       // without port, user info or IPv6 brackets
    uint16_t port = 80;     // from the URL, else 80 (http) or 443 (https)
    std::string object;     // "/" + path and query; never the fragment
};

// Splits an http or https URL (a URL without a scheme counts as http).
// False for another scheme, an empty host or a port that is not 1..65535.
bool SplitHttpUrl(const std::string& url, THttpUrlParts& parts);

// The last path component of the URL ("Setup.exe" of
// "http://host/dir/Setup.exe"), shown on the progress bar and in messages.
std::string UrlDisplayName(const std::string& url);
