#include "sys/LProgBar.h"

#include <utility>

TProgBar::TProgBar(TProgressProc proc) : proc_(std::move(proc)) {}

void TProgBar::Start(int position, int maximum)
{
    if (proc_) proc_(kProgressSetUp, 0, maximum, position, 1, std::string());
}

void TProgBar::Step(const std::string& text)
{
    if (proc_) proc_(kProgressAdvance, 0, 0, 0, 0, text);
}
