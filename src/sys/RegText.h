// Registry paths and values as text: the portable rules behind the registry
// readers of UtilsWin (which root a name means, how a path splits, how the
// bytes of a value become its text).
#pragma once

#include <cstdint>
#include <string>

enum class TRegRoot { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig, DynData };

// "HKEY_CLASSES_ROOT"/"HKCR", "HKEY_CURRENT_USER"/"HKCU", "HKEY_LOCAL_MACHINE"/
// "HKLM", "HKEY_USERS"/"HKU", "HKEY_CURRENT_CONFIG"/"HKCC", "HKEY_DYN_DATA"/
// "HKDD", in any case; anything else is the current user.
TRegRoot RegRootIdFromName(const std::string& name);

struct TRegPathText {
    TRegRoot root = TRegRoot::CurrentUser;
    std::string subkey;
};

// The path is trimmed. Starting with "HK" (any case), the part before the
// first "\" names the root (the whole path when there is none) and the rest
// is the subkey; any other path is a subkey of the current user.
TRegPathText SplitRegPathText(const std::string& path);

// Value types the text rules tell apart (the platform's numbers).
constexpr uint32_t kRegTypeDword = 4;
constexpr uint32_t kRegTypeMultiSz = 7;

// Most bytes of data a registry read takes.
constexpr size_t kRegReadLimit = 10241;

// The text of a value's data: REG_DWORD of 4 bytes in decimal; REG_MULTI_SZ
// of more than 2 bytes without its trailing NULs and with "<0>" for every
// inner NUL; anything else up to its first NUL.
std::string RegDataText(uint32_t type, const std::string& data);
