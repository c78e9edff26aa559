// The progress driver that a transfer steps through, and the signature of
// the progress sink that the extraction and the downloads drive (shared by
// the packages, downloads and windows above, so it lives at the bottom).
#pragma once

#include <functional>
#include <string>

// Kind 0: set up (range 0..Max, position, step); kind 1: advance; others: nothing.
using TProgressProc =
    std::function<void(int kind, int min, int max, int position, int step, const std::string& text)>;

// Serves the window message queue once; installed by the Windows side
// (YieldX with no sleep). Unset, the driver just calls the procedure.
using TQueuePump = void (*)();
void SetProgressQueuePump(TQueuePump pump);

class TProgBar {
public:
    explicit TProgBar(TProgressProc proc);

    void Start(int position, int maximum);
    void Step(const std::string& text);
    void Caption(const std::string& text);

    // A transfer that drives the bar reads this after each step and stops early.
    bool Cancelled = false;

private:
    void Serve() const;
    TProgressProc proc_;
};
