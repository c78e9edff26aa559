// Utils under Wine: registry and INI reading with their defaults and rules.
#include <gtest/gtest.h>

#include <vector>

#include "WinTestKit.h"
#include "sys/LWriteln.h"
#include "sys/Utils.h"

using namespace wintest;

namespace {

// A key of our own below HKEY_CURRENT_USER, filled with RegSetValueEx.
class RegistryValues : public ::testing::Test {
protected:
    const std::string subkey = "Software\\Lumidor\\WinTests\\" + std::to_string(GetCurrentProcessId());
    const std::string path = "HKEY_CURRENT_USER\\" + subkey;

    void SetUp() override
    {
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, subkey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key_.Put(),
                                  nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override
    {
        key_.Reset();
        RegDeleteTreeA(HKEY_CURRENT_USER, subkey.c_str());
    }

    void Set(const char* name, DWORD type, const std::string& data)
    {
        ASSERT_EQ(RegSetValueExA(key_.Get(), name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                                 static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS);
    }
    void SetDword(const char* name, DWORD value)
    {
        Set(name, REG_DWORD, std::string(reinterpret_cast<const char*>(&value), sizeof value));
    }

    RegKey key_;
};

std::string Sz(const std::string& text) { return text + std::string(1, '\0'); }

}  // namespace

TEST_F(RegistryValues, TypesBecomeTextByTheirRules)
{
    Set("Text", REG_SZ, Sz("hello world"));
    Set("Expand", REG_EXPAND_SZ, Sz("%TEMP%\\x"));
    SetDword("Small", 42);
    SetDword("Big", 4000000000u);
    Set("Multi", REG_MULTI_SZ, std::string("one\0two\0three\0\0", 15));
    Set("MultiEmpty", REG_MULTI_SZ, std::string("\0\0", 2));
    Set("Binary", REG_BINARY, std::string("ab\0cd", 5));
    Set("NoNul", REG_BINARY, "xyz");

    const struct {
        const char* name;
        const char* expected;
    } cases[] = {
        {"Text", "hello world"}, {"Expand", "%TEMP%\\x"}, {"Small", "42"},     {"Big", "4000000000"},
        {"Multi", "one<0>two<0>three"}, {"MultiEmpty", ""}, {"Binary", "ab"}, {"NoNul", "xyz"},
    };
    for (const auto& c : cases) EXPECT_EQ(RegReadString(path, c.name, "DEF", false), c.expected) << c.name;
}

TEST_F(RegistryValues, MissingKeysAndValuesGiveTheDefault)
{
    Set("Text", REG_SZ, Sz("v"));
    EXPECT_EQ(RegReadString(path, "NoSuchValue", "DEF", false), "DEF");
    EXPECT_EQ(RegReadString(path + "\\NoSuchKey", "Text", "DEF", false), "DEF");
    EXPECT_EQ(RegReadString("HKLM\\Software\\Lumidor\\NoSuchKey", "Text", "", false), "");
    // The 64-bit view flag is harmless where there is no such view.
    EXPECT_EQ(RegReadString(path, "Text", "DEF", true), "v");
}

TEST_F(RegistryValues, PathFormsNameTheSameKey)
{
    Set("Text", REG_SZ, Sz("same"));
    for (const std::string& p : {path, "  hkcu\\" + subkey + "  ", "HKEY_current_USER\\" + subkey, subkey})
        EXPECT_EQ(RegReadString(p, "Text", "DEF", false), "same") << p;
}

TEST_F(RegistryValues, DataIsReadUpTo10241Bytes)
{
    Set("Fits", REG_SZ, Sz(std::string(10240, 'a')));        // 10241 bytes with its NUL
    Set("TooLong", REG_SZ, Sz(std::string(10241, 'a')));     // 10242 bytes
    EXPECT_EQ(RegReadString(path, "Fits", "DEF", false), std::string(10240, 'a'));
    EXPECT_EQ(RegReadString(path, "TooLong", "DEF", false), "DEF");
}

TEST(Registry, RootNames)
{
    const struct {
        const char* name;
        HKEY root;
    } cases[] = {
        {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT}, {"hkcr", HKEY_CLASSES_ROOT},
        {"HKEY_CURRENT_USER", HKEY_CURRENT_USER}, {"HKCU", HKEY_CURRENT_USER},
        {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE}, {"Hklm", HKEY_LOCAL_MACHINE},
        {"HKEY_USERS", HKEY_USERS},               {"HKU", HKEY_USERS},
        {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG}, {"HKCC", HKEY_CURRENT_CONFIG},
        {"HKEY_DYN_DATA", HKEY_DYN_DATA},         {"HKDD", HKEY_DYN_DATA},
        {"HKXX", HKEY_CURRENT_USER},              {"", HKEY_CURRENT_USER},
    };
    for (const auto& c : cases) EXPECT_EQ(RegRootFromName(c.name), c.root) << c.name;

    const TRegPath p = SplitRegPath(" HKLM\\Software\\X ");
    EXPECT_EQ(p.root, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(p.subkey, "Software\\X");
}

// The registered owner and organisation of this Windows, set for the test
// and put back afterwards.
class RegisteredNames : public ::testing::Test {
protected:
    static constexpr const char* kKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

    void SetUp() override
    {
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ | KEY_WRITE, key_.Put()), ERROR_SUCCESS);
        Save("RegisteredOwner", owner_);
        Save("RegisteredOrganization", org_);
    }
    void TearDown() override
    {
        Restore("RegisteredOwner", owner_);
        Restore("RegisteredOrganization", org_);
    }

