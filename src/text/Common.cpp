#include "text/Common.h"

#include <cctype>

#include "sys/Utils.h"
#include "text/RunTimeDir.h"

namespace {

std::string gApplicationFolder, gCommonFolder, gAuxiliaryFolder;

bool Has(const std::string& t, const std::string& p) { return PosIgnoreCase(p, t) != 0; }
void ReplaceAll(std::string& t, const std::string& p, const std::string& v) { t = ReplaceText(t, p, v, 0, 0, true); }
std::string Two(int n) { return PadLeft(n, 2); }

std::string DateText(TPlaceholderSource& src, char code)
{
    const TDateTimeParts n = src.Now();
    const std::string dd = Two(n.day), mm = Two(n.month), yy = Two(n.year % 100), yyyy = PadLeft(n.year, 4);
    switch (code) {
    case '#': {
        const std::string sep = src.Separators().date;
        return dd + sep + src.MonthName(n.month) + sep + yyyy;
    }
    case '0': return IntText(DateToDayCount(n.year, n.month, n.day) - DateToDayCount(2000, 1, 1));
    case '1': return Cat({dd, "-", mm, "-", yy});
    case '2': return Cat({mm, "-", dd, "-", yy});
    case '3': return Cat({yy, "-", mm, "-", dd});
    case '4': return Cat({dd, "-", mm, "-", yyyy});
    case '5': return Cat({mm, "-", dd, "-", yyyy});
    case '6': return Cat({yyyy, "-", mm, "-", dd});
    case '7': {
        const std::string sep = src.Separators().time;
        return Cat({yyyy, "-", mm, "-", dd, " ", Two(n.hour), sep, Two(n.minute), sep, Two(n.second)});
    }
    default: return "";
    }
}

void ExpandDate(TPlaceholderSource& src, std::string& t)
{
    const size_t pos = PosIgnoreCase("<Date=", t);
    if (pos == 0) return;
    const size_t at = pos - 1;
    if (t.find('>', at + 6) == std::string::npos) return;
    const char code = t[at + 6];
    if (code != '#' && (code < '0' || code > '7')) return;
    t.replace(at, 8, DateText(src, code));
}

class TFolderStage {
public:
    TFolderStage(TPlaceholderSource& src, std::string& t, const std::string& suffix)
        : src_(src), t_(t), suffix_(suffix)
    {
    }
    void Run();

private:
    // Folder replacement: the value alone when the placeholder ends the text,
    // is followed by a blank, or by the character that both opens and closes
    // the text (not "<" nor a letter, as a quote); else value + suffix.
    void Put(const std::string& p, const std::string& v)
    {
        const size_t pos = PosIgnoreCase(p, t_);
        if (pos == 0) return;
        const size_t after = pos - 1 + p.size();
        bool bare = after >= t_.size();
        if (!bare) {
            const char c = t_[after];
            bare = c == ' ' || (c == t_.front() && c == t_.back() && c != '<' &&
                                !std::isalpha(static_cast<unsigned char>(c)));
        }
        ReplaceAll(t_, p, bare ? v : v + suffix_);
    }
    void Dir(const char* p, TShellDir d)
    {
        if (Has(t_, p)) Put(p, src_.Folder(d));
    }
    void Drive(const char* drive, const char* disk, TShellDir d, const std::string* given = nullptr)
    {
        if (!Has(t_, drive) && !Has(t_, disk)) return;
        const std::string v = given ? *given : src_.Folder(d);
        ReplaceAll(t_, drive, v.substr(0, 3));
        ReplaceAll(t_, disk, v.substr(0, 2));
    }
    void InstallDirs()
    {
        Put("<InstallDir>", gApplicationFolder);
        Put("<InstallCommonDir>", gCommonFolder);
        Put("<InstallAuxDir>", gAuxiliaryFolder);
    }
    void Collapse();

