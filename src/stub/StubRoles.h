// The role decision of the stub and the texts its roles build: pure
// functions of the trailer, the file names and the switches.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

enum class TStubBranch {
    PlainAgent,         // make and start the resident X_ copy
    AgentCopy,          // the resident agent: hidden window, then delete itself
    SpannedFirstStart,  // copy to the temporary folder as Y_ and restart from there
    PlainStub,          // the setup window; with SpanCdLvl 2 delete itself afterwards
};

struct TRoleFacts {
    bool autoUpdateAgent = false;  // trailer byte
    bool cdSpanned = false;        // trailer flag
    int64_t spanCdLvl = 1;         // "/SpanCdLvl=", default 1
    std::string ownName;           // file name of the running executable
    std::string agentFileName;     // settings block
};

bool IsPlainAgent(const TRoleFacts& f);
bool IsAgentCopy(const TRoleFacts& f);
TStubBranch ChooseBranch(const TRoleFacts& f);

// Marker window class: agents use ".AutoUpdate." + own name without its last
// extension, every other role the full path as the system reports it.
std::string StubWindowClass(bool autoUpdateAgent, const std::string& ownPath);
// The class of the resident copy of the agent named `agentFileName`.
std::string AgentCopyWindowClass(const std::string& agentFileName);

std::string WithoutLastExtension(const std::string& name);

// Arguments handed to the resident copy: " /TRANSIENTx=" + transient and
// " /SleepX=" + delay, each when given.
std::string AgentCopyExtraArgs(const std::string& transient, const std::string& delay);

// The command line of the spanned stub's temporary copy (its path quoted when
// it holds a blank).
std::string RelaunchCommandLine(const std::string& copyPath, const std::string& args, const std::string& ownPath);

// Whether "/SpanDiskFName1=" may name the volume to extract instead of the
// own file. Only the temporary copy of a disk-set package, relaunched by the
// first start, has it: own name "Y_" + the original's, "/SpanCdLvl=2", and
// the path the original's file name + ".001". Anybody else could hand a
// signed launcher any package to run elevated.
bool SpanDiskNameHonoured(const TRoleFacts& f, const std::string& spanPath);

// "/WM_MSG=w:l" as wParam and lParam (non-numbers give 0).
std::pair<int64_t, int64_t> WmMsgParams(const std::string& value);
