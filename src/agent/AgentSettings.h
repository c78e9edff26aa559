// The agent's settings: the original file (the installed product's record
// beside the agent), the INFO file (what the update server offers, fetched
// at every probe), the dated test mode in the registry and the eight
// overrides that callers set through agent codes. Every getter reads its file
// again, so a file changed by another program is seen at the next call.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "sys/DateFormat.h"
#include "ui/LMsgBoxMarkup.h"

enum class TSettingsFile { Original, Info };

// Where the settings come from: the INI files, the registry and the clocks.
// The Win32 source reads the real files beside the agent; tests use a
// source in memory.
class TAgentSettingsSource {
public:
    virtual ~TAgentSettingsSource() = default;
    virtual std::string FilePath(TSettingsFile file) = 0;
    // The value, or `def` when the key is missing or its value empty.
    virtual std::string ReadKey(TSettingsFile file, const std::string& section, const std::string& key,
                                const std::string& def) = 0;
    // Changes that one key and nothing else; false (file unchanged) on failure.
    virtual bool WriteKey(TSettingsFile file, const std::string& section, const std::string& key,
                          const std::string& value) = 0;
    virtual std::string ReadRegistry(const std::string& path, const std::string& name, const std::string& def) = 0;
    virtual uint32_t TickCount() = 0;  // milliseconds, wrapping
    virtual TDateTimeParts LocalNow() = 0;
    virtual TLocaleSeparators Separators() { return {}; }
};

// Seconds since 30 December 1899 00:00 of a local date-time, the
// milliseconds rounded to the nearest second.
int64_t DateTimeToSeconds(const TDateTimeParts& dt);
// "05-DEC-2026 14:03:59": the readable form written beside the times.
std::string ReadableSeconds(int64_t seconds, const TLocaleSeparators& seps = {});

// The overrides, in the order of the override list.
enum TOverride : int {
    ovAskBeforeCheck,
    ovConfirmDownload,
    ovConfirmInstall,
    ovBackgroundUpdate,
    ovInformFinish,
    ovRestartProcess,
    ovConfirmDownloadForce,
    ovConfirmInstallForce,
    kOverrideCount
};
constexpr uint8_t kOverrideUnset = 255;  // the INFO file's key is taken

constexpr const char* kTestModeKey = "HKEY_CURRENT_USER\\Software\\Corvane\\Lumidor\\AutoUpdate";
constexpr uint32_t kTestModeCacheMs = 30000;

class TAgentSettings {
public:
    explicit TAgentSettings(TAgentSettingsSource& source) : src_(source) {}

    std::string OriginalFilePath() { return src_.FilePath(TSettingsFile::Original); }
    std::string InfoFilePath() { return src_.FilePath(TSettingsFile::Info); }
    int64_t NowSeconds() { return DateTimeToSeconds(src_.LocalNow()); }

    // The read rules: a text (default when missing or empty), a signed 64-bit
    // integer (default when it does not convert), a boolean ("1" is true).
    std::string Text(TSettingsFile f, const char* section, const char* key, const char* def = "");
    int64_t Int(TSettingsFile f, const char* section, const char* key, int64_t def = 0);
    bool Bool(TSettingsFile f, const char* section, const char* key);

    // One getter per key, named after it; ProgramName and Stamp exist in both
    // files and carry the file's name as a suffix (Original, New).
    // ---- Original file -----------------------------------------------------
    int64_t ProbeSecondsInterval() { return Orig("ProbeSecondsInterval"); }  // 0 once, -1 never
    int64_t ProbeSecondsLast() { return Orig("ProbeSecondsLast"); }
    int64_t ReAskSecondsInterval() { return Orig("ReAskSecondsInterval"); }  // 0 or less: never
    int64_t ReAskSecondsLast() { return Orig("ReAskSecondsLast"); }
    int64_t VersionOriginal() { return Orig("VersionOriginal"); }
    int64_t StampOriginal() { return Orig("Stamp"); }
    std::string ProgramNameOriginal() { return Text(TSettingsFile::Original, "OriginalSetup", "ProgramName"); }
    std::string TargetDir() { return Text(TSettingsFile::Original, "Directories", "TargetDir"); }
    std::string SharedDir() { return Text(TSettingsFile::Original, "Directories", "SharedDir"); }
    std::string AuxiliaryDir() { return Text(TSettingsFile::Original, "Directories", "AuxiliaryDir"); }
    std::string StartUpLink() { return Text(TSettingsFile::Original, "UnInstall", "StartUpLink"); }
    std::string CheckforNewUpdateLink() { return Text(TSettingsFile::Original, "UnInstall", "CheckforNewUpdateLink"); }
    std::string BtnText() { return MsgBox("BtnText", kDefaultButtonCaptions); }
    std::string ErrorCaption() { return MsgBox("Error", "Error"); }
    std::string ConfirmCaption() { return MsgBox("Confirm", "Confirm"); }
    std::string AttentionCaption() { return MsgBox("Attention", "Attention"); }
    int CharSet() { return static_cast<int>(Int(TSettingsFile::Original, "MsgBox", "CharSet", 0)); }
    std::string FontName() { return MsgBox("FontName", "Tahoma"); }
    int FontSize() { return static_cast<int>(Int(TSettingsFile::Original, "MsgBox", "FontSize", 8)); }
    // A text of the agent's messages (section AutoUpdate); for s3, s4, s5 and
    // s31 to s35 an empty `def` takes the built-in default.
    std::string AUText(const char* key, const char* def = "");