    TPlaceholderSource& src_;
    std::string& t_;
    const std::string& suffix_;
};

void TFolderStage::Run()
{
    using D = TShellDir;
    const std::string before = t_;
    ReplaceAll(t_, "<UnInstallExePath>", "");
    if (Has(t_, "<RunTimeDir_"))
        for (int n = 1; n <= kRunTimeDirCount; ++n)
            Put(Cat({"<RunTimeDir_", IntText(n), ">"}), RunTimeDir(n, false));
    Put("<Application Folder>", gApplicationFolder);
    Put("<Common Folder>", gCommonFolder);
    Put("<Auxiliary Folder>", gAuxiliaryFolder);
    Dir("<Windows Directory>", D::WinDir);
    Dir("<System Directory>", D::WinSysDir);
    Dir("<System16 Directory>", D::WinSys16Dir);
    // After an absolute folder the relative install placeholders have no
    // place left: they are dropped.
    if (t_ != before)
        for (const char* p : {"<InstallDir>", "<InstallCommonDir>", "<InstallAuxDir>"}) ReplaceAll(t_, p, "");
    ReplaceAll(t_, "<AbsoluteDir>", "");
    InstallDirs();
    ReplaceAll(t_, "<AbsoluteDir>", "");
    Dir("<WinDir>", D::WinDir);
    Dir("<WinSysDir>", D::WinSysDir);
    Dir("<WinSys32Dir>", D::WinSysDir);
    Dir("<WinSys16Dir>", D::WinSys16Dir);
    Drive("<InstallDrive>", "<InstallDisk>", D::WinDir, &gApplicationFolder);
    Drive("<WinDrive>", "<WinDisk>", D::WinDir);
    Drive("<WinSysDrive>", "<WinSysDisk>", D::WinSysDir);
    Drive("<OriginDrive>", "<OriginDisk>", D::OriginDir);
    Dir("<StartMenuDir>", D::StartMenuDir);
    Dir("<ProgramFilesDir>", D::ProgramFilesDir);
    Dir("<CommonFilesDir>", D::CommonFilesDir);
    Dir("<FontDir>", D::FontDir);
    Dir("<SrcDir>", D::SrcDir);
    Dir("<OriginDir>", D::OriginDir);
    Dir("<TempDir>", D::TempDir);
    Dir("<ServiceDir>", D::SrcDir);
    static const struct {
        const char* p;
        D d;
    } kShell[] = {
        {"<UserDir>", D::UserDir},
        {"<UserAppDataDir>", D::UserAppDataDir},
        {"<UserLocalAppDataDir>", D::UserLocalAppDataDir},
        {"<MyDocumentsDir>", D::MyDocumentsDir},
        {"<UserStartMenuDir>", D::UserStartMenuDir},
        {"<UserStartProgramMenuDir>", D::UserStartProgramMenuDir},
        {"<UserDesktopDir>", D::UserDesktopDir},
        {"<DocumentsAndSettingsDir>", D::DocumentsAndSettingsDir},
        {"<AllUsersDir>", D::AllUsersDir},
        {"<AllUsersAppDataDir>", D::AllUsersAppDataDir},
        {"<AllUsersDocumentsDir>", D::AllUsersDocumentsDir},
        {"<AllUsersStartMenuDir>", D::AllUsersStartMenuDir},
        {"<AllUsersStartProgramMenuDir>", D::AllUsersStartProgramMenuDir},
        {"<AllUsersDesktopDir>", D::AllUsersDesktopDir},
    };
    for (const auto& s : kShell) Dir(s.p, s.d);
    if (t_ != before) Collapse();
}

// Folders joined to text that brought its own backslash leave "\\": one of
// each pair goes, except at the edges, after a double-byte lead byte, and
// after the character that encloses the whole text.
void TFolderStage::Collapse()
{
    if (t_.empty()) return;
    const char first = t_.front();
    const bool enclosed = t_.size() > 1 && first == t_.back();
    std::string rest = t_.substr(1);
    // 1-based i, i + 1: the pair; its first backslash from the second to the
    // third-last character of the rest, scanning from the end.
    for (size_t i = rest.size() >= 2 ? rest.size() - 2 : 0; i >= 2; --i) {
        if (rest[i - 1] != '\\' || rest[i] != '\\') continue;
        const unsigned char prev = static_cast<unsigned char>(rest[i - 2]);
        if (src_.IsLeadByte(prev) || (enclosed && rest[i - 2] == first)) continue;
        rest.erase(i, 1);
    }
    if (rest.size() >= 2 && rest[0] == '\\' && rest[1] == '\\') rest.erase(0, 1);
    t_ = first + rest;
}

std::string FullPathsOf(TPlaceholderSource& src, const std::string& t)
{
    auto relative = [](const std::string& s) {
        return s.find("\\..") != std::string::npos || s.find("..\\") != std::string::npos;
    };
    if (!relative(t)) return t;
    if (t[0] != ',' && t[0] != '|') return src.FullPath(t);
    const char sep = t[0];
    std::string out(1, sep);
    size_t p = 1;
    while (p <= t.size()) {
        size_t q = t.find(sep, p);
        if (q == std::string::npos) q = t.size();
        const std::string item = t.substr(p, q - p);
        out += relative(item) ? src.FullPath(item) : item;
        if (q < t.size()) out += sep;
        p = q + 1;
    }
    return out;
}

}  // namespace

void SetInstallFolders(const std::string& applicationFolder, const std::string& commonFolder,
                       const std::string& auxiliaryFolder)
{
    gApplicationFolder = applicationFolder;
    gCommonFolder = commonFolder;
    gAuxiliaryFolder = auxiliaryFolder;
}

std::string ExpandPlaceholders(TPlaceholderSource& src, const std::string& text, const std::string& suffix,
                               bool expandRelative, bool folderStage)
{
    std::string t = text;
    if (t.find('<') != std::string::npos) {
        ExpandDate(src, t);
        for (const char* p : {"<LoggedUserName>", "<UserName>", "<CompanyName>", "<ComputerName>",
                              "<CurrentDomainName>"})
            if (Has(t, p)) ReplaceAll(t, p, src.Value(p));
        for (const char* p : {"<LastExecutableExitCode>", "<ReqFreeDiskSpaceMB>"}) ReplaceAll(t, p, "0");
        for (const char* p : {"<EnteredUserName>", "<EnteredCompanyName>", "<EnteredSerialNum>",
                              "<EnteredStartProgramMenu>", "<VendorCompanyName>", "<ProjectName>",
                              "<ProgramDescriptiveName>", "<ProgramVersion>", "<SelectedLanguage>"})
            ReplaceAll(t, p, "");
        if (folderStage) TFolderStage(src, t, suffix).Run();
    }
    return expandRelative && !t.empty() ? FullPathsOf(src, t) : t;
}

std::string OriginFolderOf(const std::string& program)
{
    const size_t slash = program.find_last_of('\\');
    return slash == std::string::npos ? "" : program.substr(0, slash);
}
