// CommUtils: the transfer-rate meter that the download's progress text shows,
// and the test that tells a web server's HTML page from the file we asked for.
// Portable: the clock and the file system are the only things touched, and
// the clock is handed in.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Millisecond tick counter (GetTickCount on Windows; a fake one in tests).
using TTickClock = std::function<uint32_t()>;

// Bytes done and total, and the rate over the last four pieces, recomputed
// at most twice a second so that the figure is readable while it changes.
class TBytesRate {
public:
    TBytesRate(bool showKB, bool showMB, TTickClock clock);

    void Reset();

    // Records a piece of `bytes` at the current tick and returns the rate
    // text in KB per second ("12.34"); empty until five pieces were seen, then
    // unchanged between recomputations.
    std::string RateText(int32_t bytes);

    // "done/size MB", "done/size KB" or "done/size BytesArr", followed by
    // "   -   <rate> KB/Sec" once there is a rate. Records the piece as
    // RateText does.
    void ProgressText(uint32_t size, uint64_t done, std::string& text, int32_t bytes);

    bool ShowKB;
    bool ShowMB;

private:
    static constexpr int kWindow = 5;

    TTickClock clock_;
    uint32_t ticks_[kWindow] = {};  // oldest first
    int32_t bytes_[kWindow] = {};   // oldest first
    std::string rateText_;
    uint32_t lastUpdate_ = 0;
};

// True when the text (or, when `fileName` names an existing file, the first
// 1000 bytes of that file instead) is an HTML page: a title that holds "404",
// or "<HTML>", "<HEAD>", "<TITLE>" and "</TITLE>" in that order, all within
// the first 1000 characters and without regard to case.
bool IsHtmlErrorPage(const std::string& fileName, const std::string& text);

// `message` becomes `def`, or the "404 File Not Found" text naming `url` when
// IsHtmlErrorPage(fileName, text) holds. With `iisHint`, a hint about MIME
// types follows when the given text mentions IIS.
void Make404Message(const std::string& fileName, const std::string& text, const std::string& url,
                    const std::string& def, bool iisHint, std::string& message);
