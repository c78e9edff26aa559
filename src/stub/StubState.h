// What the running stub knows about itself for the whole process: its path,
// its package, its role flags, the agent's state and the exit code.
#pragma once

#include <string>

class TGFileInfo;
struct TStubText;

// The package info of the running executable (created at start, freed at exit).
void SetOwnPackage(TGFileInfo* info);
TGFileInfo& OwnPackage();

bool ThisIs_AutoUpdateProg();
void SetThisIs_AutoUpdateProg(bool value);

// The exit code of the process: 0 unless the setup run stored the engine's.
void SetStubExitCode(int code);
int StubExitCode();

// Texts, character set and font of the language the package offers for this
// user (built-in defaults where the package has none).
std::string StubLangText(const std::string& key, const std::string& def);
// One of the stub's own texts (StubTexts.h) in that language.
std::string StubText(const TStubText& text);
int StubCharset();
// The message box's seven button captions of that language ("BtnText").
std::string StubButtonTexts();
int StubFontSize();
std::string StubFontName();
