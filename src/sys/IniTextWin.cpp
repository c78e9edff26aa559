// Writing one key of an INI file without rewriting the rest of it.
#include <windows.h>

#include "sys/Handles.h"
#include "sys/IniText.h"
#include "sys/LWriteln.h"
#include "sys/Utils.h"
#include "sys/UtilsWin.h"

namespace {

// An INI file beside a program is a few kilobytes; anything far larger is
// not ours to rewrite.
constexpr DWORD kMaxIniFileSize = 4u << 20;

bool ReadWhole(const std::string& file, std::string& text)
{
    // Shared for deleting too: the other agent process may replace the file meanwhile.
    FileHandle f(CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) return false;
    DWORD high = 0;
    const DWORD size = GetFileSize(f.Get(), &high);
    if (size == INVALID_FILE_SIZE || high || size > kMaxIniFileSize) return false;
    text.resize(size);
    DWORD got = 0;
    return size == 0 || (ReadFile(f.Get(), text.data(), size, &got, nullptr) && got == size);
}

bool WriteNew(const std::string& file, const std::string& text)
{
    // CREATE_NEW never opens what is already there, a link included.
    FileHandle f(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) return false;
    DWORD put = 0;
    const DWORD size = static_cast<DWORD>(text.size());
    return (size == 0 || (WriteFile(f.Get(), text.data(), size, &put, nullptr) && put == size)) &&
           FlushFileBuffers(f.Get());
}

bool IsUtf16(const std::string& t)
{
    return t.size() >= 2 && ((t[0] == '\xFF' && t[1] == '\xFE') || (t[0] == '\xFE' && t[1] == '\xFF'));
}

}  // namespace

std::string ReadIniKeyFresh(const std::string& file, const std::string& section, const std::string& key,
                            const std::string& def)
{
    std::string text;
    if (file.empty() || !ReadWhole(file, text)) return def;
    // A UTF-16 file is the profile functions' own business.
    if (IsUtf16(text)) return ReadIniString(file, section, key, def);
    return IniGetValue(text, section, key, def);
}

bool WriteIniKeyInPlace(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value)
{
    std::string text;
    if (file.empty() || !ReadWhole(file, text)) return false;
    // A read-only file is left alone, as the profile functions leave it (and
    // whoever runs the agent, even one the system lets replace it).
    const DWORD attributes = GetFileAttributesA(file.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY)) return false;
    if (IsUtf16(text))
        return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()) != FALSE;
    const std::string old = text;
    if (!IniSetValue(text, section, key, value)) return false;
    if (text == old) return true;
    const std::string temp = file + ".new~";
    DeleteFileA(temp.c_str());
    bool ok = WriteNew(temp, text) &&
              MoveFileExA(temp.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) {
        Trace(Cat({"WriteIniKeyInPlace failed: ", file, " [", section, "] ", key}));
        DeleteFileA(temp.c_str());
    }
    return ok;
}
