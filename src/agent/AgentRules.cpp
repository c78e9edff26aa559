#include "agent/AgentRules.h"

#include <cstdint>
#include <limits>

#include "package/PackX.h"
#include "sys/DateFormat.h"
#include "sys/Files.h"
#include "sys/LSUB.h"
#include "sys/Utils.h"

int64_t SaturatingAdd(int64_t a, int64_t b)
{
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    if (b > 0 && a > kMax - b) return kMax;
    if (b < 0 && a < kMin - b) return kMin;
    return a + b;
}

int ShotTimeStatus(bool probingEnabled, bool& probeNowRequested, bool testMode, int64_t interval, int64_t last,
                   int64_t now)
{
    int s = kShotNotDue;
    if (probingEnabled || probeNowRequested) {
        s = now >= SaturatingAdd(last, testMode ? 5 : interval) ? kShotDue : kShotNotDue;
        if (interval == 0 && s == kShotDue) s = kShotOnlyOne;
        if (interval == -1) s = kShotNotDue;
        if (probeNowRequested) s = kShotDue;
    }
    probeNowRequested = false;
    return s;
}

bool ReAskDue(int64_t now, int64_t last, int64_t interval)
{
    return interval > 0 && now > SaturatingAdd(last, interval);
}

bool CheckValidVersions(int64_t versionOriginal, const std::string& validVersions)
{
    if (validVersions.empty()) return true;
    return (Cat({",", validVersions, ","})).find(Cat({",", IntText(versionOriginal), ","})) != std::string::npos;
}

bool DownloadSizeMatches(int64_t actual, int64_t expected)
{
    // Both come from 32-bit sizes or INI integers; 64 bits hold the
    // difference of any two of them without wrapping.
    if ((actual > 0 && expected < std::numeric_limits<int64_t>::min() + actual) ||
        (actual < 0 && expected > std::numeric_limits<int64_t>::max() + actual))
        return false;
    const int64_t d = actual - expected;
    return d > -100 && d < 100;
}

int GetOkToPerformAUCode(const TAUFacts& f, TSizeCheck sizeOk, void* context)
{
    if (!f.infoFetched) return 0;
    if (f.versionOriginal <= 0) return 1;
    if (f.stampInfo == f.stampOriginal && !ReAskDue(f.now, f.reAskLast, f.reAskInterval) && !f.interactive)
        return 2;
    // The versions are 32-bit numbers in the files' contract.
    if (!(static_cast<int32_t>(f.versionOriginal) < static_cast<int32_t>(f.versionNew))) return 3;
    if (!CheckValidVersions(f.versionOriginal, f.validVersions)) return 4;
    if (!sizeOk || !sizeOk(context)) return 5;
    return kAUCodeOK;
}

std::string AUCodeText(int code)
{
    return SUB::Get("|Error downloading .INFO file|Error reading .ORIGINAL file|Too early for retesting|"
                    "New version is not higher then old version|\"Valid for version\" mismatch|"
                    "Download file size error|OK|",
                    code, "");
}

std::string WithProgName(const std::string& text, const std::string& programName)
{
    return ReplaceText(text, "PROG_NAME", programName);
}

std::string CheckNowText(const std::string& s22, const std::string& s23, const std::string& s24,
                         const std::string& base, bool testMode, const std::string& programName)
{
    const bool folder = base.size() < 2 || base[1] == ':';
    std::string text = s22 + (folder ? "" : s23) + s24 + (testMode ? kTestModeNote : "");
    return WithProgName(text, programName);
}

const char* DownloadQuestionSecondKey(bool confirmInstall, bool force)
{
    if (force) return confirmInstall ? "s19" : "s18";
    return confirmInstall ? "s13" : "s12";
}

const char* InstallQuestionKey(bool force) { return force ? "s20" : "s14"; }

const char* DownloadFailureKey(bool aborted, const std::string& source)
{
    if (aborted) return "s3";
    if ((source.size() > 1 && source[1] == ':') || StartsWith(source, "\\\\")) return "s4";
    return "s5";
}

bool TextDownloadOverLimit(int64_t received, uint32_t startTick, uint32_t nowTick)
{
    return received > kMaxAUTextFileSize || static_cast<uint32_t>(nowTick - startTick) > kMaxAUTextDownloadMs;
}

int64_t UpdateDownloadLimit(int64_t sizeOfUpdateFile)
{
    if (sizeOfUpdateFile <= 0 || sizeOfUpdateFile >= kMaxUpdateFileSize) return kMaxUpdateFileSize;
    return sizeOfUpdateFile + 99;
}

const char* DownloadNameRefusal(std::string name, const std::string& originalPath, const std::string& infoPath,
                                const std::string& agentName)
{
    // Windows drops trailing dots and blanks from a file name ("a.exe." is
    // "a.exe"); SameText trims the blanks.
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    if (name.empty()) return "refused: no file name";
    if (SameText(name, NamePart(originalPath)) || SameText(name, NamePart(infoPath)) ||
        SameText(name, agentName) || SameText(name, "X_" + agentName))
        return "refused: one of the agent's own files";
    return "";
}

bool FeedExpired(const std::string& expires, int64_t today)
{
    const std::string e = Trim(expires);
    if (e.empty()) return false;
    if (e.size() != 10 || e[4] != '-' || e[7] != '-') return true;
    int field[3] = {0, 0, 0};
    for (size_t i = 0; i < e.size(); ++i) {
        if (i == 4 || i == 7) continue;
        if (e[i] < '0' || e[i] > '9') return true;
        int& f = field[i < 4 ? 0 : i < 7 ? 1 : 2];
        f = f * 10 + (e[i] - '0');
    }
    // A day beyond its month's end counts on into the next month, as the
    // day count does; the builder writes only real dates.
    if (field[1] < 1 || field[1] > 12 || field[2] < 1 || field[2] > 31) return true;
    return today > DateToDayCount(field[0], field[1], field[2]);
}

bool SHA256Matches(const std::string& expectedHex, const std::string& actualHex)
{
    const std::string e = Trim(expectedHex);
    if (e.size() != 64 || actualHex.size() != 64) return false;
    for (char c : e)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return false;
    return UpperCase(e) == UpperCase(actualHex);
}

TShutDownMethod ShutDownMethodOf(const std::string& text)
{
    if (text == "Issue a Message Box") return TShutDownMethod::IssueMessageBox;
    if (text == "Using WM_CLOSE") return TShutDownMethod::Close;
    if (text == "Using WM_QUIT") return TShutDownMethod::Quit;
    if (text == "Using Terminate Process") return TShutDownMethod::Terminate;
    if (text == "Don't Shut Down") return TShutDownMethod::DontShutDown;
    return TShutDownMethod::Other;
}

int RunningStateAfter(bool runningBefore, bool runningAfter)
{
    if (!runningBefore) return 0;
    return runningAfter ? 1 : 2;
}

bool IsAbsoluteProgramPath(const std::string& path)
{
    if (path.size() > 2 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) {
        const char d = path[0];
        return (d >= 'A' && d <= 'Z') || (d >= 'a' && d <= 'z');
    }
    return path.size() > 2 && path[0] == '\\' && path[1] == '\\' && path[2] != '\\';
}

std::string QuotedCommandLine(const std::string& path, const std::string& args)
{
    std::string line = Cat({"\"", path, "\""});
    if (!args.empty()) line += " " + args;
    return line;
}

std::string AgentRestartArgs(const std::string& overrides) { return "/_ZZ=99 /WAIT=10 /TRANSIENT=" + overrides; }
