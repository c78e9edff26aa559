#include "text/RunTimeDir.h"

#include "text/ShellDir.h"

namespace {
struct TSlot {
    std::string definition, result;
    bool resolved = false;
};
TSlot gSlots[kRunTimeDirCount];
}  // namespace

std::string RunTimeDir(int n, bool withBackslash)
{
    if (n < 1 || n > kRunTimeDirCount) return "";
    TSlot& s = gSlots[n - 1];
    if (!s.resolved) {
        s.result = s.definition;  // nothing defines a slot: empty
        s.resolved = true;
    }
    return WithBackslash(s.result, withBackslash);
}