    bool SetProbeSecondsInterval(int64_t seconds) { return SetOrig("ProbeSecondsInterval", seconds); }
    bool SetReAskSecondsInterval(int64_t seconds) { return SetOrig("ReAskSecondsInterval", seconds); }
    bool SetVersionOriginal(int64_t version) { return SetOrig("VersionOriginal", version); }
    bool SetStamp(int64_t stamp) { return SetOrig("Stamp", stamp); }
    // These also write the readable form under the key with "__" in front.
    bool SetProbeSecondsLast(int64_t seconds) { return SetTime("ProbeSecondsLast", seconds); }
    bool SetReAskSecondsLast(int64_t seconds) { return SetTime("ReAskSecondsLast", seconds); }

    // ---- INFO file ---------------------------------------------------------
    std::string DownloadURL_UPDATE() { return New("DownloadURL_UPDATE"); }
    std::string NameOfUpdateFile() { return New("NameOfUpdateFile"); }
    int64_t SizeOfUpdateFile() { return Int(TSettingsFile::Info, "NewSetup", "SizeOfUpdateFile"); }
    bool RequestConfirmationBeforeDownload() { return Overridden(ovConfirmDownload, "RequestConfirmationBeforeDownload"); }
    bool RequestConfirmationBeforeDownloadForce()
    {
        return Overridden(ovConfirmDownloadForce, "RequestConfirmationBeforeDownloadForce");
    }
    bool RequestConfirmationBeforeInstall() { return Overridden(ovConfirmInstall, "RequestConfirmationBeforeInstall"); }
    bool RequestConfirmationBeforeInstallForce()
    {
        return Overridden(ovConfirmInstallForce, "RequestConfirmationBeforeInstallForce");
    }
    bool BackgroundUpdate() { return Overridden(ovBackgroundUpdate, "BackgroundUpdate"); }
    bool InformFinish() { return Overridden(ovInformFinish, "InformFinish"); }
    bool RestartProcess() { return Overridden(ovRestartProcess, "RestartProcess"); }
    bool RemoveStartUpShortcut() { return Bool(TSettingsFile::Info, "NewSetup", "RemoveStartUpShortcut"); }
    bool RemoveCheckForNewUpdateShortcut()
    {
        return Bool(TSettingsFile::Info, "NewSetup", "RemoveCheckForNewUpdateShortcut");
    }
    std::string ShutDownMethod() { return New("ShutDownMethod"); }
    std::string RunningProcess() { return New("RunningProcess"); }
    std::string ProgramNameNew() { return New("ProgramName"); }
    int64_t VersionNew() { return Int(TSettingsFile::Info, "NewSetup", "VersionNew"); }
    int64_t StampNew() { return Int(TSettingsFile::Info, "NewSetup", "Stamp"); }
    std::string ValidVersions() { return New("ValidVersions"); }
    bool AutoInform() { return Int(TSettingsFile::Info, "General", "AutoInform") == 1; }
    std::string DownloadURL_INFORM() { return Text(TSettingsFile::Info, "AutoInform", "DownloadURL_INFORM"); }
    std::string NameOfInformFile() { return Text(TSettingsFile::Info, "AutoInform", "NameOfInformFile"); }
    int64_t SizeOfInformFile() { return Int(TSettingsFile::Info, "AutoInform", "SizeOfInformFile"); }
    int64_t AutoInformW() { return Int(TSettingsFile::Info, "AutoInform", "AutoInformW", 360); }
    int64_t AutoInformH() { return Int(TSettingsFile::Info, "AutoInform", "AutoInformH", 360); }

    // ---- Overrides ---------------------------------------------------------
    // No key stands behind it: false unless set to 1.
    bool OverrideAskBeforeCheck() const { return overrides_[ovAskBeforeCheck] == 1; }
    uint8_t Override(TOverride which) const { return overrides_[which]; }
    void SetOverride(TOverride which, uint8_t value) { overrides_[which] = value; }
    // "|a|b|c|d|e|f|g|h|" in list order; reading it back changes only the
    // overrides whose items are present and numbers (kept as a byte).
    std::string OverridesToList() const;
    void OverridesFromList(const std::string& list);

    // ---- Test mode -----------------------------------------------------------
    // On while TestMode is "1" and TestModeDate is today's date. Read afresh
    // when forced or more than 30 s after the previous call; every call,
    // forced or not, renews that time, so a caller asking every second keeps
    // the cached answer until it forces a read.
    bool CheckTestMode(bool force);
    std::string TestModeURL() const { return testModeURL_; }

private:
    int64_t Orig(const char* key) { return Int(TSettingsFile::Original, "OriginalSetup", key); }
    std::string New(const char* key) { return Text(TSettingsFile::Info, "NewSetup", key); }
    std::string MsgBox(const char* key, const char* def) { return Text(TSettingsFile::Original, "MsgBox", key, def); }
    bool SetOrig(const char* key, int64_t value);
    bool SetTime(const char* key, int64_t seconds);
    bool Overridden(TOverride which, const char* key);

    TAgentSettingsSource& src_;
    std::array<uint8_t, kOverrideCount> overrides_{255, 255, 255, 255, 255, 255, 255, 255};
    bool testMode_ = false;
    bool testModeRead_ = false;
    std::string testModeURL_;
    uint32_t testModeTick_ = 0;
};
