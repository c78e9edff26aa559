// Test-kit probe of the process services, run by the e2e tests in prefixes
// set to different Windows versions (each version takes its own road):
//   procprobe road                        "tasklist", "psapi" or "toolhelp"
//   procprobe find PROGRAM FULL           FindProcess: the pid (0 for none)
//   procprobe running PROGRAM             IsProgramRunning: 1 or 0
//   procprobe mainwnd PROGRAM FULL        FindMainWindow: "class|title", or
//                                         "none"
//   procprobe close PROGRAM FULL WAITMS   CloseProgram: 1 or 0
//   procprobe quit PROGRAM FULL           QuitProgram: 1 or 0
//   procprobe terminate PROGRAM FULL      TerminateProgram: 1 or 0
//   procprobe wait PROGRAM MS             WaitWhileRunning: "result elapsed-ms"
//   procprobe list FULL                   ListProcesses
//   procprobe run PROGRAM [PARAMS]        RunCaptured: "exit=N", then the
//                                         output; the error text on stderr
//   procprobe emit OUTHEX ERRHEX CODE [MS]  writes the bytes to stdout and
//                                         stderr, sleeps MS, exits with CODE
//   procprobe emit-count N                writes N bytes of "0123456789..." to
//                                         stdout in pieces of 4000
// FULL is 0 or 1 (full-path mode). Exit code 0 unless stated, 2 for usage.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "sys/ExecPipe.h"
#include "sys/ProcessRules.h"
#include "sys/ProcessViewer.h"
#include "sys/Utils.h"
#include "sys/UtilsWin.h"

namespace {

std::string RoadName()
{
    switch (ChooseFindRoad(IsNT(), IsWindows8OrLater())) {
    case TFindRoad::Tasklist:
        return "tasklist";
    case TFindRoad::Psapi:
        return "psapi";
    case TFindRoad::ToolHelp:
        return "toolhelp";
    }
    return "?";
}

void WriteAll(DWORD which, const std::string& bytes)
{
    DWORD written = 0;
    WriteFile(GetStdHandle(which), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

int Emit(int argc, char** argv)
{
    if (argc < 5) return 2;
    WriteAll(STD_OUTPUT_HANDLE, HexDecode(argv[2]));
    WriteAll(STD_ERROR_HANDLE, HexDecode(argv[3]));
    if (argc > 5) Sleep(static_cast<DWORD>(std::atoi(argv[5])));
    return std::atoi(argv[4]);
}

int EmitCount(int argc, char** argv)
{
    if (argc < 3) return 2;
    const int total = std::atoi(argv[2]);
    std::string piece;
    for (int i = 0; i < 4000; ++i) piece += static_cast<char>('0' + i % 10);
    for (int done = 0; done < total; done += 4000)
        WriteAll(STD_OUTPUT_HANDLE, piece.substr(0, static_cast<size_t>(std::min(4000, total - done))));
    return 0;
}

int Run(int argc, char** argv)
{
    std::string params;
    for (int i = 3; i < argc; ++i) params += (params.empty() ? "" : " ") + std::string(argv[i]);
    uint32_t code = 0;
    std::string output, errors;
    RunCaptured(argv[2], params, SW_HIDE, code, output, errors, 1);
    std::printf("exit=%u\n", code);
    std::fwrite(output.data(), 1, output.size(), stdout);
    std::fwrite(errors.data(), 1, errors.size(), stderr);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string cmd = argc > 1 ? argv[1] : "";
    const std::string program = argc > 2 ? argv[2] : "";
    const bool full = argc > 3 && std::string(argv[3]) == "1";
    if (cmd == "road") {
        std::printf("%s\n", RoadName().c_str());
    } else if (cmd == "find" && argc > 3) {
        std::printf("%u\n", FindProcess(program, full));
    } else if (cmd == "running" && argc > 2) {
        std::printf("%d\n", IsProgramRunning(program) ? 1 : 0);
    } else if (cmd == "mainwnd" && argc > 3) {
        HWND wnd = FindMainWindow(program, full);
        std::printf("%s\n", wnd ? (WindowClassName(wnd) + "|" + WindowText(wnd)).c_str() : "none");
    } else if (cmd == "close" && argc > 4) {
        std::printf("%d\n", CloseProgram(program, full, static_cast<uint32_t>(std::atoi(argv[4]))) ? 1 : 0);
    } else if (cmd == "quit" && argc > 3) {
        std::printf("%d\n", QuitProgram(program, full) ? 1 : 0);
    } else if (cmd == "terminate" && argc > 3) {
        std::printf("%d\n", TerminateProgram(program, full) ? 1 : 0);
    } else if (cmd == "wait" && argc > 3) {
        const int64_t start = MillisecondCounter();
        const bool gone = WaitWhileRunning(program, static_cast<uint32_t>(std::atoi(argv[3])));
        std::printf("%d %lld\n", gone ? 1 : 0, static_cast<long long>(MillisecondCounter() - start));
    } else if (cmd == "list" && argc > 2) {
        std::printf("%s\n", ListProcesses(program == "1").c_str());
    } else if (cmd == "run" && argc > 2) {
        return Run(argc, argv);
    } else if (cmd == "emit-count") {
        return EmitCount(argc, argv);
    } else if (cmd == "emit") {
        return Emit(argc, argv);
    } else {
        std::fprintf(stderr, "usage: see the head of procprobe.cpp\n");
        return 2;
    }
    return 0;
}