    struct Saved {
        bool present = false;
        DWORD type = 0;
        std::vector<BYTE> data;
    };
    void Save(const char* name, Saved& s)
    {
        DWORD size = 0;
        if (RegQueryValueExA(key_.Get(), name, nullptr, &s.type, nullptr, &size) != ERROR_SUCCESS) return;
        s.data.resize(size);
        s.present = RegQueryValueExA(key_.Get(), name, nullptr, &s.type, s.data.data(), &size) == ERROR_SUCCESS;
    }
    void Restore(const char* name, const Saved& s)
    {
        if (s.present)
            RegSetValueExA(key_.Get(), name, 0, s.type, s.data.data(), static_cast<DWORD>(s.data.size()));
        else
            RegDeleteValueA(key_.Get(), name);
    }
    void Set(const char* name, const std::string& text)
    {
        ASSERT_EQ(RegSetValueExA(key_.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>(text.size() + 1)),
                  ERROR_SUCCESS);
    }

    RegKey key_;
    Saved owner_, org_;
};

TEST_F(RegisteredNames, TrimmedValuesAndTheirDefaults)
{
    Set("RegisteredOwner", "  Jo Tester ");
    Set("RegisteredOrganization", "\tLumidor QA  ");
    EXPECT_EQ(RegisteredOwner(), "Jo Tester");
    EXPECT_EQ(RegisteredOrganization(), "Lumidor QA");

    RegDeleteValueA(key_.Get(), "RegisteredOwner");
    RegDeleteValueA(key_.Get(), "RegisteredOrganization");
    EXPECT_FALSE(CurrentUserName().empty());
    EXPECT_EQ(RegisteredOwner(), CurrentUserName());
    EXPECT_EQ(RegisteredOrganization(), "");
}

// ---- INI files --------------------------------------------------------------

namespace {

std::vector<std::string> gTracePieces;
void CollectTrace(const std::string& piece) { gTracePieces.push_back(piece); }

std::string Collected()
{
    std::string all;
    for (const std::string& p : gTracePieces) all += p;
    return all;
}

}  // namespace

TEST(IniFiles, ValuesAndDefaults)
{
    ScratchDir dir("ini");
    const std::string ini = dir.File("test.ini");
    ASSERT_TRUE(AppendTextToFile(ini, "[Main]\r\nName=  Value one  \r\nEmpty=\r\nNumber= -42 \r\nWord=x1\r\n", false));

    EXPECT_EQ(ReadIniString(ini, "Main", "Name", "DEF"), "Value one");  // the system trims around values
    EXPECT_EQ(ReadIniString(ini, "main", "NAME", "DEF"), "Value one");
    EXPECT_EQ(ReadIniString(ini, "Main", "Empty", "DEF"), "DEF");
    EXPECT_EQ(ReadIniString(ini, "Main", "Missing", "DEF"), "DEF");
    EXPECT_EQ(ReadIniString(ini, "Other", "Name", "DEF"), "DEF");
    EXPECT_EQ(ReadIniString(dir.File("nosuch.ini"), "Main", "Name", "DEF"), "DEF");
    EXPECT_EQ(ReadIniString(ini, "", "Name", "DEF"), "DEF");
    EXPECT_EQ(ReadIniString(ini, "Main", "", "DEF"), "DEF");

    EXPECT_EQ(ReadIniInt(ini, "Main", "Number", 5), -42);
    EXPECT_EQ(ReadIniInt(ini, "Main", "Word", 5), 5);
    EXPECT_EQ(ReadIniInt(ini, "Main", "Missing", 5), 5);
    EXPECT_EQ(ReadIniInt(ini, "Main", "Empty", -9000000000LL), -9000000000LL);
}

TEST(IniFiles, WritesRoundTripAndRefuseEmptyNames)
{
    ScratchDir dir("iniw");
    const std::string ini = dir.File("w.ini");
    EXPECT_TRUE(WriteIniString(ini, "S", "K", "text"));
    EXPECT_TRUE(WriteIniInt(ini, "S", "Big", 9000000000LL));
    EXPECT_EQ(ReadIniString(ini, "S", "K", ""), "text");
    EXPECT_EQ(ReadIniInt(ini, "S", "Big", 0), 9000000000LL);

    EXPECT_FALSE(WriteIniString("", "S", "K", "v"));
    EXPECT_FALSE(WriteIniString(ini, "", "K", "v"));
    EXPECT_FALSE(WriteIniString(ini, "S", "", "v"));
}

TEST(IniFiles, OverLongValueIsReturnedAndTraced)
{
    ScratchDir dir("inilong");
    const std::string ini = dir.File("long.ini");
    const std::string value(20000, 'v');
    ASSERT_TRUE(AppendTextToFile(ini, "[S]\r\nK=" + value + "\r\n", false));

    gTracePieces.clear();
    TraceSinkFn previous = SetTraceSink(&CollectTrace);
    const std::string got = ReadIniString(ini, "S", "K", "DEF");
    SetTraceSink(previous);

    EXPECT_EQ(got.size(), value.size());
    EXPECT_EQ(got, value);
    EXPECT_NE(Collected().find("ReadIniString SizeError=20000"), std::string::npos) << Collected();
}
