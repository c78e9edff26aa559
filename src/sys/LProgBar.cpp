#include "sys/LProgBar.h"

#include <utility>

namespace {
TQueuePump gPump = nullptr;
}  // namespace

void SetProgressQueuePump(TQueuePump pump) { gPump = pump; }

TProgBar::TProgBar(TProgressProc proc) : proc_(std::move(proc)) {}

void TProgBar::Serve() const
{
    if (gPump) gPump();
}

void TProgBar::Start(int position, int maximum)
{
    Serve();
    if (proc_) proc_(0, 0, maximum, position, 1, std::string());
    Serve();
}

void TProgBar::Step(const std::string& text)
{
    Serve();
    if (proc_) proc_(1, 0, 0, 0, 0, text);
    Serve();
}

void TProgBar::Caption(const std::string&)
{
    // The progress procedure takes no captions; the call only keeps the
    // window responsive.
    Serve();
}
