// Placeholders in setup texts and paths ("<TempDir>", "<UserName>",
// "<Date=6>", ...) and their expansion. The values come from a source, so
// the rules can be checked with a fixed clock and made-up folders.
#pragma once

#include <string>

#include "sys/DateFormat.h"
#include "text/ShellDir.h"

class TPlaceholderSource {
public:
    virtual ~TPlaceholderSource() = default;
    virtual TDateTimeParts Now() = 0;
    virtual std::string MonthName(int month) = 0;  // full name, user's language
    virtual TLocaleSeparators Separators() = 0;
    // "<LoggedUserName>", "<UserName>", "<CompanyName>", "<ComputerName>",
    // "<CurrentDomainName>"; asked only when the text holds the placeholder.
    virtual std::string Value(const std::string& placeholder) = 0;
    // A folder without trailing backslash; asked only when needed.
    virtual std::string Folder(TShellDir which) = 0;
    // The system's full path of a relative one (against the current folder).
    virtual std::string FullPath(const std::string& path) = 0;
    virtual bool IsLeadByte(unsigned char) { return false; }
};

// The product's three installation folders, kept for the process.
void SetInstallFolders(const std::string& applicationFolder, const std::string& commonFolder,
                       const std::string& auxiliaryFolder);

// Replaces the placeholders of `text` (names without regard to case).
// `suffix` follows a folder when more text follows its placeholder;
// `folderStage` enables the folder placeholders, `expandRelative` the full
// path of a text (or of the items of a list) holding "\.." or "..\".
// An unknown placeholder stays as it is.
std::string ExpandPlaceholders(TPlaceholderSource& src, const std::string& text, const std::string& suffix,
                               bool expandRelative, bool folderStage);

// The folder of a program path without trailing backslash ("" for none).
std::string OriginFolderOf(const std::string& program);

// Win32: the placeholders on the running system. The origin program is the
// "/OriginExe=" switch or this program; both it and its folder are worked
// out once.
TPlaceholderSource& SystemPlaceholders();
std::string ExpandPlaceholders(const std::string& text, const std::string& suffix, bool expandRelative,
                               bool folderStage);
std::string OriginProgram();
std::string OriginFolder();
