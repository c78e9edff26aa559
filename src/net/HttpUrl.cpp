#include "net/HttpUrl.h"

#include "sys/Utils.h"

namespace {

bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Length of the scheme name when the URL starts with "scheme://", else 0.
size_t SchemeLength(const std::string& url)
{
    if (url.empty() || !IsAlpha(url[0])) return 0;
    size_t i = 1;
    while (i < url.size() && (IsAlpha(url[i]) || IsDigit(url[i]) || url[i] == '+' || url[i] == '-' || url[i] == '.'))
        ++i;
    return url.compare(i, 3, "://") == 0 ? i : 0;
}

}  // namespace

bool UrlNamesScheme(const std::string& url) { return SchemeLength(url) > 0; }

std::string UrlWithScheme(const std::string& url)
{
    return UrlNamesScheme(url) ? url : "http://" + url;
}

bool SplitHttpUrl(const std::string& url, THttpUrlParts& parts)
{
    parts = THttpUrlParts{};
    std::string rest = url;
    if (const size_t n = SchemeLength(url)) {
        const std::string scheme = LowerCase(url.substr(0, n));
        if (scheme == "https") parts.secure = true;
        else if (scheme != "http") return false;
        rest = url.substr(n + 3);
    }
    if (const size_t hash = rest.find('#'); hash != std::string::npos) rest.resize(hash);

    const size_t authorityEnd = rest.find_first_of("/?");
    std::string authority = rest.substr(0, authorityEnd);
    parts.object = authorityEnd == std::string::npos ? "/" : rest.substr(authorityEnd);
    if (parts.object[0] != '/') parts.object = "/" + parts.object;

    // The credentials travel separately; user info in the URL is not a host.
    if (const size_t at = authority.rfind('@'); at != std::string::npos) authority.erase(0, at + 1);

    std::string portText;
    if (!authority.empty() && authority[0] == '[') {
        const size_t close = authority.find(']');
        if (close == std::string::npos) return false;
        parts.host = authority.substr(1, close - 1);
        const std::string after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after[0] != ':') return false;
            portText = after.substr(1);
        }
    } else {
        const size_t colon = authority.find(':');
        parts.host = authority.substr(0, colon);
        if (colon != std::string::npos) portText = authority.substr(colon + 1);
    }
    if (parts.host.empty()) return false;

    parts.port = parts.secure ? 443 : 80;
    if (!portText.empty()) {
        for (char c : portText)
            if (!IsDigit(c)) return false;
        const int64_t port = TextToInt64(portText, 0);
        if (port < 1 || port > 65535) return false;
        parts.port = static_cast<uint16_t>(port);
    }
    return true;
}

std::string UrlDisplayName(const std::string& url)
{
    const std::string path = ReplaceChar(url, '/', '\\');
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
