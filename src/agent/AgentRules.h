// The update cycle's decisions on plain values. The cycle (AgentUpdateCycle,
// AgentDownload, AgentShutDown) reads the settings, asks the user,
// downloads and runs the new setup; everything it decides goes through
// these functions, so each rule can be tried without a server, a clock or
// a window.
#pragma once

#include <cstdint>
#include <string>

// a + b without overflow: a hostile INI value near the limits must not wrap
// a time comparison round into "due".
int64_t SaturatingAdd(int64_t a, int64_t b);

// Whether a probe is due this tick: no, yes, or yes and it is the only one
// (an interval of 0 probes once). An interval of -1 never probes on the
// timer; a probe-now request always does. The request is consumed.
enum TShotStatus : int { kShotNotDue = 0, kShotDue = 1, kShotOnlyOne = 2 };
int ShotTimeStatus(bool probingEnabled, bool& probeNowRequested, bool testMode, int64_t interval, int64_t last,
                   int64_t now);

// An unchanged offer is made again once its re-ask interval has passed.
bool ReAskDue(int64_t now, int64_t last, int64_t interval);

// The offer is valid for the installed version: an empty list means every
// version; otherwise ",version," must occur in "," + list + "," exactly
// (a blank after a comma belongs to the next item).
bool CheckValidVersions(int64_t versionOriginal, const std::string& validVersions);

// The announced size and the one found differ by less than 100 bytes. An
// unknown size is -1. Computed in 64 bits: a difference must never wrap
// round into a small one.
bool DownloadSizeMatches(int64_t actual, int64_t expected);

// What GetOkToPerformAU weighs, read from the two files, the clock and the
// agent's mode.
struct TAUFacts {
    bool infoFetched = false;
    int64_t versionOriginal = 0;
    int64_t versionNew = 0;
    int64_t stampOriginal = 0;
    int64_t stampInfo = 0;
    int64_t now = 0;
    int64_t reAskLast = 0;
    int64_t reAskInterval = 0;
    bool interactive = false;  // AgentMode 1
    std::string validVersions;
};

// The ladder: 0 .. 5 is the first test failed, 6 all passed. The size test
// is the last and the only one that may need the network, so it is asked
// for only when every other test has passed.
using TSizeCheck = bool (*)(void* context);
int GetOkToPerformAUCode(const TAUFacts& facts, TSizeCheck sizeOk, void* context);
constexpr int kAUCodeOK = 6;  // every test passed
// The run log's text of a ladder code ("OK" for kAUCodeOK).
std::string AUCodeText(int code);

// The question whether to check now: s22 + s23 + s24 (+ the test-mode
// note). s23 speaks of the Internet and is dropped for a folder location (a
// base shorter than two characters or with a drive colon second).
std::string CheckNowText(const std::string& s22, const std::string& s23, const std::string& s24,
                         const std::string& base, bool testMode, const std::string& programName);
inline constexpr const char* kTestModeNote =
    "<P><P><T><B>PLEASE NOTE</B> - You are now running in <B>Test Mode</B>!";

// Every PROG_NAME (exact case) replaced by the product's name.
std::string WithProgName(const std::string& text, const std::string& programName);

// The key of the download question's second half: s12 / s13 (install not
// asked / asked), or s18 / s19 for the forced notice.
const char* DownloadQuestionSecondKey(bool confirmInstall, bool force);
// The key of the install question: s14, or s20 for the forced notice.
const char* InstallQuestionKey(bool force);

// Why a confirmed download failed, as the key of its text: "s3" aborted,
// "s4" a folder location (drive or network share), "s5" anything else.
const char* DownloadFailureKey(bool aborted, const std::string& source);

// Download kinds of DownloadFileAU.
enum class TAUKind { Info = 1, Update = 2, Inform = 3 };

// The INFO and inform files are small texts held in memory; a body above
// this is refused as a failed download.
constexpr int64_t kMaxAUTextFileSize = 1048576;
// A text download that still trickles in after this is given up.
constexpr uint32_t kMaxAUTextDownloadMs = 60000;
// Whether a text download must stop: more than the cap received, or the
// time limit passed since it started (tick counts that may wrap round).
bool TextDownloadOverLimit(int64_t received, uint32_t startTick, uint32_t nowTick);

// The most a new setup may be when the INFO file gives no size: generous
// for any setup, but a bound all the same.
constexpr int64_t kMaxUpdateFileSize = int64_t(2) << 30;
// The most the download of the new setup may bring: the announced size as
// the size check accepts it (less than 100 bytes above), or the cap above
// when the INFO file announces none.
int64_t UpdateDownloadLimit(int64_t sizeOfUpdateFile);

// Why a file name from the INFO file is not downloaded ("" when it may
// be): no name at all, or the name of one of the agent's own files beside
// it (the original file, the INFO file, the agent and its X_ copy),
// compared as Windows compares names (without regard to case).
const char* DownloadNameRefusal(std::string name, const std::string& originalPath, const std::string& infoPath,
                                const std::string& agentName);

// ---- Update integrity ---------------------------------------------------

// The expected digest of a downloaded file, as the INFO file gives it:
// blanks around it are ignored, the hex digits may be in either case. An
// empty value means "no check"; anything that is not 64 hex digits can
// never match.
bool SHA256Matches(const std::string& expectedHex, const std::string& actualHex);

// A signed INFO file's "Expires" (YYYY-MM-DD, the last day it is good for)
// against today's day count (days since 30 December 1899). An empty value
// never expires; a value that is no such date counts as expired: a signed
// feed says when it ends plainly or not at all.
bool FeedExpired(const std::string& expires, int64_t today);

// ---- Shut-down of the running product ------------------------------------

enum class TShutDownMethod { IssueMessageBox, Close, Quit, Terminate, DontShutDown, Other };
// Compared exactly and case-sensitively with the method texts.
TShutDownMethod ShutDownMethodOf(const std::string& text);

// 0 not running at the start, 1 still running after the shut-down, 2 was
// running and has gone.
int RunningStateAfter(bool runningBefore, bool runningAfter);

// The switches that start the plain agent afresh: a new resident copy
// although this one still runs, after ten seconds, with the overrides.
std::string AgentRestartArgs(const std::string& overrides);
// A program path given to the process start as the application itself:
// an absolute path on a drive or a share, nothing the search path resolves.
bool IsAbsoluteProgramPath(const std::string& path);
// "path" with quotes, then the arguments, if any: a folder with blanks can
// never start another program.
std::string QuotedCommandLine(const std::string& path, const std::string& args);
