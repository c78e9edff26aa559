#include "sys/PrivateFolder.h"

#include "sys/Utils.h"

std::string NumberedFolderName(const std::string& base, uint32_t first, int i)
{
    return base + IntText(static_cast<uint32_t>(first + static_cast<uint32_t>(i)));
}

namespace {

std::string WithoutTrailingSlash(std::string path)
{
    while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
    return path;
}

bool IsSlash(char c) { return c == '\\' || c == '/'; }

}  // namespace

bool PathCrossesReparsePoint(const std::string& root, const std::string& path, bool (*isReparse)(const std::string&))
{
    const std::string r = WithoutTrailingSlash(root);
    const std::string p = WithoutTrailingSlash(path);
    if (r.empty() || p.size() < r.size() || !SameText(p.substr(0, r.size()), r)) return true;
    if (p.size() > r.size() && !IsSlash(p[r.size()])) return true;
    // The root itself, every folder below it and the path, shortest first.
    for (size_t at = r.size(); at <= p.size(); ++at) {
        if ((at == p.size() || IsSlash(p[at])) && isReparse(p.substr(0, at))) return true;
    }
    return false;
}
