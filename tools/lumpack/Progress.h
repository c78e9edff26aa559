// The progress of lumpack create on a terminal: one line on stderr,
// rewritten in place, and nothing at all when stderr is not a terminal
// (a log file or a pipe in a build job).
#pragma once

#include <chrono>
#include <cstdint>

class TTerminalProgress {
public:
    TTerminalProgress();
    ~TTerminalProgress();
    TTerminalProgress(const TTerminalProgress&) = delete;
    TTerminalProgress& operator=(const TTerminalProgress&) = delete;

    bool Active() const { return Shown; }
    void Update(uint64_t done, uint64_t total);
    // Clears the line, so that what follows starts on a clean one.
    void Finish();

private:
    bool Terminal = false;
    bool Shown = false;
    int LastPercent = -1;
    std::chrono::steady_clock::time_point Last{};
};
