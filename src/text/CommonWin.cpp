// The placeholders' values on Windows.
#include <windows.h>

#include "sys/CommandLine.h"
#include "sys/UtilsWin.h"
#include "text/Common.h"

namespace {

class TWinPlaceholders : public TPlaceholderSource {
public:
    TDateTimeParts Now() override { return LocalNow(); }
    std::string MonthName(int month) override
    {
        char buf[80] = {};
        if (month < 1 || month > 12 ||
            !GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SMONTHNAME1 + month - 1, buf, sizeof buf - 1))
            return "";
        return buf;
    }
    TLocaleSeparators Separators() override { return UserLocaleSeparators(); }
    std::string Value(const std::string& p) override
    {
        if (p == "<LoggedUserName>") return CurrentUserName();
        if (p == "<UserName>") return RegisteredOwner();
        if (p == "<CompanyName>") return RegisteredOrganization();
        if (p == "<ComputerName>") return ComputerNameText();
        if (p == "<CurrentDomainName>") return UserDomainName();
        return "";
    }
    std::string Folder(TShellDir which) override { return ShellDir(which, false); }
    std::string FullPath(const std::string& path) override
    {
        char buf[MAX_PATH * 4];
        const DWORD n = GetFullPathNameA(path.c_str(), sizeof buf, buf, nullptr);
        return n == 0 || n >= sizeof buf ? path : std::string(buf, n);
    }
    bool IsLeadByte(unsigned char c) override { return IsDBCSLeadByte(c) != FALSE; }
};

std::string gOriginProgram, gOriginFolder;

}  // namespace

TPlaceholderSource& SystemPlaceholders()
{
    static TWinPlaceholders src;
    return src;
}

std::string ExpandPlaceholders(const std::string& text, const std::string& suffix, bool expandRelative,
                               bool folderStage)
{
    return ExpandPlaceholders(SystemPlaceholders(), text, suffix, expandRelative, folderStage);
}

std::string OriginProgram()
{
    if (gOriginProgram.empty()) gOriginProgram = GetSwitch("/OriginExe", "");
    return gOriginProgram.empty() ? OwnPath() : gOriginProgram;
}

std::string OriginFolder()
{
    if (gOriginFolder.empty()) gOriginFolder = OriginFolderOf(OriginProgram());
    return gOriginFolder;
}
