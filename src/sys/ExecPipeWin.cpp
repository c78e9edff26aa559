// ExecPipe: a child process on three anonymous pipes, polled until it has
// ended and its pipes are empty.
#include <windows.h>

#include <algorithm>

#include "sys/ExecPipe.h"
#include "sys/Handles.h"
#include "sys/LDebug.h"
#include "sys/LWriteln.h"
#include "sys/Utils.h"
#include "sys/UtilsWin.h"

namespace {

constexpr DWORD kReadChunk = 30000;
constexpr DWORD kStartupFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK;

struct TPipe {
    KernelHandle read;
    KernelHandle write;
};

// An anonymous pipe whose child end is inheritable. The parent's end is not:
// a child that inherited it would hold its own pipe open.
bool MakePipe(TPipe& pipe, bool parentReads)
{
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    if (!::CreatePipe(pipe.read.Put(), pipe.write.Put(), &sa, 0)) return false;
    ::SetHandleInformation(parentReads ? pipe.read.Get() : pipe.write.Get(), HANDLE_FLAG_INHERIT, 0);
    return true;
}

// Reads what the pipe holds now, up to kReadChunk bytes, into `text` (and the
// callback). True when the pipe held more than was read.
bool ReadPipe(HANDLE pipe, std::string& text, const TCaptureCallback& callback, bool& abort)
{
    DWORD available = 0;
    if (!::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) || available == 0) return false;
    std::string piece(std::min(available, kReadChunk), '\0');
    DWORD got = 0;
    if (!::ReadFile(pipe, piece.data(), static_cast<DWORD>(piece.size()), &got, nullptr) || got == 0) return false;
    piece.resize(got);
    ::OemToCharBuffA(piece.data(), piece.data(), got);
    text += piece;
    if (callback) callback(piece, abort);
    return got < available;
}

}  // namespace

bool RunCaptured(const std::string& program, const std::string& parameters, int showCommand, uint32_t& exitCode,
                 std::string& output, std::string& errorText, uint32_t settleMs, const TCaptureCallback& callback)
{
    exitCode = 0;
    output.clear();
    errorText.clear();
    bool abort = false;
    const std::string line = CapturedCommandLine(program, parameters);
    auto startFailed = [&](const std::string& text) {
        exitCode = kRunCapturedStartFailed;
        errorText = text;
        TracePid({" RunCaptured: ", text});
        if (callback) callback(text + "\r\n", abort);
        return false;
    };
    // The system refuses such a line whatever it names; say why.
    if (line.size() > kMaxCommandLine) return startFailed("Command line is too long");

    TPipe in, out, err;
    if (!MakePipe(in, false) || !MakePipe(out, true) || !MakePipe(err, true))
        return startFailed(Cat({SysErrorText(), " --- ", line.substr(0, 256)}));

    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = kStartupFlags;
    si.wShowWindow = static_cast<WORD>(showCommand);
    si.hStdInput = in.read.Get();
    si.hStdOutput = out.write.Get();
    si.hStdError = err.write.Get();
    PROCESS_INFORMATION pi{};
    std::string cmd = line;
    if (!::CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, IDLE_PRIORITY_CLASS, nullptr, nullptr,
                          &si, &pi))
        return startFailed(Cat({SysErrorText(), " --- ", line.substr(0, 256)}));
    KernelHandle process(pi.hProcess);
    KernelHandle thread(pi.hThread);
    // Nothing is ever written to the child: let a child that reads its
    // input see the end of it rather than wait for ever.
    in.write.Reset();

    DWORD interval = callback ? 1 : 100;
    bool running = true;
    bool outLeft = false;
    bool errLeft = false;
    do {
        if (!output.empty() && interval > 10) interval -= 10;
        // Whether the child still runs comes from the process itself, not
        // from its exit code: a child may well end with code 259.
        running = ::WaitForSingleObject(process.Get(), interval) == WAIT_TIMEOUT;
        outLeft = ReadPipe(out.read.Get(), output, callback, abort);
        errLeft = ReadPipe(err.read.Get(), errorText, callback, abort);
        if (abort && running) ::TerminateProcess(process.Get(), 255);
    } while (running || outLeft || errLeft);

    DWORD code = 0;
    ::GetExitCodeProcess(process.Get(), &code);
    exitCode = code;

    if (settleMs > 0) WaitPumping(0, settleMs);
    for (;;) {
        const bool moreOut = ReadPipe(out.read.Get(), output, callback, abort);
        const bool moreErr = ReadPipe(err.read.Get(), errorText, callback, abort);
        if (!moreOut && !moreErr) break;
    }
    return exitCode == 0;
}
