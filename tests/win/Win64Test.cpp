// Win64 under Wine: the 64-bit look-ups in a 32-bit prefix, and the start-up
// library loading against libraries planted beside the program.
#include <gtest/gtest.h>

#include "WinTestKit.h"
#include "sys/Utils.h"
#include "sys/Win64.h"

using namespace wintest;

TEST(Win64, ThirtyTwoBitPrefixIsNotWindows64)
{
#ifdef _WIN64
    GTEST_SKIP() << "64-bit tree: checks a 32-bit process in a 32-bit prefix (x86 processor, no WOW64); "
                    "this build is a 64-bit process in a 64-bit prefix";
#endif
    SYSTEM_INFO info{};
    ASSERT_TRUE(NativeSystemInfo(info));
    EXPECT_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_INTEL);
    bool wow64 = true;
    ASSERT_TRUE(IsWow64(GetCurrentProcess(), wow64));
    EXPECT_FALSE(wow64);
    EXPECT_FALSE(IsWindows64());
    EXPECT_FALSE(IsWindows64()) << "the cached answer must not change";
    EXPECT_EQ(RegistryView64(), 0);
}

TEST(Win64, LoadSystemLibraryNeverSearches)
{
    EXPECT_NE(LoadSystemLibrary("version.dll"), nullptr);
    // A library that exists only beside this program is not a system one.
    ASSERT_TRUE(CopyFileA(BuildFile("plantdll.dll").c_str(), (OwnFolder(true) + "lumsysonly.dll").c_str(), FALSE));
    EXPECT_EQ(LoadSystemLibrary("lumsysonly.dll"), nullptr);
    DeleteFileA((OwnFolder(true) + "lumsysonly.dll").c_str());
}

// Wine prefers its own builtin versions of system libraries to a file beside
// the program, which would hide the fault that Windows shows. A per-program
// native-first load order (Wine reads it from the registry when the program
// starts) makes Wine search the way Windows does.
class WineNativeFirst {
public:
    WineNativeFirst(const std::string& exeName, std::initializer_list<const char*> dlls)
        : key_("Software\\Wine\\AppDefaults\\" + exeName)
    {
        RegKey k;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, (key_ + "\\DllOverrides").c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                            k.Put(), nullptr) != ERROR_SUCCESS)
            return;
        static const char kOrder[] = "native,builtin";
        for (const char* dll : dlls)
            RegSetValueExA(k.Get(), dll, 0, REG_SZ, reinterpret_cast<const BYTE*>(kOrder), sizeof kOrder);
    }
    ~WineNativeFirst() { RegDeleteTreeA(HKEY_CURRENT_USER, key_.c_str()); }
    WineNativeFirst(const WineNativeFirst&) = delete;
    WineNativeFirst& operator=(const WineNativeFirst&) = delete;

private:
    std::string key_;
};

// A copy of sysprobe.exe and of the planted library (under the start-up
// libraries' names and one name of its own) in a scratch folder. shell32 is
// not planted: Windows never takes it from the program's folder, as one of
// its known libraries, while Wine would take it at start-up, before any code
// of the program runs.
class PlantedLibraries : public ::testing::Test {
protected:
    static constexpr const char* kProbe = "lumplanted.exe";
    static constexpr const char* kPlanted[] = {"USP10.dll", "MSLS31.dll", "RICHED32.DLL", "lumextra.dll"};

    PlantedLibraries() : dir_("planted"), nativeFirst_(kProbe, {"usp10", "msls31", "riched32"}) {}

    void SetUp() override
    {
        ASSERT_TRUE(CopyFileA(BuildFile("sysprobe.exe").c_str(), dir_.File(kProbe).c_str(), FALSE));
        for (const char* name : kPlanted)
            ASSERT_TRUE(CopyFileA(BuildFile("plantdll.dll").c_str(), dir_.File(name).c_str(), FALSE)) << name;
    }

    long Probe(const std::string& args, std::string& output)
    {
        const std::string out = dir_.File("probe" + std::to_string(++runs_) + ".txt");
        const long code = RunProgram("\"" + dir_.File(kProbe) + "\" " + args, out);
        output = ReadWholeFile(out);
        return code;
    }

    bool Marked(const std::string& name) { return FileExists(dir_.File(name + ".loaded")); }

    ScratchDir dir_;
    WineNativeFirst nativeFirst_;
    int runs_ = 0;
};

TEST_F(PlantedLibraries, PlainLoadingTakesThemWhichShowsTheFixtureWorks)
{
    for (const char* name : kPlanted) {
        std::string output;
        EXPECT_EQ(Probe(std::string("load ") + name, output), 0) << name;
        EXPECT_TRUE(Marked(name)) << name << " was not taken from beside the program";
    }
}

TEST_F(PlantedLibraries, InitWin64LoadsFromTheSystemFolderOnly)
{
    std::string output;
    ASSERT_EQ(Probe("init lumextra.dll", output), 0) << output;
    for (const char* name : kPlanted) EXPECT_FALSE(Marked(name)) << name << " was loaded from beside the program";

    const std::string system = UpperCase(SystemFolder(true));
    for (const char* name : {"USP10.dll", "MSLS31.dll", "RICHED32.DLL"}) {
        const std::string line = std::string(name) + "=";
        const size_t at = output.find(line);
        ASSERT_NE(at, std::string::npos) << output;
        const std::string path = output.substr(at + line.size(), output.find_first_of("\r\n", at) - at - line.size());
        EXPECT_TRUE(StartsWith(UpperCase(path), system)) << name << " came from " << path;
    }
    // Wine offers SetDefaultDllDirectories, so a library that is only beside
    // the program is not found by name at all afterwards.
    EXPECT_NE(output.find("restricted=1"), std::string::npos) << output;
    EXPECT_NE(output.find("load lumextra.dll=\r\n"), std::string::npos) << output;
}
