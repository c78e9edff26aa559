// Command-line switches, read from the argument text of a command line.
#include "sys/CommandLine.h"

#include <algorithm>

#include "sys/LSUB.h"
#include "sys/Platform.h"
#include "sys/Utils.h"

namespace {

// The process's own command line, set once at start-up.
struct TProcessCommandLine {
    std::string raw;
    std::string args;
};

constinit TLock gLock;
TProcessCommandLine gCommandLine;

TProcessCommandLine Current()
{
    TLockGuard lock(gLock);
    return gCommandLine;
}

bool EndsProgramToken(const std::string& text, size_t end)
{
    return end >= text.size() || text[end] == ' ' || text[end] == '\t' || text[end] == '"';
}

// First occurrence (ignoring case) of `name` standing at the end of the
// program token, not inside a folder name such as "C:\data.exe\a.exe".
size_t FindProgramName(const std::string& upperRaw, const std::string& upperName)
{
    for (size_t p = upperRaw.find(upperName); p != std::string::npos; p = upperRaw.find(upperName, p + 1))
        if (EndsProgramToken(upperRaw, p + upperName.size())) return p;
    return std::string::npos;
}

// Separator of the switch list: a character no command line holds.
constexpr char kSwitchSep = '\x01';

}  // namespace

std::string CommandLineArgs(const std::string& raw, const std::string& programName, const std::string& programPath)
{
    const std::string upperRaw = UpperCase(raw);
    const std::string upperName = UpperCase(programName);
    std::string rest;
    bool byName = false;
    if (!programName.empty()) {
        size_t p = upperRaw.find(upperName + "\"");
        if (p != std::string::npos) {
            rest = raw.substr(p + programName.size() + 1);
            byName = true;
        } else if ((p = FindProgramName(upperRaw, upperName)) != std::string::npos) {
            rest = raw.substr(p + programName.size());
            byName = true;
        }
    }
    if (!byName) {
        rest = raw;
        size_t p = programPath.empty() ? std::string::npos : upperRaw.find(UpperCase(programPath));
        if (p != std::string::npos) rest.erase(p, programPath.size());
    }
    rest = Trim(rest);
    // A stray closing quote or the like left behind the program is no argument.
    if (byName && rest.size() == 1) return "";
    return rest;
}

void SetProcessCommandLine(const std::string& raw, const std::string& programName, const std::string& programPath)
{
    TProcessCommandLine cl{raw, CommandLineArgs(raw, programName, programPath)};
    TLockGuard lock(gLock);
    gCommandLine = std::move(cl);
}

std::string ProcessCommandLine() { return Current().raw; }

std::string CommandLineArgs() { return Current().args; }

std::string GetSwitchIn(const std::string& args, const std::string& name, const std::string& def)
{
    std::string key = Trim(name);
    if (key.empty()) return def;
    const char prefix = key[0] == '-' ? '-' : '/';
    key.erase(std::remove(key.begin(), key.end(), prefix), key.end());
    if (key.empty()) return def;

    std::string text = " " + args;
    text.erase(std::remove(text.begin(), text.end(), '"'), text.end());
    text = ReplaceText(text, std::string(" ") + prefix, std::string(1, kSwitchSep));
    text = FrameChar(text, kSwitchSep);

    // A sentinel tells "absent" from "present but empty" (the list never
    // holds the separator inside an item, so the sentinel cannot be a value).
    const std::string absent(1, kSwitchSep);
    std::string value = SUB::GetValue(text, key, absent, "", true, true);
    if (value == absent) return def;
    return Trim(value);
}

std::string GetSwitch(const char* name, const char* def)
{
    return GetSwitchIn(CommandLineArgs(), name, def);
}

int64_t GetSwitchIntIn(const std::string& args, const std::string& name, int64_t def)
{
    return TextToInt64(GetSwitchIn(args, name, ""), def);
}

int64_t GetSwitchInt(const char* name, int64_t def) { return GetSwitchIntIn(CommandLineArgs(), name, def); }

bool HasSwitchIn(const std::string& args, const std::string& name)
{
    const std::string key = Trim(name);
    if (key.empty()) return false;
    return PosIgnoreCase(key + " ", args + " ") != 0;
}

bool HasSwitch(const char* name) { return HasSwitchIn(CommandLineArgs(), name); }

std::string RemoveSwitch(const std::string& line, const std::string& sw)
{
    if (sw.empty()) return line;
    const size_t p = line.find(sw);
    if (p == std::string::npos) return line;
    // The value runs to the next switch: a "/" after a blank, outside quotes.
    size_t end = p + sw.size();
    bool quoted = false;
    for (; end < line.size(); ++end) {
        const char c = line[end];
        if (c == '"') quoted = !quoted;
        if (!quoted && c == '/' && (line[end - 1] == ' ' || line[end - 1] == '\t')) break;
    }
    return line.substr(0, p) + line.substr(end);
}
