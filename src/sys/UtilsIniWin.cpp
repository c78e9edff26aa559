// Utils, Win32 half: INI files through the system's private-profile functions.
#include <vector>

#include "sys/LWriteln.h"
#include "sys/Utils.h"
#include "sys/UtilsWin.h"

namespace {

// Readers of the same file are serialised: the profile functions were not
// always safe against each other, and the buffer is large.
class IniLock {
public:
    IniLock() { ::EnterCriticalSection(&Section()); }
    ~IniLock() { ::LeaveCriticalSection(&Section()); }
    IniLock(const IniLock&) = delete;
    IniLock& operator=(const IniLock&) = delete;

private:
    static CRITICAL_SECTION& Section()
    {
        static CRITICAL_SECTION cs = [] {
            CRITICAL_SECTION c;
            ::InitializeCriticalSection(&c);
            return c;
        }();
        return cs;
    }
};

}  // namespace

std::string ReadIniString(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& def)
{
    if (section.empty() || key.empty()) return def;
    IniLock lock;
    std::vector<char> buf(kIniBufferSize);
    const DWORD len = ::GetPrivateProfileStringA(section.c_str(), key.c_str(), def.c_str(), buf.data(),
                                                 kIniBufferSize, file.c_str());
    if (len > kIniValueWarnLength) Trace("ReadIniString SizeError=" + IntText(len));
    if (len == 0) return def;
    return std::string(buf.data(), len);
}

int64_t ReadIniInt(const std::string& file, const std::string& section, const std::string& key, int64_t def)
{
    return TextToInt64(ReadIniString(file, section, key, IntText(def)), def);
}

bool WriteIniString(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& value)
{
    if (file.empty() || section.empty() || key.empty()) return false;
    return ::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()) != FALSE;
}

bool WriteIniInt(const std::string& file, const std::string& section, const std::string& key, int64_t value)
{
    return WriteIniString(file, section, key, IntText(value));
}
