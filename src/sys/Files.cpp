// Files, portable half: the self-deletion batch text and the path rules.
#include "sys/Files.h"

#include <array>

#include "sys/Utils.h"

namespace {

constexpr const char* kCrLf = "\r\n";
// Every command of the batch is silent: the interpreter shares the console
// of whoever started the stub.
constexpr const char* kQuiet = " >NUL 2>&1";

// A "%" in a batch line starts a variable; doubled it stands for itself.
std::string BatchQuoted(const std::string& path)
{
    return Cat({"\"", ReplaceText(path, "%", "%%"), "\""});
}

bool IsSlash(char c) { return c == '\\' || c == '/'; }

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsDevicePart(std::string_view part)
{
    // "CON.txt" and "CON " name the device as surely as "CON".
    size_t end = part.find('.');
    if (end == std::string_view::npos) end = part.size();
    while (end > 0 && part[end - 1] == ' ') --end;
    std::string base;
    for (size_t i = 0; i < end; ++i) base += UpperAscii(part[i]);
    static const std::array<const char*, 6> kPlain = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* d : kPlain)
        if (base == d) return true;
    if (base.size() != 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0)) return false;
    // The system also takes the superscript digits one, two and three of the
    // system code page ("COM\xB9") as port numbers.
    const unsigned char digit = static_cast<unsigned char>(base[3]);
    return (digit >= '1' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

}  // namespace

std::string SelfDeleteBatchText(const std::string& exePath, const std::string& batchPath, bool removeFolder,
                                int attempts)
{
    if (attempts < 1) attempts = 1;
    const std::string exe = BatchQuoted(exePath);
    // The counter grows by one letter per failed attempt: plain string
    // comparison works in every command interpreter, arithmetic does not.
    const std::string full(static_cast<size_t>(attempts), 'x');
    std::string t;
    t += std::string("@ECHO OFF") + kCrLf;
    t += std::string("SET LUMDELTRY=") + kCrLf;
    t += std::string(":START") + kCrLf;
    t += "DEL " + exe + kQuiet + kCrLf;
    t += "IF NOT exist " + exe + " GOTO DONE" + kCrLf;
    t += std::string("SET LUMDELTRY=%LUMDELTRY%x") + kCrLf;
    t += "IF \"%LUMDELTRY%\"==\"" + full + "\" GOTO DONE" + kCrLf;
    // About one second between attempts (the second echo waits a second).
    t += std::string("PING -n 2 127.0.0.1") + kQuiet + kCrLf;
    t += std::string("GOTO START") + kCrLf;
    t += std::string(":DONE") + kCrLf;
    if (removeFolder) t += "RD " + BatchQuoted(FolderPart(exePath)) + kQuiet + kCrLf;
    t += "DEL " + BatchQuoted(batchPath) + kQuiet + kCrLf;
    return t;
}

std::string DriveRoot(const std::string& path, bool forceLetterRoot)
{
    if (path.empty()) return "";
    const std::string p = ReplaceChar(path, '/', '\\');
    if (forceLetterRoot || p.size() < 3) return std::string(1, UpperAscii(p[0])) + ":\\";
    // The first "\" at or after the 4th character ends the root; "C:\" alone
    // (or "C:\Users") has none and stands whole.
    const size_t slash = p.find('\\', 3);
    return slash == std::string::npos ? p : p.substr(0, slash);
}

char DriveLetterOf(const std::string& path)
{
    if (path.empty()) return 0;
    const char c = UpperAscii(path[0]);
    return (c >= 'A' && c <= 'Z') ? c : 0;
}

std::string FolderPart(const std::string& path)
{
    const size_t p = path.find_last_of("\\/");
    return p == std::string::npos ? "" : path.substr(0, p);
}

std::string NamePart(const std::string& path)
{
    const size_t p = path.find_last_of("\\/:");
    return p == std::string::npos ? path : path.substr(p + 1);
}

std::string JoinPath(const std::string& folder, const std::string& name)
{
    if (folder.empty()) return name;
    return IsSlash(folder.back()) ? folder + name : folder + "\\" + name;
}

bool NamesDevice(std::string_view path)
{
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = start;
        while (end < path.size() && !IsSlash(path[end])) ++end;
        if (IsDevicePart(path.substr(start, end - start))) return true;
        start = end + 1;
    }
    return false;
}

std::string SelfDeleteBatchName(uint64_t randomBits)
{
    const std::string hex = HexDigits(static_cast<uint32_t>(randomBits >> 32), 8) +
                            HexDigits(static_cast<uint32_t>(randomBits), 8);
    return Cat({"_DEL_", UpperCase(hex), ".BAT"});
}

bool IsShortcutFile(const std::string& path)
{
    // A stream name ("file.txt:x.lnk") is not a shortcut file of its own.
    if (path.find(':', 2) != std::string::npos) return false;
    const std::string name = NamePart(path);
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    std::string ext;
    for (size_t i = dot; i < name.size(); ++i) ext += UpperAscii(name[i]);
    return ext == ".LNK" || ext == ".PIF" || ext == ".URL";
}
