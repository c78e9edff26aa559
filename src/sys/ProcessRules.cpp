// Process inspection rules: name comparison, road choice, tasklist output and
// the main-window scoring.
#include "sys/ProcessRules.h"

#include "sys/Files.h"
#include "sys/LSUB.h"
#include "sys/Utils.h"

bool SameProcessName(const std::string& a, const std::string& b) { return SameText(a, b); }

namespace {

bool SameShortPath(const std::string& wantedShort, const std::string& path, const TShortPathFn& shortPath)
{
    // An unobtainable short form on either side is no evidence of anything.
    if (wantedShort.empty() || path.empty() || !shortPath) return false;
    const std::string other = shortPath(path);
    return !other.empty() && SameText(wantedShort, other);
}

// A pid column as a number; anything that is not a positive 32-bit number
// (the header's "PID", an empty field) is 0.
uint32_t PidValue(const std::string& text)
{
    const int64_t v = TextToInt64(text, 0);
    return v > 0 && v <= 0xFFFFFFFFLL ? static_cast<uint32_t>(v) : 0;
}

}  // namespace

bool ProcessNameMatches(const std::string& wanted, const std::string& wantedShort, const std::string& fullPath,
                        const std::string& baseName, bool fullPathMode, const TShortPathFn& shortPath)
{
    if (Trim(wanted).empty()) return false;
    if (SameProcessName(wanted, fullPath) || (!fullPathMode && SameProcessName(wanted, baseName))) return true;
    return SameShortPath(wantedShort, fullPath, shortPath);
}

uint32_t FindPidInProcessList(const std::string& list, const std::string& wanted, const TShortPathFn& shortPath)
{
    const std::string whole = Trim(wanted);
    const std::string name = NamePart(whole);
    if (name.empty()) return 0;
    const std::string wantedShort = shortPath ? shortPath(whole) : "";
    const auto [names, pids] = SUB::SplitPairs(SUB::Reverse(list));
    const int n = SUB::Count(names);
    for (int i = 0; i < n; ++i) {
        const std::string item = SUB::Get(names, i, "");
        if (item.empty()) continue;
        if (SameProcessName(item, name) || SameProcessName(item, whole) ||
            SameShortPath(wantedShort, item, shortPath)) {
            const uint32_t pid = PidValue(SUB::Get(pids, i, ""));
            if (pid > 0) return pid;
        }
    }
    return 0;
}

TFindRoad ChooseFindRoad(bool isNT, bool windows8OrLater)
{
    if (!isNT) return TFindRoad::ToolHelp;
    return windows8OrLater ? TFindRoad::Tasklist : TFindRoad::Psapi;
}

std::string TasklistLines(const std::string& output)
{
    std::string text = ReplaceText(Trim(output), "\"", "");
    text = ReplaceText(text, "\r\n", "|");
    return FrameChar(text, '|');
}

uint32_t FindPidInTasklist(const std::string& output, const std::string& wanted)
{
    const std::string name = NamePart(Trim(wanted));
    if (Trim(name).empty()) return 0;
    const std::string lines = TasklistLines(output);
    const int n = SUB::Count(lines);
    for (int i = 0; i < n; ++i) {
        // Fields split at commas; the memory column's own grouping commas only
        // add fields after the two that count.
        const std::string fields = Cat({",", SUB::Get(lines, i, ""), ","});
        if (SUB::IndexOf(fields, name) != 0) continue;
        const uint32_t pid = PidValue(SUB::Get(fields, 1, ""));
        if (pid > 0) return pid;
    }
    return 0;
}

// ---- TAnalizer ----------------------------------------------------------------

void TAnalizer::Clear()
{
    count = 0;
    pid = 0;
    for (int i = 0; i < kCapacity; ++i) {
        windows[i] = 0;
        scores[i] = 0;
        titled_[i] = false;
        visible_[i] = false;
    }
}

bool TAnalizer::Add(uint64_t window, bool hasTitle, bool visible)
{
    if (count >= kCapacity) return false;
    windows[count] = window;
    scores[count] = 0;
    titled_[count] = hasTitle;
    visible_[count] = visible;
    ++count;
    return true;
}

int TAnalizer::IndexOf(uint64_t window) const
{
    for (int i = 0; i < count; ++i)
        if (windows[i] == window) return i;
    return -1;
}

void TAnalizer::Score(const TOwnerFn& ownerOf)
{
    for (int i = 0; i < count; ++i) scores[i] = 0;
    for (int i = 0; i < count; ++i) {
        uint64_t root = windows[i];
        // Bounded: owner links could, in theory, form a loop.
        for (int step = 0; step < 1000 && ownerOf; ++step) {
            const uint64_t owner = ownerOf(root);
            if (owner == 0 || owner == root) break;
            root = owner;
        }
        const int r = IndexOf(root);
        if (r >= 0) ++scores[r];
    }
    // At most kCapacity windows count for one root, so 4 x count + 3 fits.
    for (int i = 0; i < count; ++i)
        scores[i] = static_cast<uint16_t>(scores[i] * 4 + (titled_[i] ? 2 : 0) + (visible_[i] ? 1 : 0));
}

uint64_t TAnalizer::Best() const
{
    int best = -1;
    for (int i = 0; i < count; ++i)
        if (best < 0 || scores[i] > scores[best]) best = i;
    return best >= 0 && scores[best] > 0 ? windows[best] : 0;
}
