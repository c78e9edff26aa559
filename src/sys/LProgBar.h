// The progress driver that a transfer steps through, and the signature of
// the progress sink that the extraction and the downloads drive (shared by
// the packages, downloads and windows above, so it lives at the bottom).
#pragma once

#include <functional>
#include <string>

// What a call of the progress sink asks for (its first argument).
enum TProgressKind : int {
    kProgressSetUp = 0,    // range 0..Max, position, step
    kProgressAdvance = 1,  // one step
};

// The sink; kinds other than the two above do nothing.
using TProgressProc =
    std::function<void(int kind, int min, int max, int position, int step, const std::string& text)>;

// The driver hands its events to the sink; the transfer that drives it
// serves the window message queue between its pieces.
class TProgBar {
public:
    explicit TProgBar(TProgressProc proc);

    void Start(int position, int maximum);
    void Step(const std::string& text);
    // The sink takes no captions: a caption changes nothing.
    void Caption(const std::string&) {}

    // A transfer that drives the bar reads this after each step and stops early.
    bool Cancelled = false;

private:
    TProgressProc proc_;
};
