// The setup engine's command line and the names shared with the engine.
#pragma once

#include <string>

inline constexpr const char* kLaunchAtomPrefix = "AutoUpdateAtomTokenByLumidor";
inline constexpr const char* kEngineDialogClassPrefix = ".SDialog_Class_Name.";

// "_" + the decimal id of the stub's thread.
std::string LaunchId(unsigned long threadId);

struct TEngineLaunch {
    std::string engine;     // file name of the engine in the extraction folder
    std::string arguments;  // stub arguments + the launch record's own
};

// Splits the launch record ("Engine.exe* /silent") and joins the stub's
// own arguments in front of the record's.
TEngineLaunch SplitLaunchRecord(const std::string& launchRecord, const std::string& extraArgs);

// The engine's full path: the extraction folder with "\" + the record's name.
std::string EngineProgramPath(const std::string& extractFolder, const std::string& launchRecord);

// The engine's full command line: engine path (quoted when it holds a blank), arguments, " /TH_ID=",
// " /OriginExe=" with the quoted stub path unless the arguments carry one,
// " /AutoUpdateProg" for an agent; without the spanned stub's switches.
std::string EngineCommandLine(const std::string& extractFolder, const std::string& launchRecord,
                              const std::string& extraArgs, const std::string& stubPath, bool isAgent,
                              const std::string& launchId);
