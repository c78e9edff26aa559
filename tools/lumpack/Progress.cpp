#include "Progress.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

bool StderrIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return ::isatty(STDERR_FILENO) == 1;
#endif
}

// At most this often: a terminal over a slow link must not slow the build.
constexpr auto kInterval = std::chrono::milliseconds(100);

}  // namespace

TTerminalProgress::TTerminalProgress() : Terminal(StderrIsTerminal()) {}

TTerminalProgress::~TTerminalProgress() { Finish(); }

void TTerminalProgress::Update(uint64_t done, uint64_t total) {
    if (!Terminal || total == 0) return;
    const int percent = static_cast<int>(done * 100 / total);
    const auto now = std::chrono::steady_clock::now();
    if (percent == LastPercent || (Shown && now - Last < kInterval && percent < 100)) return;
    LastPercent = percent;
    Last = now;
    Shown = true;
    const double mb = 1024.0 * 1024.0;
    std::fprintf(stderr, "\rlumpack: packing %3d%%  (%.1f of %.1f MB)", percent, static_cast<double>(done) / mb,
                 static_cast<double>(total) / mb);
    std::fflush(stderr);
}

void TTerminalProgress::Finish() {
    if (!Shown) return;
    std::fprintf(stderr, "\r%60s\r", "");
    std::fflush(stderr);
    Shown = false;
}
