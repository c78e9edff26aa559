// libFuzzer target for the extraction loop: the input is a whole package
// file, extracted by ExtractPackage as the stub extracts it (trailer,
// checksum, header blocks, every entry inflated, split and written, the agent
// copy, the next-volume prompt), into a file system held in memory. Inputs
// run well past 8 KB, so entries that need several reads and inflate rounds
// are reached.
//
// Checks beyond the sanitizers: nothing is written outside the extraction
// folder; no file grows past what the input could hold after inflating; a
// launch record names a file (or folder) of the extraction folder.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>

#include "package/PackEntry.h"
#include "package/UnPack.h"
#include "sys/Files.h"

namespace {

constexpr const char* kDest = "C:\\T\\SETUP_1";
// zlib expands at most about 1032:1; anything beyond that in one file means
// bytes came from somewhere other than the input.
constexpr uint64_t kMaxRatio = 1100;

class TMemorySystem : public TExtractSystem {
public:
    explicit TMemorySystem(std::string source, size_t inputSize) : Source(std::move(source)), InputSize(inputSize) {}

    InflateYieldFn QueuePump() override { return nullptr; }
    void WaitPumping(unsigned) override {}
    uint64_t TickCount() override { return 0; }
    uint32_t ProcessId() override { return 1; }

    bool FileExists(const std::string& path) override { return path == Source || Files.count(path) > 0; }
    bool FolderExists(const std::string& path) override { return Folders.count(path) > 0; }
    bool ForceFolders(const std::string& folder) override
    {
        Inside(folder);
        Folders[folder] = true;
        return true;
    }
    bool WriteDataFile(const std::string& path, std::string_view data, uint32_t, bool append, bool& existed) override
    {
        Inside(path);
        auto it = Files.find(path);
        existed = it != Files.end();
        uint64_t& size = Files[path];
        size = (append ? size : 0) + data.size();
        Total += data.size();
        if (Total > (static_cast<uint64_t>(InputSize) + 1024) * kMaxRatio) __builtin_trap();
        return true;
    }
    int64_t FileSize(const std::string& path) override
    {
        auto it = Files.find(path);
        return it == Files.end() ? 0 : static_cast<int64_t>(it->second);
    }
    double DiskFreeBytes(const std::string&) override { return 1e9; }
    uint32_t FileDosTime(const std::string&) override { return 0; }
    std::string SysErrorText() override { return "no"; }
    void RegisterAutoPlayCancel() override {}
    void EjectCD(const std::string&) override {}
    bool AskOkCancel(const std::string&, const std::string&, uint8_t, const std::string&) override { return false; }
    void ShowError(const std::string&) override {}

    std::map<std::string, uint64_t> Files;

private:
    // Every path the extraction writes lies in the extraction folder.
    static void Inside(const std::string& path)
    {
        const std::string dest = kDest;
        if (path != dest && path.compare(0, dest.size() + 1, dest + "\\") != 0) __builtin_trap();
        const std::string rest = path.size() > dest.size() ? path.substr(dest.size() + 1) : "";
        if (!rest.empty() && (IsUnsafeEntryName(rest) || NamesDevice(rest))) __builtin_trap();
    }

    std::string Source;
    size_t InputSize;
    std::map<std::string, bool> Folders;
    uint64_t Total = 0;
};

std::string InputPath()
{
    static const std::string path = "/tmp/lum-extract-fuzz-" + std::to_string(getpid()) + ".exe";
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = InputPath();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    TMemorySystem system(path, size);
    TExtractArgs args;
    args.SourcePath = path;
    args.DestDir = kDest;
    args.AgentName = "agent.exe";
    args.DiskPrompt = "Disk <DISK_NUM>";
    bool checksumOK = false;
    std::string launch;
    try {
        ExtractPackage(args, system, checksumOK, launch);
    } catch (const EZLibError&) {
        return 0;  // a damaged stream, reported to the caller as such
    }
    if (!launch.empty()) {
        const std::string name = launch.substr(0, launch.find('*'));
        if (IsUnsafeEntryName(name) || NamesDevice(name)) __builtin_trap();
        const std::string target = std::string(kDest) + "\\" + name;
        if (!system.FileExists(target) && !system.FolderExists(target)) __builtin_trap();
    }
    return 0;
}
