#include "net/CommUtils.h"

#include <utility>

#include "sys/Utils.h"

// ---- TBytesRate ---------------------------------------------------------------

namespace {

// Moves every entry one place towards the oldest end and puts `value` in the
// newest place.
template <typename T>
void Push(T (&window)[5], T value)
{
    for (int i = 0; i < 4; ++i) window[i] = window[i + 1];
    window[4] = value;
}

}  // namespace

TBytesRate::TBytesRate(bool showKB, bool showMB, TTickClock clock)
    : ShowKB(showKB), ShowMB(showMB), clock_(std::move(clock))
{
    Reset();
}

void TBytesRate::Reset()
{
    for (int i = 0; i < kWindow; ++i) {
        ticks_[i] = 0;
        bytes_[i] = 0;
    }
    rateText_.clear();
    lastUpdate_ = 0;
}

std::string TBytesRate::RateText(int32_t bytes)
{
    const uint32_t now = clock_ ? clock_() : 0;
    Push(ticks_, now);
    Push(bytes_, bytes);
    const uint32_t elapsed = ticks_[4] - ticks_[0];
    int64_t recent = 0;
    for (int i = 1; i < kWindow; ++i) recent += bytes_[i];

    // A zero oldest tick means fewer than five pieces since the reset.
    if (ticks_[0] != 0 && elapsed != 0 && static_cast<uint32_t>(now - lastUpdate_) > 500) {
        lastUpdate_ = now;
        const double kbPerSec = static_cast<double>(recent) / (elapsed / 1000.0) / 1024.0;
        rateText_ = FixedText(kbPerSec, 2);
    }
    return rateText_;
}

void TBytesRate::ProgressText(uint32_t size, uint64_t done, std::string& text, int32_t bytes)
{
    const auto done64 = static_cast<int64_t>(done);
    if (ShowMB) {
        text = Cat({FormatSize(true, 1, done64, kMegaByte), "/", FormatSize(true, 1, size, kMegaByte), " MB"});
    } else if (ShowKB) {
        text = Cat({FormatSize(true, 1, done64, kKiloByte), "/", FormatSize(true, 1, size, kKiloByte), " KB"});
    } else {
        text = Cat({IntText(done), "/", IntText(size), " BytesArr"});
    }
    const std::string rate = RateText(bytes);
    if (!rate.empty()) text += "   -   " + rate + " KB/Sec";
}

// ---- HTML pages ---------------------------------------------------------------

namespace {

constexpr size_t kPageHead = 1000;

// The first kPageHead bytes of the file, or false when it cannot be opened.
bool ReadPageHead(const std::string& fileName, std::string& head)
{
    std::FILE* f = std::fopen(fileName.c_str(), "rb");
    if (!f) return false;
    char buf[kPageHead];
    const size_t n = std::fread(buf, 1, sizeof buf, f);
    std::fclose(f);
    head.assign(buf, n);
    return true;
}

}  // namespace

bool IsHtmlErrorPage(const std::string& fileName, const std::string& text)
{
    std::string page = text;
    if (!fileName.empty()) {
        std::string head;
        if (ReadPageHead(fileName, head)) page = head;
    }
    if (page.size() > kPageHead) page.resize(kPageHead);

    auto pos = [&page](const char* tag) { return PosIgnoreCase(tag, page); };
    const size_t title = pos("<TITLE");
    const size_t code = pos("404");
    const size_t titleEnd = pos("</TITLE>");
    if (title > 0 && title < code && code < titleEnd) return true;

    const size_t html = pos("<HTML>");
    const size_t head = pos("<HEAD>");
    const size_t titleTag = pos("<TITLE>");
    return html > 0 && html < head && head < titleTag && titleTag < titleEnd;
}

void Make404Message(const std::string& fileName, const std::string& text, const std::string& url,
                    const std::string& def, bool iisHint, std::string& message)
{
    message = def;
    if (!IsHtmlErrorPage(fileName, text)) return;
    message = Cat({"<B>404 File Not Found...</B><P><P>URL:  ", url, ".",
                   "<P><P>Please make sure the file is available and access is allowed to this file."});
    if (iisHint && PosIgnoreCase("IIS", text) > 0)
        message += "<P><P>If you are using an IIS webserver you must define appropriate MIME-Types.";
}
