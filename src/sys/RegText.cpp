#include "sys/RegText.h"

#include "sys/Utils.h"

TRegRoot RegRootIdFromName(const std::string& name)
{
    struct Entry {
        const char* longName;
        const char* shortName;
        TRegRoot root;
    };
    static const Entry kRoots[] = {
        {"HKEY_CLASSES_ROOT", "HKCR", TRegRoot::ClassesRoot},
        {"HKEY_CURRENT_USER", "HKCU", TRegRoot::CurrentUser},
        {"HKEY_LOCAL_MACHINE", "HKLM", TRegRoot::LocalMachine},
        {"HKEY_USERS", "HKU", TRegRoot::Users},
        {"HKEY_CURRENT_CONFIG", "HKCC", TRegRoot::CurrentConfig},
        {"HKEY_DYN_DATA", "HKDD", TRegRoot::DynData},
    };
    const std::string upper = UpperCase(name);
    for (const Entry& e : kRoots)
        if (upper == e.longName || upper == e.shortName) return e.root;
    return TRegRoot::CurrentUser;
}

TRegPathText SplitRegPathText(const std::string& path)
{
    const std::string p = Trim(path);
    TRegPathText result;
    if (!StartsWith(p, "HK", true)) {
        result.subkey = p;
        return result;
    }
    const size_t slash = p.find('\\');
    if (slash == std::string::npos) {
        result.root = RegRootIdFromName(p);
    } else {
        result.root = RegRootIdFromName(p.substr(0, slash));
        result.subkey = p.substr(slash + 1);
    }
    return result;
}

std::string RegDataText(uint32_t type, const std::string& data)
{
    if (type == kRegTypeDword && data.size() == 4) {
        const auto* b = reinterpret_cast<const unsigned char*>(data.data());
        const uint32_t value = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
        return IntText(value);
    }
    if (type == kRegTypeMultiSz && data.size() > 2) {
        std::string text = data;
        while (!text.empty() && text.back() == '\0') text.pop_back();
        std::string out;
        for (char c : text) {
            if (c == '\0')
                out += "<0>";
            else
                out += c;
        }
        return out;
    }
    return data.substr(0, data.find('\0'));
}
